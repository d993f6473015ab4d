#include "job_state/mosaic_job.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace tessarix {
namespace {

// Each stage alone, run to its end, reads its own share of the mosaic: every share is more than
// nothing and the shares make the whole. Half a stage reads half its share; a target of 0 keeps
// the target it had; progress beyond the target counts as the target, below 0 or not a number as
// nothing.
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
    for (const auto& [set, kept] : {std::pair{25.0, 10.0}, {-3.0, 0.0}, {std::nan(""), 0.0}}) {
      meter.progress[stage] = set;
      EXPECT_DOUBLE_EQ(meter.MosaicPercent(), kept > 0 ? share : 0.0);
      EXPECT_DOUBLE_EQ(meter.progress[stage], kept);
    }
    meter.BeginStage(stage, 0.0);
    EXPECT_DOUBLE_EQ(meter.target[stage], 10.0);
  }
  EXPECT_NEAR(whole, 100.0, 1e-9);
}

TEST(MosaicJob, StatusIsCutAt255MarkedUnseenAndShowsThePercentOfCountedStages) {
  MosaicJob job;
  job.SetStatus(std::string(300, 'x'));
  EXPECT_FALSE(job.StatusSeen());
  EXPECT_EQ(job.StatusLine(), std::string(255, 'x'));
  EXPECT_TRUE(job.StatusSeen());
  job.SetStatus("Building Color Info...");
  job.BeginStage(5, 8.0);
  job.AddStageProgress(2.0);
  EXPECT_EQ(job.StatusLine(), "Building Color Info.... Completed 25.00%");
  job.BeginStage(3, 1.0);
  EXPECT_EQ(job.StatusLine(), "Building Color Info...");
}

// Every stage run to its end makes the mosaic 100 %: each contributes its full weight.
void FinishMosaic(MosaicJob& job) {
  for (int stage = 0; stage < ProgressMeter::kStages; ++stage) {
    job.BeginStage(stage, 1.0);
    job.EndStage();
  }
  job.MosaicCompleted();
}

std::string Line(MosaicJob& job) {
  const std::string line = job.ProgressLine();
  return line.substr(0, line.find(", Elapsed"));
}

// Includes the states a poll can land in between two locked steps of the worker.
TEST(MosaicJob, ProgressLineThroughABatch) {
  MosaicJob job;
  job.SetRunning(true);
  job.StartBatch(3);
  job.ResetProgress();
  // Nothing done yet: no estimate, so the remaining time shows zero.
  EXPECT_EQ(job.ProgressLine(),
            "Completed 0.00% (0.00%), Mosaic nr.1/3, Elapsed Time: 00:00:00, Remaining Time.: "
            "00:00:00");
  FinishMosaic(job);
  // Done, next source not yet begun: counted once, (0 * 100 + 100) / 3.
  EXPECT_EQ(Line(job), "Completed 100.00% (33.33%), Mosaic nr.1/3");

  // The second begun: the first counts whole, this one by its own percentage.
  job.ResetProgress();
  EXPECT_EQ(Line(job), "Completed 0.00% (33.33%), Mosaic nr.2/3");
  FinishMosaic(job);
  job.ResetProgress();
  FinishMosaic(job);
  // The last one done, the batch not yet ended: (2 * 100 + 100) / 3, never 133.
  EXPECT_EQ(Line(job), "Completed 100.00% (100.00%), Mosaic nr.3/3");
  job.SetRunning(false);
  EXPECT_EQ(Line(job), "Completed 100.00% (100.00%), Mosaic nr.3/3");
}

// The second source fails to load after one mosaic is made: 50 %, not the 0 % of counting the
// made one as the one still in p; the only source failing reads 0 %, not -100 %.
TEST(MosaicJob, SkippedLastSourceKeepsTheMosaicsMade) {
  for (const int total : {2, 1}) {
    MosaicJob job;
    job.StartBatch(total);
    job.SetRunning(true);
    job.ResetProgress();
    if (total == 2)
      FinishMosaic(job);
    job.ResetProgress();
    job.SetRunning(false);
    EXPECT_EQ(Line(job), total == 2 ? "Completed 0.00% (50.00%), Mosaic nr.1/2"
                                    : "Completed 0.00% (0.00%), Mosaic nr.0/1");
  }
}

// The worker adds progress while the window polls and clamps: no update may be lost (and a
// ThreadSanitizer build sees no race).
TEST(MosaicJob, ProgressFromTheWorkerWhileTheWindowPolls) {
  MosaicJob job;
  job.StartBatch(1);
  constexpr int kItems = 20000;
  job.BeginStage(8, kItems);
  std::thread worker([&job] {
    for (int i = 0; i < kItems; ++i) job.AddStageProgress(1.0);
  });
  for (int i = 0; i < 200; ++i) job.ProgressLine();
  worker.join();
  EXPECT_DOUBLE_EQ(job.Progress().progress[8], kItems);
}

}  // namespace
}  // namespace tessarix
