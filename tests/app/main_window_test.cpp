#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QTimer>
#include <QUrl>
#include <fstream>
#include <future>
#include <map>

#include "app/collection_window.h"
#include "app/elided_label.h"
#include "app/preview_window.h"
#include "app/remembered_settings.h"
#include "app_test_support.h"

namespace tessarix {
namespace {

using namespace test;

class MainWindowTest : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedEnv config{"XDG_CONFIG_HOME", dir.Folder() + "config"};

  void RemoveFirst(MainWindow& window) {
    QListWidget* list = Child<QListWidget>(&window, "sources");
    list->clearSelection();
    list->item(0)->setSelected(true);
    window.RemoveImage();
  }
  // Every field, check box and choice of Step 2 and the collection's description, by name.
  std::map<std::string, std::string> Shown(MainWindow& window) {
    std::map<std::string, std::string> shown;
    for (QLineEdit* f : window.findChildren<QLineEdit*>())
      shown[f->objectName().toStdString()] = f->text().toStdString();
    for (QCheckBox* box : window.findChildren<QCheckBox*>())
      shown[box->objectName().toStdString()] = box->isChecked() ? "on" : "off";
    shown["algorithm"] = Child<QComboBox>(&window, "algorithm")->currentText().toStdString();
    shown["collection"] = TextOf(&window, "collectionDescription");
    return shown;
  }
};

// The first photograph in list order is measured for the check: its summary shows which one. An
// unreadable first photograph is named and the size measured before stays, also for later checks.
TEST_F(MainWindowTest, TheFirstPhotographOfTheListIsMeasured) {
  WriteJpeg(MakeFlatImage(300, 200, 0), dir.File("A.jpg"));
  WriteJpeg(MakeFlatImage(200, 300, 0), dir.File("B.jpg"));
  std::ofstream(dir.File("C.jpg")) << "not a picture";
  RecordingPrompt prompt;
  MainWindow window;
  const auto summary = [&] { return TextOf(&window, "summary"); };
  for (const char* name : {"B.jpg", "C.jpg"}) {
    prompt.fileAnswer = dir.File(name);
    window.AddImage();
  }
  const std::string portrait = summary();
  // As the desktop delivers a drop: the drag enters, then is dropped.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("A.jpg")))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  EXPECT_NE(summary(), portrait);  // A went before B
  RemoveFirst(window);
  EXPECT_EQ(summary(), portrait);
  RemoveFirst(window);
  EXPECT_EQ(prompt.messages, std::vector<std::string>{"Unable to load file " + dir.File("C.jpg")});
  Type(&window, "border", "0");
  EXPECT_EQ(summary(), portrait);

  // Adding a folder needs valid settings; the mosaic width the check works out is written back.
  window.ClearList();
  Type(&window, "tilesPerRow", "0");
  window.AddDirectory();  // not even asked
  Type(&window, "tilesPerRow", "20");
  Type(&window, "tileWidth", "100");  // the mosaic width follows: 100 x 20
  EXPECT_EQ(TextOf(&window, "mosaicWidth"), "2000");
  window.AddDirectory();
  EXPECT_EQ(prompt.fileTitles.size(), 3u);  // the folder was asked for once
  EXPECT_EQ(prompt.fileTitles.back(), "Choose any photo in the folder to add / 0");
  EXPECT_EQ(window.Sources().Entries(),
            (std::vector<std::string>{dir.File("A.jpg"), dir.File("B.jpg"), dir.File("C.jpg")}));
}

TEST_F(MainWindowTest, BatchFillsTheBarShowsThePicturesAndAsksBeforeClosingMidway) {
  RecordingPrompt prompt;
  // The worker's request for a mask waits until released: the batch stays alive meanwhile.
  std::promise<void> asked, released;
  const std::shared_future<void> release = released.get_future().share();
  prompt.onFileRequest = [&] {
    asked.set_value();
    release.wait();
  };
  MainWindow window;
  window.show();
  std::filesystem::create_directory(dir.Path() / "tiles");
  for (const Pixel color : {0x000000ffu, 0x0000ff00u, 0x00ff0000u, 0x00808080u})
    WriteJpeg(MakeFlatImage(24, 16, color), dir.File("tiles/" + std::to_string(color) + ".jpg"));
  AnalyseInto(dir.File("tiles/c.tzc"), window.Collection());
  WriteJpeg(MakeFlatImage(120, 80, 0xff), dir.File("photo.jpg"));
  window.AddDroppedFiles({dir.File("photo.jpg")});
  Type(&window, "tilesPerRow", "4");
  Type(&window, "tileWidth", "30");

  window.StartOrStop();
  window.Driver().Wait();
  for (int i = 0; i < 3; ++i) window.Tick();
  EXPECT_EQ(Child<QProgressBar>(&window, "progressBar")->value(), 10000);
  ASSERT_EQ(window.Previews().size(), 2u);
  EXPECT_EQ(window.Previews()[0]->windowTitle().toStdString(),
            "Input: " + dir.File("photo.jpg") + " (Full Size 120x80)");

  Type(&window, "tileWidth", "0");  // mask mode: the worker asks for the mask and waits
  window.StartOrStop();
  asked.get_future().wait();
  window.Tick();
  EXPECT_EQ(TextOf(&window, "start"), "Stop the Mosaic's");

  // Visible, running, asked to stop: after a No, then after Escape and a Yes.
  const auto state = [&] {
    return std::tuple(window.isVisible(), window.Driver().IsAlive(), window.Job().StopRequested());
  };
  window.TryClose();
  EXPECT_EQ(state(), std::tuple(true, true, false));
  prompt.yesAnswer = true;
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_EQ(state(), std::tuple(true, true, true));
  EXPECT_EQ(TextOf(&window, "start"), "Stopping...");
  EXPECT_EQ(prompt.questions,
            std::vector<std::string>(2, "Do you want to stop the Mosaic creation process?"));

  released.set_value();
  window.Driver().Wait();
  window.Tick();
  window.TryClose();  // nothing runs: closes without asking and drops the collection
  EXPECT_EQ(std::tuple(window.isVisible(), prompt.questions.size(), window.Collection().Size()),
            std::tuple(false, 2u, 0u));
}

TEST_F(MainWindowTest, StartsWithTheDefaultsThenWhereThePersonLeftItUntilReset) {
  WriteJpeg(MakeFlatImage(24, 16, 0x00112233), dir.File("t.jpg"));
  ImageCollection made;
  AnalyseInto(dir.File("c.tzc"), made);
  std::map<std::string, std::string> defaults, left;
  {
    MainWindow window;
    defaults = Shown(window);
    Type(&window, "tileWidth", "12x");
    Child<QComboBox>(&window, "algorithm")->setCurrentIndex(4);
    for (const char* box : {"useAll", "textReport", "webPage"})
      Child<QCheckBox>(&window, box)->click();
    RecordingPrompt prompt;  // loads it as a person would through "Find Tiles..."
    prompt.fileAnswer = dir.File("c.tzc");
    QTimer::singleShot(0, [] {
      auto* opened = qobject_cast<CollectionWindow*>(QApplication::activeModalWidget());
      ASSERT_NE(opened, nullptr);
      opened->Load();
      opened->accept();
    });
    window.FindTiles();
    left = Shown(window);
  }
  EXPECT_EQ(left["collection"], "The Collection contains 1 Images.");
  {
    MainWindow restarted;
    EXPECT_EQ(Shown(restarted), left);
    restarted.ResetSettings();
    EXPECT_EQ(restarted.Collection().Size(), 1u);  // what is loaded stays loaded
    std::map<std::string, std::string> reset = Shown(restarted);
    EXPECT_EQ(reset["collection"], left["collection"]);
    reset["collection"] = defaults["collection"];
    EXPECT_EQ(reset, defaults);
  }
  EXPECT_EQ(MainWindow().Collection().Size(), 0u);  // the next start loads none
}

// A remembered collection that cannot be loaded is not: Step 1 says why.
TEST_F(MainWindowTest, RememberedCollectionThatBrokeIsNotLoaded) {
  const std::string file = dir.File("c.tzc");
  RememberedSettings().SetCollectionFile(file);
  std::ofstream(file, std::ios::binary) << "XXXXXXXXXXXXXXXX";
  MainWindow window;
  EXPECT_EQ(window.Collection().Size(), 0u);
  auto* said = Child<QLabel>(&window, "collectionDescription");
  const std::string text = "Error reading the Image Collection!\n";
  EXPECT_EQ(said->text().toStdString(), text + "c.tzc: wrong file version");
  EXPECT_EQ(said->toolTip().toStdString(), text + file + ": wrong file version");
}

// The long texts of a batch show whole, the status line elided in the middle. The screens the
// window must fit, in physical pixels, at the scale QT_SCALE_FACTOR sets (the suite runs once more
// at 150 %): less a panel of 48 pixels and a frame of 8 x 40.
TEST_F(MainWindowTest, FitsSmallScreensWithEveryTextWhole) {
  RecordingPrompt prompt;
  MainWindow window;
  window.show();
  const std::string status =
      "Processing Tile: .../Pictures/Tiles-for-Mosaics/Summer at the lake with the whole "
      "family and the dog/tile183.jpg. Completed 12.00%";
  window.Job().SetStatus(status);
  window.Job().SetInfoText(
      "The Image/Tile Collection contains 123456 images. The final Mosaic contain 1234567 tiles. "
      "The size of the final Mosaic will be 100000x100000 pixel. The size of every tile will be "
      "300x200 pixel. The current input image is \"...mily at the lake 2024/IMG_20240817.jpg\". "
      "\nThe mosaic will be saved into the file \"...24/IMG_20240817 Mosaic.JPG\". ");
  window.Tick();
  QCoreApplication::processEvents();  // the layout answers the new texts here
  EXPECT_EQ(CutTexts(window), std::vector<std::string>{});
  auto* line = Child<ElidedLabel>(&window, "statusLine");
  EXPECT_EQ(line->toolTip().toStdString(), status);
  EXPECT_TRUE(line->text().contains(QChar(0x2026))) << line->text().toStdString();

  const qreal scale = window.devicePixelRatio();
  const QSize screen = qFuzzyCompare(scale, 1.0)   ? QSize(1280, 720)
                       : qFuzzyCompare(scale, 1.5) ? QSize(1600, 1000)
                                                   : QSize();
  if (screen.isEmpty())
    GTEST_SKIP() << "no screen to fit at scale " << scale;
  EXPECT_EQ(window.size(), window.minimumSize());  // it opens at its smallest
  EXPECT_LE(window.minimumWidth() * scale + 8, screen.width());
  EXPECT_LE(window.minimumHeight() * scale + 40 + 48, screen.height());
}

}  // namespace
}  // namespace tessarix
