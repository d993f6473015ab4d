#pragma once

#include <array>

namespace tessarix {

// Nine weighted stages of one mosaic; the weights sum to 10060.
//  0 tile distances 16, 1 init final 57, 2 build final 3534, 3 save 336, 4 tiles 1,
//  5 colour info 7, 6 insertion 300, 7 freeing 9, 8 matching 5800.
struct ProgressMeter {
  static constexpr int kStages = 9;
  std::array<double, kStages> weight{};
  std::array<double, kStages> progress{};
  std::array<double, kStages> target{};
  double totalWeight = 0.0;
  double mosaicPercent = 0.0;
  int currentStage = -1;

  ProgressMeter() { Reset(); }

  // Weights as listed, every progress 0, every target 1.0, no current stage.
  void Reset();
  // Ends the current stage, makes `stage` current and stores `targetValue` when above 0.
  void BeginStage(int stage, double targetValue);
  // Sets the current stage's progress to its target; no stage is current afterwards.
  void EndStage();
  void AddStageProgress(double n);
  void SetStageProgress(double value);
  // Clamps every progress into 0..target and stores the weighted completion in mosaicPercent.
  // With `recomputeTotal` false the stored total weight is used.
  double MosaicPercent(bool recomputeTotal = true);
};

}  // namespace tessarix
