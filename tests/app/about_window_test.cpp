#include "app/about_window.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <fstream>

#include "app/help_links.h"
#include "app/static_link.h"
#include "app_test_support.h"
#include "platform/usage_counter.h"

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

TEST(AboutWindowTest, UsageLineBeforeAndAfterTheFirstMosaic) {
  TempDir dir;
  ScopedConfigHome config(dir.Folder());
  EXPECT_EQ(AboutWindow().UsageText().toStdString(),
            "What are you waiting? Create your first mosaic!");
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
  EXPECT_EQ(good.Colour(), StaticLink::kUnvisited);
  QTest::mouseClick(&good, Qt::LeftButton);
  EXPECT_EQ(good.Colour(), StaticLink::kVisited);
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

TEST(AboutWindowTest, UserGuideIsLookedUpBesideTheProgram) {
  RecordingPrompt prompt;
  const QString path = HelpFilePath(kUserGuideName);
  EXPECT_TRUE(path.startsWith(QCoreApplication::applicationDirPath() + "/"));
  if (QFileInfo::exists(path))
    GTEST_SKIP() << "a built guide lies beside the test program";
  EXPECT_FALSE(OpenUserGuide());
  EXPECT_FALSE(OpenTutorial());
  const std::string address =
      QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/tutorial.html")
          .toString()
          .toStdString();
  EXPECT_EQ(prompt.messages,
            (std::vector<std::string>{"Unable to find the User Guide \"TessarixManual.pdf\"",
                                      "Unable to open web page \"" + address + "\""}));
}

}  // namespace
}  // namespace tessarix

#include "about_window_test.moc"
