#include "app/qt_prompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include "app/remembered_settings.h"
#include "window_logic/window_texts.h"

namespace tessarix {
namespace {

QString WithDefaultExtension(QString path, const std::string& defaultExtension) {
  if (!path.isEmpty() && !defaultExtension.empty() && QFileInfo(path).suffix().isEmpty())
    path += "." + QString::fromStdString(defaultExtension);
  return path;
}

// Each dialog opens where it last found its file; one that never did, or whose file was not
// chosen, opens where the toolkit chooses.
void RememberFolder(const QString& dialog, const QString& chosen) {
  if (!chosen.isEmpty())
    RememberedSettings().SetFolder(dialog, QFileInfo(chosen).absolutePath());
}

}  // namespace

QString ApplicationTitle() {
  return QStringLiteral("Tessarix");
}

QWidget* QtPrompt::Parent() const {
  if (QWidget* active = QApplication::activeWindow())
    return active;
  return fallbackParent_;
}

template <typename Fn>
void QtPrompt::OnInterfaceThread(Fn&& fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return;
  }
  // The worker waits for the person's answer; the interface thread never waits for the worker
  // while it runs a batch, so this cannot deadlock.
  QMetaObject::invokeMethod(this, std::forward<Fn>(fn), Qt::BlockingQueuedConnection);
}

void QtPrompt::ShowMessage(const std::string& text, MessageIcon icon) {
  OnInterfaceThread([&] {
    QMessageBox::Icon kind = QMessageBox::Information;
    if (icon == MessageIcon::Warning)
      kind = QMessageBox::Warning;
    if (icon == MessageIcon::Stop)
      kind = QMessageBox::Critical;
    QMessageBox box(kind, ApplicationTitle(), QString::fromStdString(text), QMessageBox::Ok,
                    Parent());
    box.exec();
  });
}

bool QtPrompt::AskYesNo(const std::string& text) {
  bool yes = false;
  OnInterfaceThread([&] {
    QMessageBox box(QMessageBox::Question, ApplicationTitle(), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, Parent());
    box.setDefaultButton(QMessageBox::No);
    yes = box.exec() == QMessageBox::Yes;
  });
  return yes;
}

std::optional<std::string> QtPrompt::AskOpenFile(const std::string& filter, const std::string&,
                                                 const std::string& title, int selectedFilter) {
  std::optional<std::string> chosen;
  OnInterfaceThread([&] {
    const QString filters = QString::fromStdString(ToDialogFilter(filter));
    QString selected = filters.split(";;").value(selectedFilter);
    const QString dialog = QString::fromStdString(title);
    const QString path = QFileDialog::getOpenFileName(
        Parent(), dialog, RememberedSettings().Folder(dialog), filters, &selected);
    RememberFolder(dialog, path);
    // The dialog only returns existing files, so the default extension has nothing to add.
    if (!path.isEmpty())
      chosen = path.toStdString();
  });
  return chosen;
}

QString AskSaveFileName(QWidget* parent, const std::string& filter,
                        const std::string& defaultExtension) {
  // Save dialogs all share one title, so they are told apart by what they save.
  const QString dialog = QString::fromStdString(ToDialogFilter(filter));
  const QString path =
      QFileDialog::getSaveFileName(parent, ApplicationTitle(), RememberedSettings().Folder(dialog),
                                   dialog, nullptr, QFileDialog::DontConfirmOverwrite);
  RememberFolder(dialog, path);
  return WithDefaultExtension(path, defaultExtension);
}

}  // namespace tessarix
