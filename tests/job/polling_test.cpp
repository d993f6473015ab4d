// The window's timer polls every text, the progress record and the display queue while the
// worker runs a batch. Run under ThreadSanitizer (make tsan) this is the test that finds a text
// or flag passed between the threads without its lock.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "analysed_tiles.h"
#include "imaging/sample_photos.h"
#include "job/job_driver.h"
#include "job/progress_meter.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

namespace fs = std::filesystem;

TEST(JobPolling, WindowPollsEverythingWhileTheWorkerRuns) {
  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  AnalyseSampleTiles(dir, collection, 10, 11, 48, 32);
  ASSERT_EQ(collection.Size(), 10u);
  WriteJpeg(MakeSampleScene(160, 120), dir.File("a.jpg"));
  WriteJpeg(MakeSampleScene(120, 160), dir.File("c.jpg"));

  MosaicJob job;
  JobDriver driver(job, collection);
  ParameterCheckInput input;
  input.fields.tilesPerRow = "8";
  input.fields.mosaicWidth = "320";
  BatchOptions options;
  options.textReport = true;
  options.webPage = true;
  ASSERT_EQ(driver.StartJob(input, options, {dir.File("a.jpg"), dir.File("c.jpg")}),
            JobDriver::Start::Started);

  std::vector<std::string> captions;
  int polls = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  // What a timer tick does, as often as possible rather than every 500 ms.
  // Like the window, one display item per tick; true when it took one.
  auto tick = [&] {
    ++polls;
    job.StatusLine();
    double overall = 0;
    job.ProgressLine(&overall);
    EXPECT_GE(overall, 0.0);
    EXPECT_LE(overall, 100.0);
    job.InfoText();
    job.Progress();
    job.StatusSeen();
    auto item = job.TakeDisplayItem();
    if (item)
      captions.push_back((item->image ? "image: " : "text: ") + item->caption);
    return item.has_value();
  };
  // A millisecond apart: the worker runs at idle priority, and a poller that never sleeps would
  // starve it on a busy machine.
  while (driver.IsAlive() && std::chrono::steady_clock::now() < deadline) {
    tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  driver.Wait();
  // The window goes on ticking after the worker ends: the last posts may still be queued, more
  // than one when the worker finished between two polls.
  while (tick()) {
  }

  EXPECT_GT(polls, 1);
  EXPECT_EQ(captions,
            (std::vector<std::string>{
                "image: Input: " + dir.File("a.jpg"), "image: Mosaic: " + dir.File("a.jpg"),
                "image: Input: " + dir.File("c.jpg"), "image: Mosaic: " + dir.File("c.jpg"),
                "text: Completed 2 Mosaics!"}));
  EXPECT_EQ(job.Status(), "Completed 2 Mosaics!");
  EXPECT_FALSE(job.IsRunning());
  EXPECT_EQ(driver.LastOutcome().mosaics,
            (std::vector<std::string>{dir.File("a Mosaic.JPG"), dir.File("c Mosaic.JPG")}));
}

// A stop request from the window thread at any moment ends the batch through the stop path.
TEST(JobPolling, StopFromTheWindowThreadEndsTheBatch) {
  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  AnalyseSampleTiles(dir, collection, 6, 2, 40, 30);
  WriteJpeg(MakeSampleScene(200, 150), dir.File("a.jpg"));
  MosaicJob job;
  JobDriver driver(job, collection);
  ParameterCheckInput input;
  input.fields.tilesPerRow = "20";
  input.fields.mosaicWidth = "400";
  std::vector<std::string> sources(6, dir.File("a.jpg"));
  ASSERT_EQ(driver.StartJob(input, BatchOptions{}, sources), JobDriver::Start::Started);
  while (driver.IsAlive() && job.Status().rfind("Creating Mosaic", 0) != 0) {
    job.StatusLine();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  driver.RequestStop();
  driver.Wait();
  EXPECT_TRUE(driver.LastOutcome().stopped);
  EXPECT_EQ(job.Status(), "Stopped!");
  EXPECT_LT(job.Completed(), 6);
}

// The states a poll can land in between two locked steps of the worker. Every stage run to its
// end makes the mosaic 100 %: the weights sum to 10060 and each stage contributes its full weight.
void FinishMosaic(MosaicJob& job) {
  for (int stage = 0; stage < ProgressMeter::kStages; ++stage) {
    job.BeginStage(stage, 1.0);
    job.EndStage();
  }
  job.MosaicCompleted();
}

std::string Line(MosaicJob& job, double& overall) {
  const std::string line = job.ProgressLine(&overall);
  return line.substr(0, line.find(", Elapsed"));
}

TEST(JobProgressBetweenSources, FinishedMosaicIsCountedOnceWhileTheBatchRuns) {
  MosaicJob job;
  double overall = -1;
  job.StartBatch(2);
  job.SetRunning(true);
  job.ResetProgress();
  FinishMosaic(job);
  // Done, next source not yet begun: one of two, (0 * 100 + 100) / 2.
  EXPECT_EQ(Line(job, overall), "Completed 100.00% (50.00%), Mosaic nr.1/2");
  EXPECT_DOUBLE_EQ(overall, 50.0);
  job.ResetProgress();
  EXPECT_EQ(Line(job, overall), "Completed 0.00% (50.00%), Mosaic nr.2/2");
  FinishMosaic(job);
  // The last one done, the batch not yet ended: (1 * 100 + 100) / 2, never 150.
  EXPECT_EQ(Line(job, overall), "Completed 100.00% (100.00%), Mosaic nr.2/2");
  EXPECT_DOUBLE_EQ(overall, 100.0);
  job.SetRunning(false);
  EXPECT_EQ(Line(job, overall), "Completed 100.00% (100.00%), Mosaic nr.2/2");
  EXPECT_DOUBLE_EQ(overall, 100.0);
}

TEST(JobProgressBetweenSources, SkippedLastSourceKeepsTheMosaicsMade) {
  MosaicJob job;
  double overall = -1;
  job.StartBatch(2);
  job.SetRunning(true);
  job.ResetProgress();
  FinishMosaic(job);
  job.ResetProgress();  // the second source then fails to load
  job.SetRunning(false);
  // One of two made: 50 %, not the 0 % of counting the made one as the one still in p.
  EXPECT_EQ(Line(job, overall), "Completed 0.00% (50.00%), Mosaic nr.1/2");
  EXPECT_DOUBLE_EQ(overall, 50.0);

  MosaicJob none;
  none.StartBatch(1);
  none.SetRunning(true);
  none.ResetProgress();  // the only source fails to load
  none.SetRunning(false);
  EXPECT_EQ(Line(none, overall), "Completed 0.00% (0.00%), Mosaic nr.0/1");
  EXPECT_DOUBLE_EQ(overall, 0.0);  // not -100 %
}

}  // namespace
}  // namespace tessarix::test
