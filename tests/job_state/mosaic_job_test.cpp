#include "job_state/mosaic_job.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

namespace tessarix {
namespace {

TEST(ProgressMeter, WeightsClampingAndStageEnds) {
  ProgressMeter meter;
  EXPECT_DOUBLE_EQ(meter.MosaicPercent(), 0.0);
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

  meter = ProgressMeter();
  meter.BeginStage(5, 40.0);
  meter.AddStageProgress(3.0);
  meter.BeginStage(8, 0.0);  // 0 keeps the target 1.0
  EXPECT_DOUBLE_EQ(meter.progress[5], 40.0);
  EXPECT_DOUBLE_EQ(meter.target[8], 1.0);
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
  job.SetStatus(std::string(300, 'x'));
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

// Every stage run to its end makes the mosaic 100 %: each contributes its full weight.
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

// Includes the states a poll can land in between two locked steps of the worker.
TEST(MosaicJob, ProgressLineThroughABatch) {
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
  FinishMosaic(job);
  // Done, next source not yet begun: counted once, (0 * 100 + 100) / 3.
  EXPECT_EQ(Line(job, overall), "Completed 100.00% (33.33%), Mosaic nr.1/3");

  job.ResetProgress();
  job.BeginStage(8, 2.0);
  job.AddStageProgress(1.0);  // 2900 of 10060
  EXPECT_EQ(Line(job, overall), "Completed 28.83% (42.94%), Mosaic nr.2/3");
  EXPECT_NEAR(overall, (100.0 + 100.0 * 2900 / 10060) / 3, 1e-9);

  job.EndStage();
  FinishMosaic(job);
  job.ResetProgress();
  FinishMosaic(job);
  // The last one done, the batch not yet ended: (2 * 100 + 100) / 3, never 133.
  EXPECT_EQ(Line(job, overall), "Completed 100.00% (100.00%), Mosaic nr.3/3");
  job.SetRunning(false);
  job.StopClock();
  EXPECT_EQ(job.Completed(), 3);
  EXPECT_EQ(job.ProgressLine(&overall),
            "Completed 100.00% (100.00%), Mosaic nr.3/3, Elapsed Time: 00:00:00, Remaining "
            "Time.: 00:00:00");
  EXPECT_DOUBLE_EQ(overall, 100.0);
}

TEST(MosaicJob, SkippedLastSourceKeepsTheMosaicsMade) {
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
