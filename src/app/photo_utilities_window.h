#pragma once

#include <QDialog>
#include <optional>

#include "utilities/photo_utilities.h"

namespace tessarix {

// "Photo Utilities": one button per utility with its description beside it. The window keeps no
// state; every button asks for a photo and runs its utility on it before the window takes the
// next click.
class PhotoUtilitiesWindow : public QDialog {
  Q_OBJECT

 public:
  explicit PhotoUtilitiesWindow(QWidget* parent = nullptr);

  // What a button press does: asks for the photo and runs `command` on it. None when the person
  // cancelled the file dialog.
  std::optional<PhotoUtilityResult> Run(PhotoUtility command);
};

}  // namespace tessarix
