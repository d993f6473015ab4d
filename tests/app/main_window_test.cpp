#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "app/about_window.h"
#include "app/preview_window.h"
#include "app_test_support.h"

namespace tessarix {
namespace {

using namespace test;

constexpr const char* kDefaultSummary =
    "Mosaic Size: 0x0 Pixels, Tile Width: 150 Pixels, Total size: 9.0 Milion Pixels, Total "
    "Photos: 400 Tiles";
// 300 x 200 source, 20 per row of 150: 20 rows of 100, grid 3000 x 2000.
constexpr const char* kLandscapeSummary =
    "Mosaic Size: 3000x2000 Pixels, Tile Width: 150 Pixels, Total size: 6.0 Milion Pixels, "
    "Total Photos: 400 Tiles";
// 200 x 300 source: rows (300 * 20 * 150 / 200) / 100 = 45, grid 3000 x 4500, 900 tiles.
constexpr const char* kPortraitSummary =
    "Mosaic Size: 3000x4500 Pixels, Tile Width: 150 Pixels, Total size: 13.5 Milion Pixels, "
    "Total Photos: 900 Tiles";

class MainWindowTest : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedConfigHome config{dir.Folder() + "config"};

  void SelectOnly(MainWindow& window, int row) {
    QListWidget* list = Child<QListWidget>(&window, "sources");
    list->clearSelection();
    list->item(row)->setSelected(true);
  }
  std::vector<std::string> Listed(MainWindow& window) {
    std::vector<std::string> shown;
    QListWidget* list = Child<QListWidget>(&window, "sources");
    for (int i = 0; i < list->count(); ++i) shown.push_back(list->item(i)->text().toStdString());
    return shown;
  }
};

TEST_F(MainWindowTest, StartsWithDefaultsAndAValidCheck) {
  MainWindow window;
  EXPECT_EQ(window.windowTitle().toStdString(), "Tessarix - Kovra");
  EXPECT_EQ(LabelText(&window, "info"), "All Parameters are correct. :)");
  EXPECT_EQ(LabelText(&window, "summary"), kDefaultSummary);
  EXPECT_TRUE(window.ParametersValid());
  EXPECT_EQ(Child<QComboBox>(&window, "algorithm")->currentText().toStdString(), "Flip Horiz.");
  EXPECT_EQ(Child<QLineEdit>(&window, "webWidth")->text().toStdString(), "750");
  EXPECT_EQ(Child<QLineEdit>(&window, "tileWidth")->text().toStdString(), "");
  EXPECT_EQ(Child<QProgressBar>(&window, "progressBar")->maximum(), 10000);
  EXPECT_EQ(Child<QPushButton>(&window, "start")->text().toStdString(), "&Create the Mosaic's");
  EXPECT_EQ(LabelText(&window, "collectionDescription"),
            "(Please Load an existing collection or Create a new one)");
  EXPECT_EQ(window.minimumSize(), window.maximumSize());  // fixed size
}

TEST_F(MainWindowTest, TypingRunsTheCheckAndWritesFieldsBack) {
  MainWindow window;
  Type(&window, "tilesPerRow", "0");
  EXPECT_EQ(LabelText(&window, "info"),
            "Parameter: Number of Tiles per Row is invalid. Valid values are: 1..10000");
  EXPECT_FALSE(window.ParametersValid());
  Type(&window, "tilesPerRow", "20");
  Type(&window, "mosaicWidth", "239");
  EXPECT_EQ(LabelText(&window, "info"),
            "Parameter: Mosaic Width is invalid. Valid values are greater than 12x20=240");
  Type(&window, "mosaicWidth", "3001");  // 3001 / 20 rounded up
  EXPECT_EQ(LabelText(&window, "summary"),
            "Mosaic Size: 0x0 Pixels, Tile Width: 151 Pixels, Total size: 9.1 Milion Pixels, "
            "Total Photos: 400 Tiles");
  Type(&window, "tileWidth", "100");  // the mosaic width follows: 100 x 20
  EXPECT_EQ(Child<QLineEdit>(&window, "mosaicWidth")->text().toStdString(), "2000");
  EXPECT_EQ(LabelText(&window, "summary"),
            "Mosaic Size: 0x0 Pixels, Tile Width: 100 Pixels, Total size: 4.0 Milion Pixels, "
            "Total Photos: 400 Tiles");
  EXPECT_EQ(LabelText(&window, "info"), "All Parameters are correct. :)");

  Type(&window, "maxDuplicates", "7");  // no check of its own
  EXPECT_EQ(Child<QLineEdit>(&window, "maxDuplicates")->text().toStdString(), "7");
  Type(&window, "sequenceDistance", "5");
  EXPECT_EQ(Child<QLineEdit>(&window, "maxDuplicates")->text().toStdString(), "0");
  Type(&window, "duplicateDistance", "0");
  EXPECT_EQ(Child<QLineEdit>(&window, "maxDuplicates")->text().toStdString(), "1");
  Type(&window, "jpegQuality", "101");
  EXPECT_EQ(LabelText(&window, "info"),
            "Parameter: JPG Quality is invalid. Valid values are: 1..100.");
}

TEST_F(MainWindowTest, MeasuresTheFirstPhotographInListOrder) {
  WriteJpeg(MakeFlatImage(300, 200, 0x00202020), dir.File("A.jpg"));
  WriteJpeg(MakeFlatImage(200, 300, 0x00202020), dir.File("B.jpg"));
  std::ofstream(dir.File("C.jpg")) << "not a picture";
  RecordingPrompt prompt;
  MainWindow window;

  prompt.fileAnswer = dir.File("B.jpg");
  window.AddImage();
  EXPECT_EQ(LabelText(&window, "summary"), kPortraitSummary);
  prompt.fileAnswer = dir.File("A.jpg");
  window.AddImage();
  EXPECT_EQ(LabelText(&window, "summary"), kLandscapeSummary);
  prompt.fileAnswer = dir.File("C.jpg");
  window.AddImage();
  EXPECT_EQ(prompt.fileRequests,
            std::vector<std::string>(3, "Images JPEG (*.jpg)|*.jpg;*.jpeg;*.jpe||"));
  EXPECT_TRUE(prompt.messages.empty());
  EXPECT_EQ(Listed(window),
            (std::vector<std::string>{dir.File("A.jpg"), dir.File("B.jpg"), dir.File("C.jpg")}));

  // The third (unloadable) entry goes without anything being measured.
  SelectOnly(window, 2);
  window.RemoveImage();
  EXPECT_TRUE(prompt.messages.empty());
  EXPECT_EQ(LabelText(&window, "summary"), kLandscapeSummary);
  // The first goes: B is measured.
  prompt.fileAnswer = dir.File("C.jpg");
  window.AddImage();
  SelectOnly(window, 0);
  window.RemoveImage();
  EXPECT_EQ(LabelText(&window, "summary"), kPortraitSummary);
  // C becomes first and cannot be loaded: the message names it and B's size stays.
  SelectOnly(window, 0);
  window.RemoveImage();
  EXPECT_EQ(prompt.messages, std::vector<std::string>{"Unable to load file " + dir.File("C.jpg")});
  EXPECT_EQ(Listed(window), std::vector<std::string>{dir.File("C.jpg")});
  Type(&window, "border", "0");
  EXPECT_EQ(LabelText(&window, "summary"), kPortraitSummary);

  window.ClearList();
  EXPECT_TRUE(Listed(window).empty());
  // Add Image lists a path twice when asked twice.
  prompt.fileAnswer = dir.File("A.jpg");
  window.AddImage();
  window.AddImage();
  EXPECT_EQ(Listed(window).size(), 2u);
}

TEST_F(MainWindowTest, DroppedFilesAreListedOnce) {
  WriteJpeg(MakeFlatImage(300, 200, 0x00202020), dir.File("A.jpg"));
  RecordingPrompt prompt;
  MainWindow window;
  window.show();
  for (int i = 0; i < 2; ++i) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("A.jpg"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.File("a.JPG")))});
    // As the desktop delivers a drop: the drag enters, then is dropped.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
  }
  EXPECT_EQ(Listed(window), std::vector<std::string>{dir.File("A.jpg")});
  EXPECT_EQ(LabelText(&window, "summary"), kLandscapeSummary);
  EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(MainWindowTest, AddDirectoryLeavesUpToDateMosaicsOut) {
  WriteJpeg(MakeFlatImage(300, 200, 0x00202020), dir.File("X.jpg"));
  WriteJpeg(MakeFlatImage(300, 200, 0x00202020), dir.File("X Mosaic.JPG"));
  WriteJpeg(MakeFlatImage(200, 300, 0x00202020), dir.File("Y.jpg"));
  RecordingPrompt prompt;
  MainWindow window;
  Type(&window, "tilesPerRow", "0");  // invalid parameters: Add Directory does nothing
  prompt.fileAnswer = dir.File("X.jpg");
  window.AddDirectory();
  EXPECT_TRUE(prompt.fileRequests.empty());
  Type(&window, "tilesPerRow", "20");
  window.AddDirectory();
  EXPECT_EQ(Listed(window), std::vector<std::string>{dir.File("Y.jpg")});
  EXPECT_EQ(LabelText(&window, "summary"), kPortraitSummary);
}

TEST_F(MainWindowTest, FinishedBatchFillsTheBarAndShowsEveryPicture) {
  std::filesystem::create_directory(dir.Path() / "tiles");
  RecordingPrompt prompt;
  MainWindow window;
  BuildTileCollection(dir.Folder() + "tiles/", window.Collection());
  ASSERT_EQ(window.Collection().Size(), 4u);
  WriteJpeg(MakeImage(120, 80, [](uint32_t x, uint32_t) { return x < 60 ? 0xffu : 0xff00u; }),
            dir.File("photo.jpg"));
  prompt.fileAnswer = dir.File("photo.jpg");
  window.AddImage();
  Type(&window, "tilesPerRow", "4");
  Type(&window, "tileWidth", "30");
  ASSERT_TRUE(window.ParametersValid());

  window.StartOrStop();
  window.Driver().Wait();
  for (int i = 0; i < 3; ++i) window.Tick();
  EXPECT_EQ(Child<QProgressBar>(&window, "progressBar")->value(), 10000);
  EXPECT_EQ(Child<QPushButton>(&window, "start")->text().toStdString(), "&Create the Mosaic's");
  EXPECT_TRUE(std::filesystem::exists(dir.File("photo Mosaic.JPG")));
  const std::vector<PreviewWindow*> previews = window.Previews();
  ASSERT_EQ(previews.size(), 2u);
  EXPECT_EQ(previews[0]->windowTitle().toStdString(),
            "Input: " + dir.File("photo.jpg") + " (Full Size 120x80)");
  EXPECT_EQ(previews[1]->windowTitle().toStdString().rfind("Mosaic: " + dir.File("photo.jpg"), 0),
            0u);
  EXPECT_EQ(prompt.messages, std::vector<std::string>{"Completed 1 Mosaics!"});
  previews[0]->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  window.Tick();
  EXPECT_EQ(window.Previews().size(), 1u);

  // The saved mosaic counts for the About window.
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string today = std::to_string(local.tm_year + 1900) + "-" +
                            std::to_string(local.tm_mon + 1) + "-" + std::to_string(local.tm_mday);
  AboutWindow about;
  EXPECT_EQ(about.UsageText().toStdString(), "You have created 1 Mosaics since " + today + "!");
}

TEST_F(MainWindowTest, ClosingDuringABatchAsksFirst) {
  std::filesystem::create_directory(dir.Path() / "tiles");
  BlockingPrompt prompt;
  MainWindow window;
  window.show();
  BuildTileCollection(dir.Folder() + "tiles/", window.Collection());
  WriteJpeg(MakeFlatImage(120, 80, 0x00336699), dir.File("photo.jpg"));
  window.AddDroppedFiles({dir.File("photo.jpg")});
  Type(&window, "tileWidth", "0");  // mask mode: the worker asks for the mask and waits
  ASSERT_TRUE(window.ParametersValid());
  window.StartOrStop();
  prompt.WaitUntilAsked();
  window.Tick();
  EXPECT_EQ(Child<QPushButton>(&window, "start")->text().toStdString(), "Stop the Mosaic's");

  // A check during the batch only says so.
  Type(&window, "border", "1000");
  EXPECT_EQ(LabelText(&window, "info"), "Mosaic creation in progress...");
  EXPECT_TRUE(window.ParametersValid());

  prompt.answers = {false};
  window.TryClose();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.Driver().IsAlive());
  EXPECT_FALSE(window.Job().StopRequested());
  prompt.answers = {true};
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.Job().StopRequested());
  EXPECT_EQ(Child<QPushButton>(&window, "start")->text().toStdString(), "Stopping...");
  EXPECT_EQ(prompt.questions,
            std::vector<std::string>(2, "Do you want to stop the Mosaic creation process?"));

  prompt.Release();
  window.Driver().Wait();
  window.Tick();
  EXPECT_EQ(Child<QPushButton>(&window, "start")->text().toStdString(), "&Create the Mosaic's");
  window.TryClose();
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.Collection().Size(), 0u);
  EXPECT_EQ(window.Collection().description,
            "(Please Load an existing collection or Create a new one)");
  EXPECT_EQ(prompt.questions.size(), 2u);
}

}  // namespace
}  // namespace tessarix
