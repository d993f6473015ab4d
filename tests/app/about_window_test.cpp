#include "app/about_window.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <filesystem>
#include <fstream>

#include "app/help_links.h"
#include "app/static_link.h"
#include "app_test_support.h"

namespace tessarix {
namespace {

using namespace test;

// Stands in for the desktop's viewer: records what it was asked to open.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.append(url); }
};

TEST(AboutWindowTest, PagesAreFoundBesideTheProgramElseInItsDataFolder) {
  TempDir dir;
  const QString bin = QString::fromStdString(dir.Folder() + "bin");
  const QString data = QString::fromStdString(dir.Folder() + "share/tessarix");
  for (const QString& file : {data + "/installed.pdf", data + "/both.pdf", bin + "/both.pdf"}) {
    QDir().mkpath(QFileInfo(file).path());
    std::ofstream(file.toStdString()) << "%PDF";
  }
  const std::pair<const char*, QString> rows[] = {{"installed.pdf", data + "/installed.pdf"},
                                                  {"both.pdf", bin + "/both.pdf"},
                                                  {"missing.pdf", bin + "/missing.pdf"}};
  for (const auto& [name, found] : rows) EXPECT_EQ(FindHelpFile(bin, name), found) << name;
}

// The links show the page's first title as plain text, else the file name, their addresses in
// the tooltips.
TEST(AboutWindowTest, LinksShowTheTitlesOfTheirPagesElseTheirNames) {
  TempDir dir;
  const std::pair<const char*, const char*> pages[3] = {
      {"tutorial.html",
       "<html><head><TITLE>\n  Tiles &amp; tips\n</TITLE></head><title>later</title></html>"},
      {"TessarixManual.pdf", "<title>not a page</title>"},
      {"project.html", "<p>no title</p>"}};
  for (const auto& [file, text] : pages) std::ofstream(dir.Folder() + file) << text;
  AboutWindow about(nullptr, QString::fromStdString(dir.Folder()));
  const char* shown[3] = {"Tiles & tips", "TessarixManual.pdf", "project.html"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(about.Link(i)->text().toStdString(), shown[i]);
    EXPECT_EQ(
        about.Link(i)->toolTip(),
        QUrl::fromLocalFile(QString::fromStdString(dir.Folder() + pages[i].first)).toString());
  }
}

// Stands in for xdg-mime, answering `answer` to every query.
void FakeXdgMime(const TempDir& dir, const std::string& answer) {
  const std::string script = dir.File("xdg-mime");
  std::ofstream(script) << "#!/bin/sh\nprintf '" << answer << "'\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
}

TEST(AboutWindowTest, UserGuideMessagesTellAMissingFileFromAMissingViewer) {
  TempDir dir;
  std::ofstream(dir.File("TessarixManual.pdf")) << "%PDF";
  const QString guide = QString::fromStdString(dir.File("TessarixManual.pdf"));
  UrlRecorder recorder;  // the desktop's opener, which starts whether or not a viewer exists
  QDesktopServices::setUrlHandler("file", &recorder, "Open");
  RecordingPrompt prompt;
  ScopedEnv path("PATH", dir.Folder() + ":" + getenv("PATH"));
  EXPECT_FALSE(OpenUserGuideAt(QString::fromStdString(dir.File("gone/TessarixManual.pdf"))));
  FakeXdgMime(dir, "");
  EXPECT_FALSE(OpenUserGuideAt(guide));
  FakeXdgMime(dir, "org.gnome.Evince.desktop\\n");
  EXPECT_TRUE(OpenUserGuideAt(guide));
  QDesktopServices::unsetUrlHandler("file");
  EXPECT_EQ(prompt.messages.at(0), "Unable to find the User Guide \"TessarixManual.pdf\"");
  EXPECT_EQ(prompt.messages.at(1).rfind("No program is set up to open PDF files", 0), 0u);
  EXPECT_EQ(recorder.opened, QList<QUrl>{QUrl::fromLocalFile(guide)});
}

}  // namespace
}  // namespace tessarix

#include "about_window_test.moc"
