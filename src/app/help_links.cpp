#include "app/help_links.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "platform/user_prompt.h"

namespace tessarix {

QString FindHelpFile(const QString& programFolder, const QString& name) {
  const QString besideProgram = QDir::cleanPath(programFolder + "/" + name);
  if (QFileInfo::exists(besideProgram))
    return besideProgram;
  const QString installed = QDir::cleanPath(programFolder + "/../share/tessarix/" + name);
  if (QFileInfo::exists(installed))
    return installed;
  return besideProgram;
}

QString HelpFilePath(const QString& name) {
  return FindHelpFile(QCoreApplication::applicationDirPath(), name);
}

bool OpenLocalUrl(const QUrl& url) {
  if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
    return false;
  return QDesktopServices::openUrl(url);
}

bool NoViewerFor(const QString& mimeType) {
  QProcess query;
  query.start("xdg-mime", {"query", "default", mimeType});
  if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit) {
    query.kill();
    return false;
  }
  return query.exitCode() == 0 && query.readAllStandardOutput().trimmed().isEmpty();
}

bool OpenUserGuideAt(const QString& path) {
  if (!QFileInfo::exists(path)) {
    Prompt().ShowMessage("Unable to find the User Guide \"TessarixManual.pdf\"",
                         MessageIcon::Warning);
    return false;
  }
  if (!NoViewerFor("application/pdf") && OpenLocalUrl(QUrl::fromLocalFile(path)))
    return true;
  Prompt().ShowMessage(
      "No program is set up to open PDF files, so the User Guide \"TessarixManual.pdf\" cannot "
      "be shown. Install a PDF viewer or open the file yourself: " +
          path.toStdString(),
      MessageIcon::Warning);
  return false;
}

bool OpenUserGuide() {
  return OpenUserGuideAt(HelpFilePath(kUserGuideName));
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
