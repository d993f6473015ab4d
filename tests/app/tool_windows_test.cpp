#include "app/tool_windows.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "../movie/test_video.h"
#include "app/collection_window.h"
#include "app/movie_extraction_window.h"
#include "app/photo_utilities_window.h"
#include "app_test_support.h"
#include "imaging/sample_photos.h"
#include "job_state/mosaic_job.h"
#include "movie/movie_stream.h"

namespace tessarix {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Answers file requests and notes, for every request, the filter and whether the wait cursor
// was showing while the person chose.
class CursorPrompt final : public UserPrompt {
 public:
  void ShowMessage(const std::string& text, MessageIcon) override { messages.push_back(text); }
  bool AskYesNo(const std::string&) override { return false; }
  std::optional<std::string> AskOpenFile(const std::string& filter, const std::string& extension,
                                         const std::string& title, int selected) override {
    filters.push_back(filter + " / " + extension);
    titles.push_back(title + " / " + std::to_string(selected));
    const QCursor* cursor = QApplication::overrideCursor();
    waitCursorWhileAsked.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
    return fileAnswer;
  }

  std::vector<std::string> messages;
  std::vector<std::string> filters;
  std::vector<std::string> titles;
  std::vector<bool> waitCursorWhileAsked;
  std::optional<std::string> fileAnswer;

 private:
  ScopedPrompt guard_{*this};
};

void Show(QWidget& window) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
}

void Click(QWidget& window, const char* button) {
  QTest::mouseClick(Child<QPushButton>(&window, button), Qt::LeftButton);
}

TEST(PhotoUtilitiesWindowTest, ButtonsAskForAPhotoAndWriteBesideIt) {
  TempDir dir;
  CursorPrompt prompt;
  WriteJpeg(MakeImage(90, 60, [](uint32_t x, uint32_t y) { return MakePixel(x * 2, y * 3, 80); }),
            dir.File("photo.jpg"));
  PhotoUtilitiesWindow window;
  Show(window);

  prompt.fileAnswer = dir.File("photo.jpg");
  Click(window, "wallpaper");
  // Cuts of 90 / 9 = 10 columns and 60 / 9 = 6 rows.
  Image wallpaper;
  ASSERT_TRUE(wallpaper.LoadJpeg(dir.File("photo WallPaper.jpg")));
  EXPECT_EQ(wallpaper.Width(), 80u);
  EXPECT_EQ(wallpaper.Height(), 54u);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the cursor is back once it is done

  // The mask analysis shows the wait cursor only after the dialog; a cancelled dialog does
  // nothing at all.
  prompt.fileAnswer.reset();
  Click(window, "mask-analysis");
  EXPECT_FALSE(window.Run(PhotoUtility::CutBorders).has_value());
  EXPECT_FALSE(fs::exists(dir.File("photo CutBorder.jpg")));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  const std::string filter = "Images jpeg (*.jpg)|*.jpg;*.jpeg;*.jpe|| / jpg";
  EXPECT_EQ(prompt.filters, std::vector<std::string>(3, filter));
  EXPECT_EQ(prompt.titles,
            (std::vector<std::string>{"Choose the photo to turn into a wallpaper / 0",
                                      "Choose the mask file to analyse / 0",
                                      "Choose the photo to cut the borders from / 0"}));
  EXPECT_EQ(prompt.waitCursorWhileAsked, (std::vector<bool>{true, false, true}));
  EXPECT_TRUE(prompt.messages.empty());
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

bool IsWhite(QRgb pixel) {
  return qRed(pixel) == 255 && qGreen(pixel) == 255 && qBlue(pixel) == 255;
}

TEST(MovieExtractionWindowTest, DrawsTheCutOutAndRefusedBoxesKeepTheWindowAndTheFields) {
  CursorPrompt prompt;
  TestMovie movie;
  MovieExtractionWindow window(movie.stream);
  Show(window);
  EXPECT_EQ(FieldText(&window, "stopFrame"), "10");
  EXPECT_EQ(FieldText(&window, "howManyFrames"), "11");
  // 192 x 144 fits 320 x 240 exactly and sits at (1, 1).
  ASSERT_EQ(window.SamplePicture().size(), QSize(322, 242));
  // The middle quarter: 48 / 192 * 320 = 80 to 143 / 192 * 320 = 238.3 across, 36 / 144 * 240 =
  // 60 to 107 / 144 * 240 = 178.3 down.
  Type(&window, "posX", "48");
  Type(&window, "posY", "36");
  Type(&window, "sizeX", "96");
  Type(&window, "sizeY", "72");
  Click(window, "showFrame");
  const QImage cut = window.SamplePicture();
  EXPECT_TRUE(IsWhite(cut.pixel(81, 61)));
  EXPECT_TRUE(IsWhite(cut.pixel(239, 179)));
  EXPECT_FALSE(IsWhite(cut.pixel(80, 60)));
  EXPECT_FALSE(IsWhite(cut.pixel(240, 180)));
  EXPECT_EQ(window.Fields().sizeX, 96u);

  window.FirstFrame();
  EXPECT_EQ(window.SampleFrame(), 0);
  Click(window, "lastFrame");
  EXPECT_EQ(window.SampleFrame(), 9);

  // Refused boxes keep the window open and the previous fields.
  Type(&window, "jpgQuality", "101");
  Click(window, "extract");
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.result(), 0);
  EXPECT_EQ(window.focusWidget(), Child<QLineEdit>(&window, "jpgQuality"));
  EXPECT_EQ(window.Fields().jpgQuality, 50u);
  EXPECT_EQ(prompt.messages,
            std::vector<std::string>{"Please enter an integer between 1 and 100."});
  Type(&window, "jpgQuality", "75");

  // Stop beyond the movie's 10 frames: the sample frame stays where it was.
  Type(&window, "stopFrame", "11");
  window.FirstFrame();
  EXPECT_EQ(window.SampleFrame(), 9);
  EXPECT_EQ(prompt.messages.back(), "The value start/stop frame value should be between 0 and 10");
  Type(&window, "stopFrame", "10");

  // A cut-out wider than the frame draws nothing new.
  const QImage before = window.SamplePicture();
  Type(&window, "posX", "97");
  window.ShowFrame();
  EXPECT_EQ(prompt.messages.back(),
            "The value PosX+SizeX (97+96) must not exceed the Frame Width 192");
  EXPECT_EQ(window.SamplePicture(), before);
  EXPECT_EQ(prompt.messages.size(), 3u);

  Type(&window, "posX", "0");
  Click(window, "extract");
  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_EQ(window.Fields().jpgQuality, 75u);
}

// Notes the label's text every time it paints.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(QLabel& label) : label_(label) { label.installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &label_ && event->type() == QEvent::Paint)
      painted.push_back(label_.text().toStdString());
    return false;
  }
  std::vector<std::string> painted;

 private:
  QLabel& label_;
};

TEST(MovieExtractionCommandTest, ExtractWritesTheChosenFramesAndPaintsEveryStatus) {
  CursorPrompt prompt;
  TestMovie movie;
  prompt.fileAnswer = movie.path;
  QLabel status("-");
  status.resize(700, 30);
  Show(status);
  PaintRecorder recorder(status);

  bool typed = false;
  QTimer::singleShot(0, [&] {
    auto* window = qobject_cast<MovieExtractionWindow*>(QApplication::activeModalWidget());
    if (window == nullptr)
      return;
    typed = true;
    Type(window, "howManyFrames", "5");
    Type(window, "filePrefix", "cl");
    Click(*window, "extract");
  });
  QTimer rescue;  // a window that never opens must not hang the test
  rescue.setSingleShot(true);
  QObject::connect(&rescue, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget())
      modal->close();
  });
  rescue.start(20000);
  OpenMovieExtraction(nullptr, &status);
  ASSERT_TRUE(typed);
  EXPECT_EQ(prompt.waitCursorWhileAsked, std::vector<bool>{false});
  EXPECT_EQ(prompt.titles, std::vector<std::string>{"Choose a movie / 2"});
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // 11 frames in the range 0..10 over 5 frames: a step of 2.2 takes frames 0, 2, 4, 6 and 8.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(movie.dir.File("clip_FRAMES00001")))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"cl00001.jpg", "cl00003.jpg", "cl00005.jpg",
                                             "cl00007.jpg", "cl00009.jpg"}));

  // Every status is painted while the extraction holds the interface thread.
  ASSERT_EQ(recorder.painted.size(), 6u);
  for (size_t i = 0; i < 5; ++i)
    EXPECT_EQ(recorder.painted[i].rfind("Frame (" + std::to_string(i + 1) + ") ", 0), 0u)
        << recorder.painted[i];
  EXPECT_EQ(recorder.painted[5].rfind("Frames 10, Completed 100%, Elapsed Time: ", 0), 0u);
  EXPECT_EQ(status.text().toStdString(), recorder.painted.back());
  EXPECT_TRUE(prompt.messages.empty());
}

TEST(MovieExtractionCommandTest, NothingHappensWhileTheCollectionIsAnalysed) {
  TempDir dir;
  CursorPrompt prompt;
  for (int i = 0; i < 3; ++i)
    WriteJpeg(MakeFlatImage(24, 16, 0x00112233), dir.File("t" + std::to_string(i) + ".jpg"));
  ImageCollection collection;
  MosaicJob job;
  CollectionWindow window(collection, job);
  window.askSaveFile = [&] { return QString::fromStdString(dir.File("c.tzc")); };
  window.Create();
  ASSERT_TRUE(window.AnalysisRunning());
  OpenMovieExtraction(&window, nullptr);
  EXPECT_TRUE(prompt.filters.empty());
  window.close();
}

}  // namespace
}  // namespace tessarix
