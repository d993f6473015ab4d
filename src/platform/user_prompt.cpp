#include "platform/user_prompt.h"

#include <atomic>

namespace tessarix {
namespace {

class SilentPrompt final : public UserPrompt {
 public:
  void ShowMessage(const std::string&, MessageIcon) override {}
  bool AskYesNo(const std::string&) override { return false; }
  std::optional<std::string> AskOpenFile(const std::string&, const std::string&, const std::string&,
                                         int) override {
    return std::nullopt;
  }
};

SilentPrompt silent_prompt;
std::atomic<UserPrompt*> current_prompt{&silent_prompt};

}  // namespace

UserPrompt& Prompt() { return *current_prompt.load(); }

ScopedPrompt::ScopedPrompt(UserPrompt& prompt) : previous_(current_prompt.exchange(&prompt)) {}

ScopedPrompt::~ScopedPrompt() { current_prompt.store(previous_); }

}  // namespace tessarix
