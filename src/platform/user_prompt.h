#pragma once

#include <optional>
#include <string>

namespace tessarix {

enum class MessageIcon { Information, Warning, Stop };

// The only way the core talks to a person: a message box, a yes/no question or a request for a
// file to open. The desktop program shows dialogs, the command line prints and answers from its
// options, tests record the calls. Implementations must accept calls from the worker thread.
class UserPrompt {
 public:
  virtual ~UserPrompt() = default;

  // A modal message with an OK button.
  virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;

  // A Yes/No question whose default answer is No; returns true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;

  // Asks for an existing file to open, under `title` (what to choose). `filter` uses the
  // "Desc (*.a)|*.a;*.b||" form; the dialog starts on its pair number `selectedFilter` (0 for the
  // first). Returns none when the person cancels.
  virtual std::optional<std::string> AskOpenFile(const std::string& filter,
                                                 const std::string& defaultExtension,
                                                 const std::string& title, int selectedFilter) = 0;
};

// The prompt every core operation uses. Until one is installed, messages go nowhere, questions
// are answered No and file requests are cancelled.
UserPrompt& Prompt();

// Installs `prompt` as the process-wide prompt for the life of this guard and restores the
// previous one afterwards. Install it before any worker thread starts.
class ScopedPrompt {
 public:
  explicit ScopedPrompt(UserPrompt& prompt);
  ~ScopedPrompt();
  ScopedPrompt(const ScopedPrompt&) = delete;
  ScopedPrompt& operator=(const ScopedPrompt&) = delete;

 private:
  UserPrompt* previous_;
};

}  // namespace tessarix
