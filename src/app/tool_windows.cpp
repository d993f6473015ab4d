#include "app/tool_windows.h"

namespace tessarix {

// The two tool windows are not part of the program yet; their buttons do nothing until they are.
void OpenMovieExtraction(QWidget*, QLabel*) {}

void OpenPhotoUtilities(QWidget*) {}

}  // namespace tessarix
