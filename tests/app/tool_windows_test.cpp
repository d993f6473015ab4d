#include "app/tool_windows.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "../movie/test_video.h"
#include "app/movie_extraction_window.h"
#include "app_test_support.h"
#include "imaging/sample_photos.h"
#include "movie/movie_stream.h"

namespace tessarix {
namespace {

using namespace test;
namespace fs = std::filesystem;

void Show(QWidget& window) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
}

void Click(QWidget& window, const char* button) {
  QTest::mouseClick(Child<QPushButton>(&window, button), Qt::LeftButton);
}

// A 10-frame 192 x 144 movie of a landscape, opened.
struct TestMovie {
  TestMovie() {
    const Image scene = MakeSampleScene(192, 144);
    EXPECT_TRUE(WriteVideo(path, {.width = 192, .height = 144, .frames = 10},
                           [&scene](int) { return scene; }));
    EXPECT_TRUE(stream.Open(path));
  }
  TempDir dir;
  std::string path = dir.File("clip.avi");
  MovieStream stream;
};

bool IsWhite(const QImage& picture, int x, int y) {
  return picture.pixel(x, y) == qRgb(255, 255, 255);
}

TEST(MovieExtractionWindowTest, DrawsTheCutOutAndRefusedBoxesKeepTheWindowAndTheFields) {
  RecordingPrompt prompt;
  TestMovie movie;
  MovieExtractionWindow window(movie.stream);
  Show(window);
  // 192 x 144 fits 320 x 240 exactly and sits at (1, 1) of a 322 x 242 picture.
  // The middle quarter: 48 / 192 * 320 = 80 to 143 / 192 * 320 = 238.3 across, 36 / 144 * 240 =
  // 60 to 107 / 144 * 240 = 178.3 down.
  for (const auto& [field, text] :
       {std::pair{"posX", "48"}, {"posY", "36"}, {"sizeX", "96"}, {"sizeY", "72"}})
    Type(&window, field, text);
  Click(window, "showFrame");
  const QImage cut = window.SamplePicture();
  EXPECT_TRUE(IsWhite(cut, 81, 61) && IsWhite(cut, 239, 179));
  EXPECT_FALSE(IsWhite(cut, 80, 60) || IsWhite(cut, 240, 180));
  Click(window, "lastFrame");
  EXPECT_EQ(window.SampleFrame(), 9);
  window.FirstFrame();
  EXPECT_EQ(window.SampleFrame(), 0);

  // Refused boxes keep the window open, the focus on the box and the previous fields.
  Type(&window, "jpgQuality", "101");
  Click(window, "extract");
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.focusWidget(), Child<QLineEdit>(&window, "jpgQuality"));
  EXPECT_EQ(window.Fields().jpgQuality, 50u);
  Type(&window, "jpgQuality", "75");
  // A cut-out wider than the frame draws nothing new.
  const QImage before = window.SamplePicture();
  Type(&window, "posX", "97");
  window.ShowFrame();
  EXPECT_EQ(window.SamplePicture(), before);
  EXPECT_EQ(prompt.messages.size(), 2u);

  Type(&window, "posX", "0");
  Click(window, "extract");
  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_EQ(window.Fields().jpgQuality, 75u);
}

// A status line that notes its text every time it paints.
struct RecordingLabel : QLabel {
  void paintEvent(QPaintEvent* event) override {
    painted.push_back(text().toStdString());
    QLabel::paintEvent(event);
  }
  std::vector<std::string> painted;
};

TEST(MovieExtractionCommandTest, ExtractWritesTheChosenFramesAndPaintsEveryStatus) {
  RecordingPrompt prompt;
  TestMovie movie;
  prompt.fileAnswer = movie.path;
  RecordingLabel status;
  status.resize(700, 30);
  Show(status);
  status.painted.clear();
  QTimer::singleShot(0, [&] {
    auto* window = qobject_cast<MovieExtractionWindow*>(QApplication::activeModalWidget());
    if (window == nullptr)
      return;
    Type(window, "howManyFrames", "5");
    Type(window, "filePrefix", "cl");
    Click(*window, "extract");
  });
  OpenMovieExtraction(nullptr, &status);
  EXPECT_EQ(prompt.fileTitles, std::vector<std::string>{"Choose a movie / 2"});

  // The typed fields are used: five frames, named with the typed prefix. Every status is painted
  // while the extraction holds the interface thread.
  EXPECT_TRUE(fs::exists(movie.dir.File("clip_FRAMES00001/cl00001.jpg")));
  ASSERT_EQ(status.painted.size(), 6u);
  for (size_t i = 0; i < 5; ++i)
    EXPECT_EQ(status.painted[i].rfind("Frame (" + std::to_string(i + 1) + ") ", 0), 0u)
        << status.painted[i];
  EXPECT_EQ(status.painted[5].rfind("Frames 10, Completed 100%, Elapsed Time: ", 0), 0u);
}

}  // namespace
}  // namespace tessarix
