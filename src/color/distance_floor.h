#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "color/color_info.h"
#include "color/engine_parameters.h"

namespace tessarix {

// A floor under the flip distances that is cheap enough to test before them: most pairs of a
// large library lie so far apart in colour that no orientation can come near the bound, and the
// floor says so from channel sums over the grid's four quarters alone, for many cells at once.
// The pixel differences within a quarter add up to at least what the quarter's channel sums differ
// by, and the curve, being convex, grows at least as fast on average as at the average. The floor
// never exceeds the sum of an orientation, so a pair above the bound by the floor in every
// orientation is one for which DistanceFlip returns kNoDistance.

// Whether the floor applies to the distance `params` chooses: the flip distances.
bool FloorApplies(const EngineParameters& params);

constexpr size_t kQuarters = 4;

// The tile's side of the floor: each quarter's channel sums after the colour shift, for every shift
// the modify limit allows, and the orientations the distance tries.
class TileFloor {
 public:
  TileFloor() = default;
  TileFloor(const ColorInfo& tile, uint32_t modifyLimit, bool horizontalOnly);

 private:
  friend class CellFloors;
  Pixel average_ = 0;
  uint32_t modifyLimit_ = 0;
  bool horizontalOnly_ = false;
  int32_t reach_ = 0;  // the largest shift, either way
  // shifted_[(quarter * 3 + channel) * width + shift + reach_], width = 2 * reach_ + 1
  std::vector<int32_t> shifted_;
};

// The cells' side, one array per value so that a test reads them in runs, with each cell's
// largest allowed sum difference kept for the bound it was last worked out for.
class CellFloors {
 public:
  void Add(const ColorInfo& cell);

  // above[j] = 1 when the floor shows that the pair (cell begin + j, tile) cannot come within
  // bounds[j] in any orientation, else 0, for j < n. Calls for disjoint cell ranges may run at the
  // same time.
  void Test(const TileFloor& tile, size_t begin, size_t n, const uint32_t* bounds, uint32_t* above);

 private:
  std::vector<Pixel> average_;
  std::array<std::vector<int32_t>, kQuarters * 3> sum_;  // [quarter * 3 + channel][cell]
  std::vector<uint32_t> opaque_;    // the floor holds only where no pixel is transparent
  std::vector<uint32_t> boundFor_;  // the bound most_ was worked out for
  std::vector<uint32_t> most_;      // the largest sum difference the floor keeps within it
};

// The floor for a total channel difference of d over the grid (exposed for its test).
uint32_t FloorOfDifference(uint32_t d);

}  // namespace tessarix
