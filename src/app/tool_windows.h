#pragma once

class QLabel;
class QWidget;

namespace tessarix {

// "Extract Frames from Movie": the collection window's status line shows how the extraction goes.
void OpenMovieExtraction(QWidget* parent, QLabel* statusLine);

// "Photo Utilities".
void OpenPhotoUtilities(QWidget* parent);

}  // namespace tessarix
