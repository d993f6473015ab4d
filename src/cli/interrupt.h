#pragma once

namespace tessarix::cli {

// Ctrl-C while a batch runs asks it to stop; a second Ctrl-C ends the program at once, removing
// the temporary files of the writes in flight, or, while files are being renamed into place as
// one set, as soon as that is done.
void InstallInterruptHandler();
bool InterruptRequested();

}  // namespace tessarix::cli
