#include "app/collection_window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app_test_support.h"
#include "job_state/mosaic_job.h"

namespace tessarix {
namespace {

using namespace test;

constexpr const char* kNone = "(Please Load an existing collection or Create a new one)";
const std::string kEmptyDone =
    "Images in Collection 0, Load Completed 100%, Elapsed Time: 00:00:00";

class CollectionWindowTest : public ::testing::Test {
 protected:
  CollectionWindowTest() {
    window.askSaveFile = [this] { return QString::fromStdString(dir.File("c.tzc")); };
  }
  void RunToEnd() {
    for (int i = 0; i < 1000 && window.AnalysisRunning(); ++i) window.AnalyseTick();
  }
  void WriteTiles(int count) {
    for (int i = 0; i < count; ++i)
      WriteJpeg(MakeFlatImage(24, 16, 0x00112233), dir.File("t" + std::to_string(i) + ".jpg"));
  }

  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  MosaicJob job;
  CollectionWindow window{collection, job};
};

TEST_F(CollectionWindowTest, EmptyAndWrongVersionCollectionsReportNoImages) {
  EXPECT_EQ(window.SelectedText().toStdString(), kNone);
  window.Create();
  window.AnalyseTick();  // nothing to analyse: done within one tick
  EXPECT_FALSE(window.AnalysisRunning());
  EXPECT_EQ(window.StatusText().toStdString(), kEmptyDone);
  EXPECT_EQ(prompt.messages, std::vector<std::string>{kEmptyDone});

  ImageCollection reread;
  CollectionWindow second(reread, job);
  prompt.fileAnswer = dir.File("c.tzc");
  second.Load();
  EXPECT_EQ(prompt.fileRequests.back(), "Tessarix Image Collection Kovra (*.tzc)|*.tzc||");
  EXPECT_EQ(second.StatusText().toStdString(), kEmptyDone);
  EXPECT_EQ(reread.filePath, dir.File("c.tzc"));

  // A file of another version is said and leaves an empty collection.
  std::ofstream(dir.File("bad.tzc"), std::ios::binary) << "XXXXXXXXXXXXXXXX";
  prompt.fileAnswer = dir.File("bad.tzc");
  prompt.messages.clear();
  second.Load();
  EXPECT_EQ(prompt.messages, (std::vector<std::string>{"Wrong File version!", kEmptyDone}));
}

TEST_F(CollectionWindowTest, ClosingMidAnalysisDropsTheCollectionAndWritesNoFile) {
  WriteTiles(3);
  window.show();
  window.Create();
  ASSERT_TRUE(window.AnalysisRunning());
  window.Create();  // a second press while analysing starts nothing
  window.Update();
  window.close();
  EXPECT_EQ(collection.Size(), 0u);
  EXPECT_EQ(collection.description, kNone);
  EXPECT_TRUE(prompt.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("c.tzc")));
}

TEST_F(CollectionWindowTest, UpdateNeedsACollectionAndFindsNewImages) {
  window.Update();
  EXPECT_EQ(prompt.messages, std::vector<std::string>{"Please Create/Load a Image Collection!"});
  WriteTiles(1);
  window.Create();
  RunToEnd();
  EXPECT_EQ(collection.Size(), 1u);
  WriteJpeg(MakeFlatImage(24, 16, 0x00332211), dir.File("b.jpg"));
  window.Update();
  RunToEnd();
  EXPECT_EQ(collection.Size(), 2u);
  EXPECT_EQ(prompt.messages.back().rfind("Images in Collection 2, Load Completed 100%", 0), 0u);
  EXPECT_EQ(window.SelectedText().toStdString(), collection.description);
}

TEST_F(CollectionWindowTest, RefusesChangesWhileABatchRuns) {
  bool asked = false;
  window.askSaveFile = [&] {
    asked = true;
    return QString::fromStdString(dir.File("c.tzc"));
  };
  job.SetRunning(true);
  window.Create();
  window.Load();
  window.Update();
  window.BlackAndWhite();
  EXPECT_FALSE(asked);
  EXPECT_TRUE(prompt.fileRequests.empty());
  EXPECT_TRUE(prompt.messages.empty());
  EXPECT_EQ(window.StatusText().toStdString(), CollectionWindow::kBusyText);
  job.SetRunning(false);
  window.Create();
  EXPECT_TRUE(asked);
}

}  // namespace
}  // namespace tessarix
