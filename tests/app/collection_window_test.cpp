#include "app/collection_window.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/tool_windows.h"
#include "app_test_support.h"
#include "job_state/mosaic_job.h"

namespace tessarix {
namespace {

using namespace test;

class CollectionWindowTest : public ::testing::Test {
 protected:
  CollectionWindowTest() {
    window.askSaveFile = [this] {
      asked = true;
      return QString::fromStdString(dir.File("c.tzc"));
    };
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
  bool asked = false;
};

// The window shows what the collection commands report: the message, the status and the
// collection's description.
TEST_F(CollectionWindowTest, ShowsWhatEachCommandReports) {
  window.Update();
  EXPECT_EQ(prompt.messages, std::vector<std::string>{"Please Create/Load a Image Collection!"});
  WriteTiles(1);
  window.Create();
  for (int i = 0; i < 1000 && window.AnalysisRunning(); ++i) window.AnalyseTick();
  EXPECT_EQ(prompt.messages.back().rfind("Images in Collection 1, Load Completed 100%", 0), 0u);
  EXPECT_EQ(std::pair(window.StatusText().toStdString(), window.SelectedText().toStdString()),
            std::pair(prompt.messages.back(), collection.description));
  window.Load();  // cancelled
  EXPECT_EQ(prompt.fileRequests,
            std::vector<std::string>{"Tessarix Image Collection Kovra (*.tzc)|*.tzc||"});
}

// Closing mid-analysis drops the collection and writes no file; a movie extraction would stall
// the analysis, so none opens meanwhile.
TEST_F(CollectionWindowTest, ClosingMidAnalysisDropsTheCollectionAndWritesNoFile) {
  WriteTiles(3);
  window.show();
  window.Create();
  ASSERT_TRUE(window.AnalysisRunning());
  OpenMovieExtraction(&window, nullptr);
  EXPECT_TRUE(prompt.fileRequests.empty());
  window.close();
  EXPECT_EQ(collection.Size(), 0u);
  EXPECT_TRUE(prompt.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("c.tzc")));
}

TEST_F(CollectionWindowTest, RefusesChangesWhileABatchRuns) {
  job.SetRunning(true);
  for (const auto command : {&CollectionWindow::Create, &CollectionWindow::Load,
                             &CollectionWindow::Update, &CollectionWindow::BlackAndWhite})
    (window.*command)();
  EXPECT_FALSE(asked);
  EXPECT_TRUE(prompt.fileRequests.empty() && prompt.messages.empty());
  EXPECT_EQ(window.StatusText().toStdString(), CollectionWindow::kBusyText);
  job.SetRunning(false);
  window.Create();
  EXPECT_TRUE(asked);
}

}  // namespace
}  // namespace tessarix
