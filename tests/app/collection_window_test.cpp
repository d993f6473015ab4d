#include "app/collection_window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app_test_support.h"
#include "collection/collection_file.h"
#include "job/mosaic_job.h"

namespace tessarix {
namespace {

using namespace test;

constexpr const char* kNone = "(Please Load an existing collection or Create a new one)";

void RunToEnd(CollectionWindow& window) {
  for (int i = 0; i < 1000 && window.AnalysisRunning(); ++i) window.AnalyseTick();
}

TEST(CollectionWindowTest, CreatingInAnEmptyFolderReportsNoImages) {
  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  MosaicJob job;
  CollectionWindow window(collection, job);
  EXPECT_EQ(window.windowTitle().toStdString(), "Step 1: Choose an Image Collection");
  EXPECT_EQ(window.StatusText().toStdString(), "-");
  EXPECT_EQ(window.SelectedText().toStdString(), kNone);
  window.askSaveFile = [&] { return QString::fromStdString(dir.File("empty.tzc")); };
  window.Create();
  EXPECT_TRUE(window.AnalysisRunning());
  window.AnalyseTick();  // nothing to analyse: done within one tick
  EXPECT_FALSE(window.AnalysisRunning());
  const std::string done = "Images in Collection 0, Load Completed 100%, Elapsed Time: 00:00:00";
  EXPECT_EQ(window.StatusText().toStdString(), done);
  EXPECT_EQ(prompt.messages, std::vector<std::string>{done});
  ASSERT_TRUE(std::filesystem::exists(dir.File("empty.tzc")));

  // Loading the written file back finds 0 entries.
  ImageCollection reread;
  CollectionWindow second(reread, job);
  prompt.fileAnswer = dir.File("empty.tzc");
  second.Load();
  EXPECT_EQ(prompt.fileRequests.back(), "Tessarix Image Collection Kovra (*.tzc)|*.tzc||");
  EXPECT_EQ(second.StatusText().toStdString(), done);
  EXPECT_EQ(reread.Size(), 0u);
  EXPECT_EQ(reread.filePath, dir.File("empty.tzc"));
}

TEST(CollectionWindowTest, ClosingMidAnalysisDropsTheCollection) {
  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  MosaicJob job;
  for (int i = 0; i < 3; ++i)
    WriteJpeg(MakeFlatImage(24, 16, 0x00112233), dir.File("t" + std::to_string(i) + ".jpg"));
  CollectionWindow window(collection, job);
  window.show();
  window.askSaveFile = [&] { return QString::fromStdString(dir.File("c.tzc")); };
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

TEST(CollectionWindowTest, UpdateFindsNewImages) {
  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  MosaicJob job;
  CollectionWindow window(collection, job);
  window.Update();  // no collection file yet
  EXPECT_EQ(prompt.messages, std::vector<std::string>{"Please Create/Load a Image Collection!"});
  window.askSaveFile = [&] { return QString::fromStdString(dir.File("c.tzc")); };
  WriteJpeg(MakeFlatImage(24, 16, 0x00112233), dir.File("a.jpg"));
  window.Create();
  RunToEnd(window);
  EXPECT_EQ(collection.Size(), 1u);
  WriteJpeg(MakeFlatImage(24, 16, 0x00332211), dir.File("b.jpg"));
  window.Update();
  RunToEnd(window);
  EXPECT_EQ(collection.Size(), 2u);
  EXPECT_EQ(prompt.messages.back().rfind("Images in Collection 2, Load Completed 100%", 0), 0u);
  EXPECT_EQ(window.SelectedText().toStdString(), collection.description);
}

TEST(CollectionWindowTest, WrongVersionReportsAnEmptyCollection) {
  TempDir dir;
  std::ofstream(dir.File("bad.tzc"), std::ios::binary) << "XXXXXXXXXXXXXXXX";
  RecordingPrompt prompt;
  ImageCollection collection;
  MosaicJob job;
  CollectionWindow window(collection, job);
  prompt.fileAnswer = dir.File("bad.tzc");
  window.Load();
  const std::string zero = "Images in Collection 0, Load Completed 100%, Elapsed Time: 00:00:00";
  EXPECT_EQ(prompt.messages, (std::vector<std::string>{"Wrong File version!", zero}));
  EXPECT_EQ(window.StatusText().toStdString(), zero);
}

TEST(CollectionWindowTest, RefusesChangesWhileABatchRuns) {
  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  MosaicJob job;
  job.SetRunning(true);
  CollectionWindow window(collection, job);
  bool asked = false;
  window.askSaveFile = [&] {
    asked = true;
    return QString::fromStdString(dir.File("c.tzc"));
  };
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
