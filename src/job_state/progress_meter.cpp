#include "job_state/progress_meter.h"

#include <cmath>

namespace tessarix {
namespace {

constexpr std::array<double, ProgressMeter::kStages> kWeights = {16, 57,  3534, 336, 1,
                                                                 7,  300, 9,    5800};

bool ValidStage(int stage) {
  return stage >= 0 && stage < ProgressMeter::kStages;
}

}  // namespace

void ProgressMeter::Reset() {
  weight = kWeights;
  progress.fill(0.0);
  target.fill(1.0);
  totalWeight = 0.0;
  for (double w : weight) totalWeight += w;
  mosaicPercent = 0.0;
  currentStage = -1;
}

void ProgressMeter::BeginStage(int stage, double targetValue) {
  EndStage();
  if (!ValidStage(stage))
    return;
  currentStage = stage;
  if (targetValue > 0.0)
    target[stage] = targetValue;
}

void ProgressMeter::EndStage() {
  if (!ValidStage(currentStage)) {
    currentStage = -1;
    return;
  }
  progress[currentStage] = target[currentStage];
  currentStage = -1;
}

void ProgressMeter::AddStageProgress(double n) {
  if (ValidStage(currentStage))
    progress[currentStage] += n;
}

void ProgressMeter::SetStageProgress(double value) {
  if (ValidStage(currentStage))
    progress[currentStage] = value;
}

double ProgressMeter::MosaicPercent(bool recomputeTotal) {
  if (recomputeTotal) {
    totalWeight = 0.0;
    for (double w : weight) totalWeight += w;
  }
  double sum = 0.0;
  for (int i = 0; i < kStages; ++i) {
    // NaN fails every comparison, so test for "not at least 0" rather than "below 0".
    if (!(progress[i] >= 0.0))
      progress[i] = 0.0;
    if (progress[i] > target[i])
      progress[i] = target[i];
    sum += weight[i] * progress[i] / target[i];
  }
  mosaicPercent = totalWeight > 0.0 ? 100.0 / totalWeight * sum : 0.0;
  return mosaicPercent;
}

}  // namespace tessarix
