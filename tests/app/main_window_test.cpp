#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QKeySequence>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>

#include "app/about_window.h"
#include "app/collection_window.h"
#include "app/elided_label.h"
#include "app/movie_extraction_window.h"
#include "app/photo_utilities_window.h"
#include "app/preview_window.h"
#include "app/remembered_settings.h"
#include "app_test_support.h"
#include "movie/movie_stream.h"

namespace tessarix {
namespace {

using namespace test;

constexpr const char* kCorrect = "All Parameters are correct. :)";

class MainWindowTest : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedEnv config{"XDG_CONFIG_HOME", dir.Folder() + "config"};

  std::string StartText(MainWindow& window) {
    return Child<QPushButton>(&window, "start")->text().toStdString();
  }
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
    shown["collection"] = LabelText(&window, "collectionDescription");
    return shown;
  }
  std::vector<std::string> Listed(MainWindow& window) {
    std::vector<std::string> shown;
    QListWidget* list = Child<QListWidget>(&window, "sources");
    for (int i = 0; i < list->count(); ++i) shown.push_back(list->item(i)->text().toStdString());
    return shown;
  }
};

TEST_F(MainWindowTest, TypingRunsTheCheckAndWritesFieldsBack) {
  MainWindow window;
  EXPECT_EQ(LabelText(&window, "info"), kCorrect);
  EXPECT_EQ(LabelText(&window, "summary"),
            "Mosaic Size: 0x0 Pixels, Tile Width: 150 Pixels, Total size: 9.0 Milion Pixels, "
            "Total Photos: 400 Tiles");
  Type(&window, "tilesPerRow", "0");
  EXPECT_NE(LabelText(&window, "info"), kCorrect);
  EXPECT_FALSE(window.ParametersValid());
  Type(&window, "tilesPerRow", "20");
  Type(&window, "tileWidth", "100");  // the mosaic width follows: 100 x 20
  EXPECT_EQ(FieldText(&window, "mosaicWidth"), "2000");
  EXPECT_EQ(LabelText(&window, "info"), kCorrect);
  EXPECT_TRUE(window.ParametersValid());
  Type(&window, "maxDuplicates", "7");
  Type(&window, "sequenceDistance", "5");
  EXPECT_EQ(FieldText(&window, "maxDuplicates"), "0");
}

// The first photograph in list order is measured for the check: its summary shows which one. An
// unreadable first photograph is named and the size measured before stays, also for later checks.
TEST_F(MainWindowTest, TheFirstPhotographOfTheListIsMeasured) {
  WriteJpeg(MakeFlatImage(300, 200, 0x00202020), dir.File("A.jpg"));
  WriteJpeg(MakeFlatImage(300, 200, 0x00202020), dir.File("A Mosaic.JPG"));
  WriteJpeg(MakeFlatImage(200, 300, 0x00202020), dir.File("B.jpg"));
  std::ofstream(dir.File("C.jpg")) << "not a picture";
  RecordingPrompt prompt;
  MainWindow window;
  window.show();
  const auto summary = [&] { return LabelText(&window, "summary"); };
  for (const char* name : {"B.jpg", "A.jpg", "C.jpg"}) {
    prompt.fileAnswer = dir.File(name);
    window.AddImage();
  }
  const std::string landscape = summary();  // A went before B
  RemoveFirst(window);
  const std::string portrait = summary();
  EXPECT_NE(landscape, portrait);
  RemoveFirst(window);
  EXPECT_EQ(prompt.messages, std::vector<std::string>{"Unable to load file " + dir.File("C.jpg")});
  Type(&window, "border", "0");
  EXPECT_EQ(summary(), portrait);

  // As the desktop delivers a drop: the drag enters, then is dropped; a name twice is listed once.
  window.ClearList();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("A.jpg"))),
                QUrl::fromLocalFile(QString::fromStdString(dir.File("a.JPG")))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  EXPECT_EQ(Listed(window), std::vector<std::string>{dir.File("A.jpg")});
  EXPECT_EQ(summary(), landscape);

  // Adding a folder needs valid settings; A has an up-to-date mosaic.
  window.ClearList();
  std::filesystem::remove(dir.File("C.jpg"));
  Type(&window, "tilesPerRow", "0");
  window.AddDirectory();  // not even asked
  Type(&window, "tilesPerRow", "20");
  window.AddDirectory();
  std::vector<std::string> titles(3, "Choose a photo to make a mosaic of / 0");
  titles.push_back("Choose any photo in the folder to add / 0");
  EXPECT_EQ(prompt.fileTitles, titles);
  EXPECT_EQ(Listed(window), std::vector<std::string>{dir.File("B.jpg")});
  EXPECT_EQ(summary(), portrait);
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
  WriteJpeg(MakeImage(120, 80, [](uint32_t x, uint32_t) { return x < 60 ? 0xffu : 0xff00u; }),
            dir.File("photo.jpg"));
  window.AddDroppedFiles({dir.File("photo.jpg")});
  Type(&window, "tilesPerRow", "4");
  Type(&window, "tileWidth", "30");

  window.StartOrStop();
  window.Driver().Wait();
  for (int i = 0; i < 3; ++i) window.Tick();
  EXPECT_EQ(Child<QProgressBar>(&window, "progressBar")->value(), 10000);
  const std::vector<PreviewWindow*> previews = window.Previews();
  ASSERT_EQ(previews.size(), 2u);
  EXPECT_EQ(previews[0]->windowTitle().toStdString(),
            "Input: " + dir.File("photo.jpg") + " (Full Size 120x80)");
  EXPECT_EQ(prompt.messages, std::vector<std::string>{"Completed 1 Mosaics!"});
  previews[0]->close();  // previews free themselves; the other one stays
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  window.Tick();
  ASSERT_EQ(window.Previews().size(), 1u);
  EXPECT_TRUE(window.Previews()[0]->isVisible());

  Type(&window, "tileWidth", "0");  // mask mode: the worker asks for the mask and waits
  window.StartOrStop();
  asked.get_future().wait();
  window.Tick();
  EXPECT_EQ(StartText(window), "Stop the Mosaic's");

  // A check during the batch only says so.
  Type(&window, "border", "1000");
  EXPECT_EQ(LabelText(&window, "info"), "Mosaic creation in progress...");
  EXPECT_TRUE(window.ParametersValid());

  // Visible, running, asked to stop: after a No, then after Escape and a Yes.
  const auto state = [&] {
    return std::tuple(window.isVisible(), window.Driver().IsAlive(), window.Job().StopRequested());
  };
  window.TryClose();
  EXPECT_EQ(state(), std::tuple(true, true, false));
  prompt.yesAnswer = true;
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_EQ(state(), std::tuple(true, true, true));
  EXPECT_EQ(StartText(window), "Stopping...");
  EXPECT_EQ(prompt.questions,
            std::vector<std::string>(2, "Do you want to stop the Mosaic creation process?"));

  released.set_value();
  window.Driver().Wait();
  window.Tick();
  EXPECT_EQ(StartText(window), "&Create the Mosaic's");
  window.TryClose();  // nothing runs: closes without asking and drops the collection
  EXPECT_EQ(std::tuple(window.isVisible(), prompt.questions.size(), window.Collection().Size()),
            std::tuple(false, 2u, 0u));
}

TEST_F(MainWindowTest, ReturnAnywhereCreatesTheMosaicsAndTheWindowIsANormalOne) {
  RecordingPrompt prompt;
  MainWindow window;
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  // A normal top-level window, not a dialog kept out of the task bar.
  EXPECT_EQ(window.windowHandle()->type(), Qt::Window);
  EXPECT_EQ(window.windowHandle()->transientParent(), nullptr);

  std::vector<std::string> clicked;
  for (QPushButton* button : window.findChildren<QPushButton*>()) {
    QObject::disconnect(button, &QPushButton::clicked, nullptr, nullptr);
    QObject::connect(button, &QPushButton::clicked,
                     [&clicked, button] { clicked.push_back(button->text().toStdString()); });
  }
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (w->focusPolicy() == Qt::NoFocus || !w->isVisible() || w->focusProxy() != nullptr)
      continue;
    w->setFocus();
    clicked.clear();
    QTest::keyClick(w, Qt::Key_Return);
    EXPECT_EQ(clicked, std::vector<std::string>{"&Create the Mosaic's"})
        << w->metaObject()->className() << " " << w->objectName().toStdString();
  }
}

// Alt and a letter must reach one control only; two sharing it just trade the focus.
TEST_F(MainWindowTest, NoTwoControlsOfAWindowShareAMnemonic) {
  RecordingPrompt prompt;
  MainWindow main;
  CollectionWindow collection(main.Collection(), main.Job());
  PhotoUtilitiesWindow utilities;
  MovieStream stream;
  MovieExtractionWindow movie(stream);
  AboutWindow about;
  for (QWidget* window :
       std::initializer_list<QWidget*>{&main, &collection, &utilities, &movie, &about}) {
    std::map<int, std::vector<std::string>> owners;
    for (QWidget* w : window->findChildren<QWidget*>()) {
      QString text;
      if (auto* button = qobject_cast<QAbstractButton*>(w))
        text = button->text();
      else if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && label->buddy())
        text = label->text();
      const QKeySequence key = QKeySequence::mnemonic(text);
      if (!key.isEmpty())
        owners[key[0].toCombined()].push_back(text.toStdString());
    }
    for (const auto& [key, texts] : owners)
      EXPECT_EQ(texts.size(), 1u) << window->windowTitle().toStdString() << ": " << texts[0];
  }
}

TEST_F(MainWindowTest, StartsWithTheDefaultsThenWhereThePersonLeftItUntilReset) {
  WriteJpeg(MakeFlatImage(24, 16, 0x00112233), dir.File("t.jpg"));
  ImageCollection made;
  AnalyseInto(dir.File("c.tzc"), made);
  std::map<std::string, std::string> defaults;
  std::map<std::string, std::string> left;
  {
    MainWindow window;
    defaults = Shown(window);
    Type(&window, "tileWidth", "12x");
    Type(&window, "border", "3");
    Type(&window, "webWidth", "640");
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
    EXPECT_EQ(restarted.Collection().Size(), 1u);
    restarted.ResetSettings();
    EXPECT_EQ(restarted.Collection().Size(), 1u);  // what is loaded stays loaded
    std::map<std::string, std::string> reset = Shown(restarted);
    EXPECT_EQ(reset["collection"], left["collection"]);
    reset["collection"] = defaults["collection"];
    EXPECT_EQ(reset, defaults);
  }
  MainWindow afterReset;
  EXPECT_EQ(Shown(afterReset), defaults);
  EXPECT_EQ(afterReset.Collection().Size(), 0u);
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
  window.show();
  EXPECT_EQ(CutTexts(window), std::vector<std::string>{});
}

// Long texts of a batch move no control and the status line is elided in the middle. The screens
// the window must fit, in physical pixels, at the scale QT_SCALE_FACTOR sets (the suite runs once
// more at 150 %): less a panel of 48 pixels and a frame of 8 x 40.
TEST_F(MainWindowTest, FitsSmallScreensWithEveryTextWholeAndLongTextsMoveNothing) {
  RecordingPrompt prompt;
  MainWindow window;
  window.show();
  QCoreApplication::processEvents();
  std::map<QWidget*, QRect> places;
  for (QWidget* w : window.findChildren<QWidget*>()) places[w] = w->geometry();
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
  for (const auto& [w, place] : places)
    EXPECT_EQ(w->geometry(), place)
        << w->metaObject()->className() << " " << w->objectName().toStdString();
  EXPECT_EQ(CutTexts(window), std::vector<std::string>{});
  auto* line = Child<ElidedLabel>(&window, "statusLine");
  EXPECT_EQ(line->toolTip().toStdString(), status);
  const QString shown = line->text();
  EXPECT_TRUE(shown.startsWith("Processing Tile: ") && shown.endsWith("Completed 12.00%") &&
              shown.contains(QChar(0x2026)))
      << shown.toStdString();
  EXPECT_LE(line->fontMetrics().horizontalAdvance(shown), line->width());

  const qreal scale = window.devicePixelRatio();
  const QSize screen = qFuzzyCompare(scale, 1.0)   ? QSize(1280, 720)
                       : qFuzzyCompare(scale, 1.5) ? QSize(1600, 1000)
                                                   : QSize();
  if (screen.isEmpty())
    GTEST_SKIP() << "no screen to fit at scale " << scale;
  EXPECT_EQ(window.size(), window.minimumSize());  // it opens at its smallest
  EXPECT_LE(window.minimumWidth() * scale + 8, screen.width());
  EXPECT_LE(window.minimumHeight() * scale + 40 + 48, screen.height());
  window.resize(window.minimumWidth() + 300, window.minimumHeight() + 200);
  QCoreApplication::processEvents();
  EXPECT_EQ(CutTexts(window), std::vector<std::string>{});
}

}  // namespace
}  // namespace tessarix
