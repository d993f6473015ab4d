#include "app/about_window.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <filesystem>
#include <fstream>

#include "app/help_links.h"
#include "app/link_name.h"
#include "app/static_link.h"
#include "app_test_support.h"
#include "engine/usage_counter.h"

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

TEST(AboutWindowTest, UsageLineCountsTheMosaicsMade) {
  TempDir dir;
  ScopedConfigHome config(dir.Folder());
  ASSERT_TRUE(IncrementMosaicCount());
  ASSERT_TRUE(IncrementMosaicCount());
  const std::string date = ReadUsage().dateFirstMosaic;
  ASSERT_FALSE(date.empty());
  EXPECT_EQ(AboutWindow().UsageText().toStdString(),
            "You have created 2 Mosaics since " + date + "!");
}

TEST(AboutWindowTest, LinksTurnPurpleWhenOpenedAndPlainWhenNothingOpens) {
  TempDir dir;
  std::ofstream(dir.File("page.html")) << "<p>hi</p>";
  UrlRecorder recorder;
  QDesktopServices::setUrlHandler("file", &recorder, "Open");

  StaticLink good(QUrl::fromLocalFile(QString::fromStdString(dir.File("page.html"))).toString());
  EXPECT_EQ(good.Color(), StaticLink::kUnvisited);
  QTest::mouseClick(&good, Qt::LeftButton);
  EXPECT_EQ(good.Color(), StaticLink::kVisited);
  ASSERT_EQ(recorder.opened.size(), 1);
  EXPECT_EQ(recorder.opened[0].toLocalFile().toStdString(), dir.File("page.html"));

  StaticLink missing(QString::fromStdString(dir.File("gone.html")));
  EXPECT_FALSE(missing.Follow());
  EXPECT_TRUE(missing.Failed());
  EXPECT_FALSE(missing.font().underline());
  EXPECT_NE(missing.cursor().shape(), Qt::PointingHandCursor);
  EXPECT_FALSE(missing.Follow());  // clicks are ignored from now on
  EXPECT_EQ(recorder.opened.size(), 1);
  QDesktopServices::unsetUrlHandler("file");
}

TEST(AboutWindowTest, PagesAreFoundBesideTheProgramElseInItsDataFolder) {
  TempDir dir;
  const QString bin = QString::fromStdString(dir.Folder() + "bin");
  const QString data = QString::fromStdString(dir.Folder() + "share/tessarix");
  QDir().mkpath(bin);
  QDir().mkpath(data);
  std::ofstream((data + "/installed.pdf").toStdString()) << "%PDF";
  std::ofstream((data + "/both.pdf").toStdString()) << "%PDF";
  std::ofstream((bin + "/both.pdf").toStdString()) << "%PDF";
  const struct {
    const char* name;
    QString found;
  } rows[] = {{"installed.pdf", data + "/installed.pdf"},
              {"both.pdf", bin + "/both.pdf"},
              {"missing.pdf", bin + "/missing.pdf"}};
  for (const auto& row : rows) EXPECT_EQ(FindHelpFile(bin, row.name), row.found) << row.name;
}

TEST(AboutWindowTest, LinksShowThePageTitleOrTheFileName) {
  TempDir dir;
  std::ofstream(dir.File("titled.html"))
      << "<html><head><TITLE>\n  Tiles &amp; tips\n</TITLE></head><title>later</title></html>";
  std::ofstream(dir.File("untitled.htm")) << "<p>no title</p>";
  std::ofstream(dir.File("guide.pdf")) << "<title>not a page</title>";
  const struct {
    const char* file;
    const char* shown;
  } rows[] = {{"titled.html", "Tiles & tips"},
              {"untitled.htm", "untitled.htm"},
              {"guide.pdf", "guide.pdf"},
              {"gone.html", "gone.html"}};
  for (const auto& row : rows)
    EXPECT_EQ(LinkDisplayName(QString::fromStdString(dir.File(row.file))).toStdString(), row.shown);
}

// Installed in a deep folder, the window still shows every text whole: the links by name, their
// addresses in the tooltips.
TEST(AboutWindowTest, EveryTextShowsWholeFromADeepFolder) {
  TempDir dir;
  ScopedConfigHome config(dir.Folder() + "config");
  std::string deep = dir.Folder();
  for (int i = 0; i < 8; ++i) deep += "a folder with a rather long name " + std::to_string(i) + "/";
  QDir().mkpath(QString::fromStdString(deep));
  std::ofstream(deep + "tutorial.html") << "<title>Tessarix tutorial</title>";
  std::ofstream(deep + "project.html") << "<title>Tessarix</title>";
  std::ofstream(deep + "TessarixManual.pdf") << "%PDF";
  AboutWindow about(nullptr, QString::fromStdString(deep));
  about.show();
  QCoreApplication::processEvents();
  const char* files[3] = {"tutorial.html", "TessarixManual.pdf", "project.html"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(about.Link(i)->text(), LinkDisplayName(QString::fromStdString(deep + files[i])));
    EXPECT_EQ(about.Link(i)->toolTip(),
              QUrl::fromLocalFile(QString::fromStdString(deep + files[i])).toString());
  }
  EXPECT_EQ(CutTexts(about), std::vector<std::string>{});
}

// Stands in for xdg-mime, answering `answer` to every query.
class FakeXdgMime {
 public:
  FakeXdgMime(const TempDir& dir, const std::string& answer)
      : path_(getenv("PATH") ? getenv("PATH") : "") {
    const std::string script = dir.File("xdg-mime");
    std::ofstream(script) << "#!/bin/sh\nprintf '" << answer << "'\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    setenv("PATH", (dir.Folder() + ":" + path_).c_str(), 1);
  }
  ~FakeXdgMime() { setenv("PATH", path_.c_str(), 1); }

 private:
  std::string path_;
};

TEST(AboutWindowTest, UserGuideMessagesTellAMissingFileFromAMissingViewer) {
  TempDir dir;
  std::ofstream(dir.File("TessarixManual.pdf")) << "%PDF";
  const QString guide = QString::fromStdString(dir.File("TessarixManual.pdf"));
  UrlRecorder recorder;  // the desktop's opener, which starts whether or not a viewer exists
  QDesktopServices::setUrlHandler("file", &recorder, "Open");
  RecordingPrompt prompt;
  EXPECT_FALSE(OpenUserGuideAt(QString::fromStdString(dir.File("gone/TessarixManual.pdf"))));
  {
    FakeXdgMime none(dir, "");
    EXPECT_FALSE(OpenUserGuideAt(guide));
  }
  {
    FakeXdgMime viewer(dir, "org.gnome.Evince.desktop\\n");
    EXPECT_TRUE(OpenUserGuideAt(guide));
  }
  QDesktopServices::unsetUrlHandler("file");
  ASSERT_EQ(prompt.messages.size(), 2u);
  EXPECT_EQ(prompt.messages[0], "Unable to find the User Guide \"TessarixManual.pdf\"");
  EXPECT_EQ(prompt.messages[1].rfind("No program is set up to open PDF files", 0), 0u);
  EXPECT_EQ(recorder.opened, QList<QUrl>{QUrl::fromLocalFile(guide)});
}

}  // namespace
}  // namespace tessarix

#include "about_window_test.moc"
