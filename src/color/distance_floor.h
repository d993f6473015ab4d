#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "color/color_info.h"
#include "color/engine_parameters.h"

namespace tessarix {

// A floor under the flip distances that is cheap enough to test before them: most pairs of a
// large library lie so far apart in colour that no orientation can come near the bound, and the
// floor says so from the channel sums alone, for many cells at once. Each channel difference of a
// pixel is at least what the channel's sum over the grid differs by, shared out over the pixels,
// and the curve, being convex, grows at least as fast on average as at the average. The floor
// never exceeds the sum of any orientation, so a pair above the bound by the floor is one for which
// DistanceFlip returns kNoDistance.

// Whether the floor applies to the distance `params` chooses: the flip distances.
bool FloorApplies(const EngineParameters& params);

// The tile's side of the floor: each channel's sum over the grid after the colour shift, for every
// shift the modify limit allows.
class TileFloor {
 public:
  TileFloor() = default;
  TileFloor(const ColorInfo& tile, uint32_t modifyLimit);

 private:
  friend class CellFloors;
  Pixel average_ = 0;
  uint32_t modifyLimit_ = 0;
  int32_t reach_ = 0;  // the largest shift, either way
  std::vector<int32_t> shifted_[3];  // shifted_[channel][shift + reach_]
};

// The cells' side, one array per value so that a test reads them in runs, with each cell's
// largest allowed sum difference kept for the bound it was last worked out for.
class CellFloors {
 public:
  void Add(const ColorInfo& cell);

  // below[j] = 1 when the floor shows that the pair (cell begin + j, tile) cannot come within
  // bounds[j] in any orientation, else 0, for j < n. Calls for disjoint cell ranges may run at the
  // same time.
  void Test(const TileFloor& tile, size_t begin, size_t n, const uint32_t* bounds,
            uint32_t* above);

 private:
  std::vector<Pixel> average_;
  std::vector<int32_t> sum_[3];       // each channel's sum over the grid
  std::vector<uint32_t> opaque_;      // the floor holds only where no pixel is transparent
  std::vector<uint32_t> boundFor_;    // the bound most_ was worked out for
  std::vector<uint32_t> most_;        // the largest sum difference the floor keeps within it
};

// The floor for a total channel difference of d over the grid (exposed for its test).
uint32_t FloorOfDifference(uint32_t d);

}  // namespace tessarix
