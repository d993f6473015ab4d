#pragma once

#include <cstdint>

#include "color/color_info.h"
#include "color/engine_parameters.h"

namespace tessarix {

constexpr uint32_t kNoDistance = 0xFFFFFFFFu;

// The orientations DistanceFlip tries, by their codes: 0 none within bound, 1 as stored,
// 2 mirrored top-bottom, 3 mirrored left-right, 4 turned by 180 degrees.
enum class Orientation : uint32_t {
  None = 0,
  AsStored = 1,
  MirroredTopBottom = 2,
  MirroredLeftRight = 3,
  Rotated180 = 4
};

// Per-channel shift applied to a collection image toward a cell: a common brightness shift of up
// to m plus a per-channel shift of up to m/2, from the two average colours.
struct ColorShift {
  int32_t r = 0, g = 0, b = 0;
};
ColorShift ComputeColorShift(Pixel cellAverage, Pixel tileAverage, uint32_t modifyLimit);

// Distance between a cell's record and a collection image's record under `params.algorithm`.
// `bound` is the largest value that still interests the caller: a result above it only says "no
// better than bound". Not symmetric: weights come from the cell, the shift applies to the tile.
// Algorithm 5 and any other unknown index measure as "Standard".
uint32_t Distance(const ColorInfo& cell, const ColorInfo& tile, bool tilePortrait, uint32_t bound,
                  const EngineParameters& params);

// The flip-aware distance: tries as stored (1), left-right (3) and, unless horizontalOnly,
// top-bottom (2) and 180 degrees (4); a later orientation with an equal sum wins. Returns
// kNoDistance with Orientation::None when none stays within bound. `orientation` may be null.
uint32_t DistanceFlip(const ColorInfo& cell, const ColorInfo& tile, uint32_t bound,
                      bool horizontalOnly, Orientation* orientation, uint32_t modifyLimit);

}  // namespace tessarix
