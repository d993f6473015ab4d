#pragma once

#include <QMargins>
#include <QRect>
#include <QWidget>
#include <optional>
#include <string>

#include "window_logic/preview_geometry.h"

class QLabel;

namespace tessarix {

class Image;

// "Mosaic Preview": one picture of the mosaic job, shrunk to 700 x 500 at most. Top-level and
// modeless; it deletes itself when closed.
class PreviewWindow : public QWidget {
  Q_OBJECT

 public:
  PreviewWindow();

  // Titles, sizes, places and shows the window with a copy of `image` (the caller keeps it).
  // `screenArea` replaces the desktop's work area (for a known screen in tests).
  void ShowPreview(const Image& image, const std::string& name,
                   std::optional<QRect> screenArea = std::nullopt);

  QSize PictureSize() const;

 protected:
  void moveEvent(QMoveEvent* event) override;

 private:
  // Moves and sizes the window so that, inside a frame of `frame`, its picture lies where the
  // placement rule put it when it was shown; `framed`: a window manager has framed it since.
  void Place(const QMargins& frame, bool framed);
  QMargins Frame() const;

  QLabel* picture_ = nullptr;
  QRect area_;
  PreviewRect client_;
  int height_ = 1;
  bool placed_ = false;
  QMargins placedFor_;
};

}  // namespace tessarix
