#include "cli/interrupt.h"

#include <signal.h>

#include <atomic>

#include "platform/atomic_file.h"

namespace tessarix::cli {
namespace {

std::atomic<int> interrupts{0};

void OnInterrupt(int) {
  if (interrupts.fetch_add(1) >= 1)
    ExitRemovingTemporaries(130);
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested() {
  return interrupts.load() > 0;
}

}  // namespace tessarix::cli
