#include "job/mosaic_job.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

namespace tessarix {
namespace {

TEST(FormatDuration, HoursMinutesSecondsWithoutDayLimit) {
  EXPECT_EQ(FormatDuration(0), "00:00:00");
  EXPECT_EQ(FormatDuration(999), "00:00:00");
  EXPECT_EQ(FormatDuration((3600 + 2 * 60 + 5) * 1000), "01:02:05");
  EXPECT_EQ(FormatDuration(int64_t{100} * 3600 * 1000), "100:00:00");
  EXPECT_EQ(FormatDuration(59 * 60 * 1000 + 59 * 1000 + 999), "00:59:59");
}

TEST(ShortenPath, KeepsTheLastCharacters) {
  const std::string thirty = "/home/ann/Pictures/holiday.jpg";
  ASSERT_EQ(thirty.size(), 30u);
  EXPECT_EQ(ShortenPath(thirty, 30), thirty);
  const std::string thirtyOne = "/" + thirty;
  EXPECT_EQ(ShortenPath(thirtyOne, 30), "..." + thirty);
  EXPECT_EQ(ShortenPath("abcdef", 2), "...ef");
  EXPECT_EQ(ShortenPath("", 0), "");
}

TEST(ProgressMeter, WeightsAndClamping) {
  ProgressMeter meter;
  EXPECT_DOUBLE_EQ(meter.MosaicPercent(), 0.0);
  EXPECT_DOUBLE_EQ(meter.totalWeight, 10060.0);
  EXPECT_EQ(meter.currentStage, -1);

  // Half of stage 2 (weight 3534): 1767 / 10060 of the whole.
  meter.BeginStage(2, 10.0);
  meter.AddStageProgress(5.0);
  EXPECT_NEAR(meter.MosaicPercent(), 17.5646, 1e-4);

  // Values beyond the target, below 0 or not a number count as the target, 0 and 0.
  meter.progress[2] = 25.0;
  meter.progress[8] = -3.0;
  meter.progress[6] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_NEAR(meter.MosaicPercent(), 35.1292, 1e-4);  // 3534 / 10060
  EXPECT_DOUBLE_EQ(meter.progress[2], 10.0);
  EXPECT_DOUBLE_EQ(meter.progress[8], 0.0);
  EXPECT_DOUBLE_EQ(meter.progress[6], 0.0);
}

TEST(ProgressMeter, BeginEndsThePreviousStageAndKeepsTargetsAboveZero) {
  ProgressMeter meter;
  meter.BeginStage(5, 40.0);
  meter.AddStageProgress(3.0);
  meter.BeginStage(8, 0.0);  // 0 keeps the target 1.0
  EXPECT_DOUBLE_EQ(meter.progress[5], 40.0);
  EXPECT_DOUBLE_EQ(meter.target[8], 1.0);
  EXPECT_EQ(meter.currentStage, 8);
  meter.EndStage();
  EXPECT_EQ(meter.currentStage, -1);
  EXPECT_DOUBLE_EQ(meter.progress[8], 1.0);
  meter.AddStageProgress(7.0);  // no current stage: nothing moves
  EXPECT_NEAR(meter.MosaicPercent(), 100.0 * (7 + 5800) / 10060, 1e-9);
  meter.Reset();
  EXPECT_DOUBLE_EQ(meter.target[5], 1.0);
  EXPECT_DOUBLE_EQ(meter.progress[8], 0.0);
}

TEST(MosaicJob, StatusIsCutAt255AndMarkedUnseen) {
  MosaicJob job;
  EXPECT_TRUE(job.StatusSeen());
  const std::string longText(300, 'x');
  job.SetStatus(longText);
  EXPECT_EQ(job.Status(), std::string(255, 'x'));
  EXPECT_FALSE(job.StatusSeen());
  EXPECT_EQ(job.StatusLine(), std::string(255, 'x'));
  EXPECT_TRUE(job.StatusSeen());
}

TEST(MosaicJob, StatusLineShowsStagePercentOnlyForCountedStages) {
  MosaicJob job;
  job.SetStatus("Building Color Info...");
  job.BeginStage(5, 8.0);
  job.AddStageProgress(2.0);
  EXPECT_EQ(job.StatusLine(), "Building Color Info.... Completed 25.00%");
  job.BeginStage(3, 1.0);
  job.SetStatus("Saving Final Mosaic...");
  EXPECT_EQ(job.StatusLine(), "Saving Final Mosaic...");
  job.EndStage();
  EXPECT_EQ(job.StatusLine(), "Saving Final Mosaic...");
}

// Walks every stage of one mosaic to its end, as a complete run does.
void RunOneMosaic(MosaicJob& job) {
  job.ResetProgress();
  for (int stage = 0; stage < ProgressMeter::kStages; ++stage) {
    job.BeginStage(stage, 4.0);
    job.AddStageProgress(1.0);
  }
  job.EndStage();
  job.MosaicCompleted();
}

TEST(MosaicJob, ProgressLineDuringAndAfterABatch) {
  MosaicJob job;
  EXPECT_EQ(job.ProgressLine(), "");

  job.SetRunning(true);
  job.StartBatch(3);
  job.ResetProgress();
  double overall = -1.0;
  // Nothing done yet: no estimate, so the remaining time shows zero.
  EXPECT_EQ(job.ProgressLine(&overall),
            "Completed 0.00% (0.00%), Mosaic nr.1/3, Elapsed Time: 00:00:00, Remaining Time.: "
            "00:00:00");
  EXPECT_DOUBLE_EQ(overall, 0.0);

  RunOneMosaic(job);
  job.ResetProgress();
  job.BeginStage(8, 2.0);
  job.AddStageProgress(1.0);  // 2900 of 10060
  const std::string running = job.ProgressLine(&overall);
  EXPECT_NEAR(overall, (100.0 + 100.0 * 2900 / 10060) / 3, 1e-9);
  EXPECT_NE(running.find("Completed 28.83% (42.94%), Mosaic nr.2/3"), std::string::npos) << running;

  job.EndStage();
  RunOneMosaic(job);
  RunOneMosaic(job);
  job.SetRunning(false);
  job.StopClock();
  EXPECT_EQ(job.Completed(), 3);
  EXPECT_EQ(job.ProgressLine(&overall),
            "Completed 100.00% (100.00%), Mosaic nr.3/3, Elapsed Time: 00:00:00, Remaining "
            "Time.: 00:00:00");
  EXPECT_DOUBLE_EQ(overall, 100.0);
}

TEST(MosaicJob, LastSourceFailingLeavesTheBatchBelowFull) {
  MosaicJob job;
  job.SetRunning(true);
  job.StartBatch(2);
  RunOneMosaic(job);
  job.ResetProgress();  // the second source is taken but never loads
  job.SetRunning(false);
  job.StopClock();
  double overall = 0.0;
  const std::string line = job.ProgressLine(&overall);
  // One made and counted once, the second's 0 % in p: (1 * 100 + 0) / 2, below full.
  EXPECT_DOUBLE_EQ(overall, 50.0);
  EXPECT_NE(line.find("Mosaic nr.1/2"), std::string::npos) << line;
}

TEST(MosaicJob, DisplayQueueHandsOutPairsInOrder) {
  MosaicJob job;
  Image picture;
  ASSERT_TRUE(picture.Create(2, 1, 0));
  job.Post(std::move(picture), "Input: a.jpg");
  job.Post(std::nullopt, "Completed 1 Mosaics!");
  auto first = job.TakeDisplayItem();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->caption, "Input: a.jpg");
  ASSERT_TRUE(first->image.has_value());
  EXPECT_EQ(first->image->Width(), 2u);
  auto second = job.TakeDisplayItem();
  ASSERT_TRUE(second.has_value());
  EXPECT_FALSE(second->image.has_value());
  EXPECT_FALSE(job.TakeDisplayItem().has_value());
}

// The worker adds progress while the window polls and clamps: no update may be lost (and a
// ThreadSanitizer build sees no race).
TEST(MosaicJob, ProgressFromTheWorkerWhileTheWindowPolls) {
  MosaicJob job;
  job.SetRunning(true);
  job.StartBatch(1);
  job.ResetProgress();
  constexpr int kItems = 20000;
  job.BeginStage(8, kItems);
  std::thread worker([&job] {
    for (int i = 0; i < kItems; ++i) job.AddStageProgress(1.0);
  });
  for (int i = 0; i < 200; ++i) {
    job.ProgressLine();
    job.StatusLine();
  }
  worker.join();
  EXPECT_DOUBLE_EQ(job.Progress().progress[8], kItems);
}

}  // namespace
}  // namespace tessarix
