#include "cli/status_printer.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace tessarix::cli {
namespace {

std::mutex output_lock;
bool line_open = false;  // an in-place line is on screen; guarded by output_lock

void CloseLine() {
  if (line_open) {
    std::fputs("\r\033[K", stderr);
    line_open = false;
  }
}

}  // namespace

StatusPrinter::StatusPrinter() : terminal_(isatty(STDERR_FILENO) == 1) {}

void StatusPrinter::Show(const std::string& status, const std::string& line) {
  std::lock_guard<std::mutex> guard(output_lock);
  if (terminal_) {
    if (line == lastLine_ && line_open)
      return;
    lastLine_ = line;
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    line_open = true;
  } else if (status != lastStatus_) {
    std::fprintf(stderr, "%s\n", status.c_str());
  }
  lastStatus_ = status;
  std::fflush(stderr);
}

void StatusPrinter::Finish() {
  std::lock_guard<std::mutex> guard(output_lock);
  if (line_open) {
    std::fputc('\n', stderr);
    line_open = false;
  }
  std::fflush(stderr);
}

void PrintMessage(const std::string& text) {
  std::lock_guard<std::mutex> guard(output_lock);
  CloseLine();
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

}  // namespace tessarix::cli
