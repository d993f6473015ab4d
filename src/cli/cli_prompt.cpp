#include "cli/cli_prompt.h"

#include "cli/status_printer.h"

namespace tessarix::cli {

void CliPrompt::ShowMessage(const std::string& text, MessageIcon) {
  PrintMessage(text);
}

bool CliPrompt::AskYesNo(const std::string& text) {
  PrintMessage(text + " (answered No)");
  return false;
}

std::optional<std::string> CliPrompt::AskOpenFile(const std::string&, const std::string&,
                                                  const std::string&, int) {
  if (!fileAnswer_)
    PrintMessage("A mask file is needed for tile width 0: give it with --mask.");
  return fileAnswer_;
}

}  // namespace tessarix::cli
