#pragma once

namespace tessarix {

// The open-file dialog's filter ("description|patterns||") where a person chooses a JPEG photo.
inline constexpr const char* kJpegDialogFilter = "Images JPEG (*.jpg)|*.jpg;*.jpeg;*.jpe||";

}  // namespace tessarix
