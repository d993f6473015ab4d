#pragma once

#include <QRect>
#include <QWidget>
#include <optional>
#include <string>

#include "job/preview_geometry.h"

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

 private:
  void Place(const QRect& area, const PreviewRect& client, int height);

  QLabel* picture_ = nullptr;
};

}  // namespace tessarix
