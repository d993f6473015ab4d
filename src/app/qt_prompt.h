#pragma once

#include <QObject>
#include <QString>

#include "platform/user_prompt.h"

class QWidget;

namespace tessarix {

// The desktop's message boxes and file dialogs behind the core's prompt. Calls from the mosaic
// worker are carried over to the interface thread and wait there for the answer.
class QtPrompt final : public QObject, public UserPrompt {
  Q_OBJECT

 public:
  QtPrompt() = default;

  void ShowMessage(const std::string& text, MessageIcon icon) override;
  bool AskYesNo(const std::string& text) override;
  // Opens in the folder where the dialog of the same title last found its file.
  std::optional<std::string> AskOpenFile(const std::string& filter,
                                         const std::string& defaultExtension,
                                         const std::string& title, int selectedFilter) override;

  // Dialogs open over the active window, or over the main window when none is active.
  void SetFallbackParent(QWidget* parent) { fallbackParent_ = parent; }

 private:
  QWidget* Parent() const;
  template <typename Fn>
  void OnInterfaceThread(Fn&& fn);

  QWidget* fallbackParent_ = nullptr;
};

// The application title every message box carries as its caption.
QString ApplicationTitle();

// Asks for a file name to save under: no overwrite question, `defaultExtension` appended when the
// name has none. Opens in the folder where the last file of this filter was saved.
QString AskSaveFileName(QWidget* parent, const std::string& filter,
                        const std::string& defaultExtension);

}  // namespace tessarix
