#include "app/tool_windows.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCursor>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "../movie/test_video.h"
#include "app/collection_window.h"
#include "app/movie_extraction_window.h"
#include "app/photo_utilities_window.h"
#include "app_test_support.h"
#include "imaging/sample_photos.h"
#include "job/mosaic_job.h"
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
  std::optional<std::string> AskOpenFile(const std::string& filter,
                                         const std::string& extension) override {
    filters.push_back(filter + " / " + extension);
    const QCursor* cursor = QApplication::overrideCursor();
    waitCursorWhileAsked.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
    return fileAnswer;
  }

  std::vector<std::string> messages;
  std::vector<std::string> filters;
  std::vector<bool> waitCursorWhileAsked;
  std::optional<std::string> fileAnswer;

 private:
  ScopedPrompt guard_{*this};
};

// With TESSARIX_SCREENSHOTS set to a folder, the windows leave a picture of themselves there.
void SaveScreenshot(QWidget& window, const char* name) {
  const char* folder = std::getenv("TESSARIX_SCREENSHOTS");
  if (folder != nullptr) {
    EXPECT_TRUE(window.grab().save(QString(folder) + "/" + name));
  }
}

void Show(QWidget& window) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
}

QPushButton* ButtonNamed(QWidget& window, const char* name) {
  return Child<QPushButton>(&window, name);
}

TEST(PhotoUtilitiesWindowTest, FiveButtonsWithTheirTextsBesideThem) {
  PhotoUtilitiesWindow window;
  Show(window);
  EXPECT_EQ(window.windowTitle().toStdString(), "Photo Utilities");
  const char* names[] = {"mask-analysis", "quality-test", "wallpaper", "deinterlace",
                         "cut-borders"};
  const char* buttons[] = {"Mask File Analysis", "JPG Quality Test", "Photo to Wallpaper",
                           "De-Interlace", "Cut Borders"};
  int previousTop = -1;
  for (int i = 0; i < 5; ++i) {
    QPushButton* button = ButtonNamed(window, names[i]);
    QLabel* text = Child<QLabel>(&window, (std::string(names[i]) + "Text").c_str());
    ASSERT_TRUE(button && text);
    EXPECT_EQ(button->text().toStdString(), buttons[i]);
    // One row per utility, top to bottom in this order, its text to the right of its button.
    EXPECT_GT(button->y(), previousTop) << names[i];
    previousTop = button->y();
    EXPECT_GT(text->x(), button->x() + button->width() - 1) << names[i];
    EXPECT_LT(std::abs(text->y() - button->y()), button->height()) << names[i];
  }
  EXPECT_EQ(LabelText(&window, "cut-bordersText"),
            "Cut Borders of Photo and save in 65% Quality. The saved image will be "
            "\"...CutBorder.jpg\".");
  QPushButton* close = ButtonNamed(window, "close");
  ASSERT_EQ(close->text().toStdString(), "Close");
  EXPECT_TRUE(close->isDefault());
  SaveScreenshot(window, "utilities-window.png");
  QTest::mouseClick(close, Qt::LeftButton);
  EXPECT_FALSE(window.isVisible());
}

TEST(PhotoUtilitiesWindowTest, ButtonsAskForAPhotoAndWriteBesideIt) {
  TempDir dir;
  CursorPrompt prompt;
  WriteJpeg(MakeImage(90, 60, [](uint32_t x, uint32_t y) { return MakePixel(x * 2, y * 3, 80); }),
            dir.File("photo.jpg"));
  PhotoUtilitiesWindow window;
  Show(window);

  prompt.fileAnswer = dir.File("photo.jpg");
  QTest::mouseClick(ButtonNamed(window, "wallpaper"), Qt::LeftButton);
  // Cuts of 90 / 9 = 10 columns and 60 / 9 = 6 rows.
  Image wallpaper;
  ASSERT_TRUE(wallpaper.LoadJpeg(dir.File("photo WallPaper.jpg")));
  EXPECT_EQ(wallpaper.Width(), 80u);
  EXPECT_EQ(wallpaper.Height(), 54u);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the cursor is back once it is done

  // The mask analysis shows the wait cursor only after the dialog; a cancelled dialog does
  // nothing at all.
  prompt.fileAnswer.reset();
  QTest::mouseClick(ButtonNamed(window, "mask-analysis"), Qt::LeftButton);
  EXPECT_FALSE(window.Run(PhotoUtility::CutBorders).has_value());
  EXPECT_FALSE(fs::exists(dir.File("photo CutBorder.jpg")));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  const std::string filter = "Images jpeg (*.jpg)|*.jpg;*.jpeg;*.jpe|| / jpg";
  EXPECT_EQ(prompt.filters, std::vector<std::string>(3, filter));
  EXPECT_EQ(prompt.waitCursorWhileAsked, (std::vector<bool>{true, false, true}));
  EXPECT_TRUE(prompt.messages.empty());
}

// A movie of a landscape whose frames carry their number in the top-left corner.
struct TestMovie {
  explicit TestMovie(int frames) {
    VideoSpec video;
    video.width = 192;
    video.height = 144;
    video.frames = frames;
    path = dir.File("clip.avi");
    const Image scene = MakeSampleScene(192, 144);
    EXPECT_TRUE(WriteVideo(path, video, [&scene](int n) {
      return MakeImage(192, 144, [n, &scene](uint32_t x, uint32_t y) {
        return x < 48 && y < 16 ? CodedPixel(n, x, y) : scene.At(x, y);
      });
    }));
  }
  TempDir dir;
  std::string path;
};

bool IsWhite(QRgb pixel) {
  return qRed(pixel) == 255 && qGreen(pixel) == 255 && qBlue(pixel) == 255;
}

TEST(MovieExtractionWindowTest, OpensWithTheMovieAsAWholeAndItsSampleFrame) {
  CursorPrompt prompt;
  TestMovie movie(10);
  MovieStream stream;
  ASSERT_TRUE(stream.Open(movie.path));
  MovieExtractionWindow window(stream);
  Show(window);
  EXPECT_EQ(window.windowTitle().toStdString(), "Extract Frames from Movie");
  const std::pair<const char*, const char*> boxes[] = {
      {"posX", "0"},           {"posY", "0"},        {"sizeX", "192"},
      {"sizeY", "144"},        {"startFrame", "0"},  {"stopFrame", "10"},
      {"howManyFrames", "11"}, {"jpgQuality", "50"}, {"filePrefix", "FR"}};
  for (const auto& [name, text] : boxes) {
    QLineEdit* box = Child<QLineEdit>(&window, name);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString(), text) << name;
  }
  EXPECT_EQ(LabelText(&window, "frameTime"), ". (1/25s)");
  EXPECT_FALSE(Child<QCheckBox>(&window, "deInterlace")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(&window, "writeJpg")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>(&window, "writeBmp")->isChecked());
  EXPECT_TRUE(ButtonNamed(window, "extract")->isDefault());
  EXPECT_GE(window.SampleFrame(), 0);
  EXPECT_LT(window.SampleFrame(), 10);

  // 192 x 144 fits 320 x 240 exactly and sits at (1, 1); the whole-frame cut-out runs from 0 to
  // 191 / 192 * 320 = 318.3 across and 143 / 144 * 240 = 238.3 down.
  const QImage picture = window.SamplePicture();
  ASSERT_EQ(picture.size(), QSize(322, 242));
  for (const QPoint corner : {QPoint(1, 1), QPoint(319, 1), QPoint(1, 239), QPoint(319, 239)})
    EXPECT_TRUE(IsWhite(picture.pixel(corner))) << corner.x() << "," << corner.y();
  EXPECT_FALSE(IsWhite(picture.pixel(320, 240)));  // the frame beyond the rectangle
  EXPECT_EQ(picture.pixel(0, 0) & 0xffffff, 0u);   // the margin stays black
  EXPECT_EQ(picture.pixel(321, 241) & 0xffffff, 0u);

  // The middle quarter: 48 / 192 * 320 = 80 to 143 / 192 * 320 = 238.3 across, 36 / 144 * 240 =
  // 60 to 107 / 144 * 240 = 178.3 down.
  Type(&window, "posX", "48");
  Type(&window, "posY", "36");
  Type(&window, "sizeX", "96");
  Type(&window, "sizeY", "72");
  QTest::mouseClick(ButtonNamed(window, "showFrame"), Qt::LeftButton);
  const QImage cut = window.SamplePicture();
  for (const QPoint corner : {QPoint(81, 61), QPoint(239, 61), QPoint(81, 179), QPoint(239, 179)})
    EXPECT_TRUE(IsWhite(cut.pixel(corner))) << corner.x() << "," << corner.y();
  EXPECT_FALSE(IsWhite(cut.pixel(80, 60)));
  EXPECT_FALSE(IsWhite(cut.pixel(240, 180)));
  EXPECT_EQ(window.Fields().sizeX, 96u);
  SaveScreenshot(window, "movie-window.png");

  window.FirstFrame();
  EXPECT_EQ(window.SampleFrame(), 0);
  QTest::mouseClick(ButtonNamed(window, "lastFrame"), Qt::LeftButton);
  EXPECT_EQ(window.SampleFrame(), 9);
  EXPECT_TRUE(prompt.messages.empty());
}

TEST(MovieExtractionWindowTest, RefusedBoxesKeepTheWindowAndThePreviousFields) {
  CursorPrompt prompt;
  TestMovie movie(10);
  MovieStream stream;
  ASSERT_TRUE(stream.Open(movie.path));
  MovieExtractionWindow window(stream);
  Show(window);
  window.LastFrame();

  Type(&window, "jpgQuality", "101");
  QTest::mouseClick(ButtonNamed(window, "extract"), Qt::LeftButton);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.result(), 0);
  EXPECT_EQ(window.focusWidget(), Child<QLineEdit>(&window, "jpgQuality"));
  EXPECT_EQ(window.Fields().jpgQuality, 50u);
  ASSERT_EQ(prompt.messages.size(), 1u);
  EXPECT_EQ(prompt.messages[0], "Please enter an integer between 1 and 100.");
  Type(&window, "jpgQuality", "75");

  // Stop beyond the movie's 10 frames: the sample frame stays where it was.
  Type(&window, "stopFrame", "11");
  window.FirstFrame();
  EXPECT_EQ(window.SampleFrame(), 9);
  EXPECT_EQ(prompt.messages.back(), "The value start/stop frame value should be between 0 and 10");
  Type(&window, "stopFrame", "10");

  // A cut-out wider than the frame draws nothing new.
  const QImage before = window.SamplePicture();
  Type(&window, "posX", "1");
  Type(&window, "sizeX", "192");
  window.ShowFrame();
  EXPECT_EQ(prompt.messages.back(),
            "The value PosX+SizeX (1+192) must not exceed the Frame Width 192");
  EXPECT_EQ(window.SamplePicture(), before);
  EXPECT_EQ(prompt.messages.size(), 3u);

  Type(&window, "posX", "0");
  QTest::mouseClick(ButtonNamed(window, "extract"), Qt::LeftButton);
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
  TestMovie movie(10);
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
    QTest::mouseClick(window->findChild<QPushButton*>("extract"), Qt::LeftButton);
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
  EXPECT_EQ(prompt.filters.size(), 1u);
  EXPECT_FALSE(prompt.waitCursorWhileAsked[0]);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // 11 frames in the range 0..10 over 5 frames: a step of 2.2 takes frames 0, 2, 4, 6 and 8.
  const std::string folder = movie.dir.File("clip_FRAMES00001");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"cl00001.jpg", "cl00003.jpg", "cl00005.jpg",
                                             "cl00007.jpg", "cl00009.jpg"}));
  Image frame;
  ASSERT_TRUE(frame.LoadJpeg(folder + "/cl00007.jpg"));
  EXPECT_EQ(ReadCode(frame), 6);

  const std::vector<std::string> starts = {"Frame (1) 1 of 10, Completed 0.00%, Elapsed Time: ",
                                           "Frame (2) 3 of 10, Completed 18.18%, Elapsed Time: ",
                                           "Frame (3) 5 of 10, Completed 36.36%, Elapsed Time: ",
                                           "Frame (4) 7 of 10, Completed 54.55%, Elapsed Time: ",
                                           "Frame (5) 9 of 10, Completed 72.73%, Elapsed Time: ",
                                           "Frames 10, Completed 100%, Elapsed Time: "};
  ASSERT_EQ(recorder.painted.size(), starts.size());
  for (size_t i = 0; i < starts.size(); ++i)
    EXPECT_EQ(recorder.painted[i].rfind(starts[i], 0), 0u) << recorder.painted[i];
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
