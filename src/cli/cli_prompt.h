#pragma once

#include <optional>
#include <string>

#include "platform/user_prompt.h"

namespace tessarix::cli {

// Message boxes become lines on stderr; questions are answered No; the one file the core may ask
// for (the mask of mask mode) comes from the --mask option.
class CliPrompt final : public UserPrompt {
 public:
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  bool AskYesNo(const std::string& text) override;
  std::optional<std::string> AskOpenFile(const std::string& filter,
                                         const std::string& defaultExtension,
                                         const std::string& title, int selectedFilter) override;

  void SetFileAnswer(std::optional<std::string> path) { fileAnswer_ = std::move(path); }

 private:
  std::optional<std::string> fileAnswer_;
};

}  // namespace tessarix::cli
