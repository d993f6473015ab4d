#pragma once

#include <string>

namespace tessarix::cli {

// Progress goes to stderr: on a terminal one line rewritten in place, otherwise one plain line
// per change of the status. Messages always get a line of their own.
class StatusPrinter {
 public:
  StatusPrinter();
  // `status` is the raw status text (decides when a plain line is printed); `line` what a
  // terminal shows.
  void Show(const std::string& status, const std::string& line);
  // Ends an in-place line so that the next output starts on a fresh line.
  void Finish();
  // Whether `text` is the status just printed as a plain line (not on a terminal).
  bool AlreadyLogged(const std::string& text) const { return !terminal_ && text == lastStatus_; }

 private:
  bool terminal_;
  std::string lastStatus_;
  std::string lastLine_;
};

// Prints a message on its own line, clearing an in-place progress line first.
void PrintMessage(const std::string& text);

}  // namespace tessarix::cli
