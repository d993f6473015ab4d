#pragma once

namespace tessarix::cli {

// Ctrl-C while a batch runs asks it to stop; a second Ctrl-C ends the program at once.
void InstallInterruptHandler();
bool InterruptRequested();

}  // namespace tessarix::cli
