#include "job_state/mosaic_job.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <tuple>

#include "platform/text_format.h"

namespace tessarix {
namespace {

// Each stage alone, run to its end, reads its own share of the mosaic: every share is more than
// nothing and the shares make the whole. Half a stage reads half its share; progress beyond the
// target counts as the target, below 0 or not a number as nothing.
TEST(ProgressMeter, StagesShareTheWholeAndProgressIsClamped) {
  double whole = 0.0;
  for (int stage = 0; stage < ProgressMeter::kStages; ++stage) {
    SCOPED_TRACE(stage);
    ProgressMeter meter;
    meter.BeginStage(stage, 10.0);
    meter.AddStageProgress(5.0);
    const double half = meter.MosaicPercent();
    meter.EndStage();
    const double share = meter.MosaicPercent();
    EXPECT_GT(share, 0.0);
    EXPECT_DOUBLE_EQ(2 * half, share);
    whole += share;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto& [set, kept] : {std::pair{25.0, 10.0}, {-3.0, 0.0}, {nan, 0.0}}) {
      meter.progress[stage] = set;
      EXPECT_DOUBLE_EQ(meter.MosaicPercent(), kept > 0 ? share : 0.0);
      EXPECT_DOUBLE_EQ(meter.progress[stage], kept);
    }
  }
  EXPECT_NEAR(whole, 100.0, 1e-9);
}

// Stages run in order end the mosaic at 100 %; a target of 0 keeps 1.0, and Reset starts over.
TEST(ProgressMeter, StagesInOrderEndAtTheWholeAndResetStartsOver) {
  ProgressMeter meter;
  for (int stage = 0; stage < ProgressMeter::kStages; ++stage)
    meter.BeginStage(stage, stage == 4 ? 0.0 : 3.0);
  meter.EndStage();
  EXPECT_DOUBLE_EQ(meter.MosaicPercent(), 100.0);
  EXPECT_DOUBLE_EQ(meter.target[4], 1.0);
  meter.Reset();
  EXPECT_EQ(std::tuple(meter.target[5], meter.progress[8], meter.MosaicPercent()),
            std::tuple(1.0, 0.0, 0.0));
}

TEST(MosaicJob, StatusIsCutAt255MarkedUnseenAndShowsThePercentOfCountedStages) {
  MosaicJob job;
  EXPECT_TRUE(job.StatusSeen());
  job.SetStatus(std::string(300, 'x'));
  EXPECT_FALSE(job.StatusSeen());
  EXPECT_EQ(job.StatusLine(), std::string(255, 'x'));
  EXPECT_TRUE(job.StatusSeen());
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
  FinishMosaic(job);
  // Done, next source not yet begun: counted once, (0 * 100 + 100) / 3.
  EXPECT_EQ(Line(job, overall), "Completed 100.00% (33.33%), Mosaic nr.1/3");

  // Part way through the second: the first counts whole, this one by its own percentage.
  job.ResetProgress();
  job.BeginStage(8, 2.0);
  job.AddStageProgress(1.0);
  const double p = job.Progress().MosaicPercent();
  const std::string line = Line(job, overall);
  EXPECT_NEAR(overall, (100.0 + p) / 3, 1e-9);
  EXPECT_EQ(line, Format("Completed %.2f%% (%.2f%%), Mosaic nr.2/3", p, overall));

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

  MosaicJob none;
  none.StartBatch(1);
  none.SetRunning(true);
  none.ResetProgress();  // the only source fails to load
  none.SetRunning(false);
  EXPECT_EQ(Line(none, overall), "Completed 0.00% (0.00%), Mosaic nr.0/1");  // not -100 %
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
