#include "app/help_links.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "platform/user_prompt.h"

namespace tessarix {

QString HelpFilePath(const QString& name) {
  const QString besideProgram = QCoreApplication::applicationDirPath() + "/" + name;
  if (QFileInfo::exists(besideProgram))
    return besideProgram;
  const QString installed =
      QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/doc/tessarix/" + name);
  if (QFileInfo::exists(installed))
    return installed;
  return besideProgram;
}

bool OpenLocalUrl(const QUrl& url) {
  if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
    return false;
  return QDesktopServices::openUrl(url);
}

bool OpenUserGuide() {
  if (OpenLocalUrl(QUrl::fromLocalFile(HelpFilePath(kUserGuideName))))
    return true;
  Prompt().ShowMessage("Unable to find the User Guide \"TessarixManual.pdf\"",
                       MessageIcon::Warning);
  return false;
}

bool OpenTutorial() {
  const QUrl url = QUrl::fromLocalFile(HelpFilePath(kTutorialName));
  if (OpenLocalUrl(url))
    return true;
  Prompt().ShowMessage("Unable to open web page \"" + url.toString().toStdString() + "\"",
                       MessageIcon::Warning);
  return false;
}

}  // namespace tessarix
