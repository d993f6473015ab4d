#include "engine/spaced_cells.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tessarix {
namespace {

// The buckets must find every kept cell closer than the spacing, whichever square it lies in:
// each answer is checked against all kept cells, for spacings at and around square numbers (the
// side of a square), below one cell step, and too large for any square.
TEST(SpacedCells, FindsEveryKeptCellCloserThanTheSpacing) {
  std::vector<MosaicCell> cells;
  for (uint32_t y = 0; y < 20; ++y) {
    for (uint32_t x = 0; x < 30; ++x) {
      MosaicCell& cell = cells.emplace_back();
      cell.left = x * 7 + (y % 3), cell.top = y * 5;
    }
  }
  std::vector<uint32_t> kept;
  for (uint32_t i = 3; i < cells.size(); i += 37) kept.push_back(i);
  for (const uint64_t spacing : {uint64_t{1}, uint64_t{2}, uint64_t{48}, uint64_t{49},
                                 uint64_t{50}, uint64_t{400}, uint64_t{1000000}, ~uint64_t{0}}) {
    SpacedCells spaced;
    spaced.Reset(cells, spacing);
    for (const uint32_t k : kept) spaced.Add(k);
    for (const MosaicCell& cell : cells) {
      const bool close = std::any_of(kept.begin(), kept.end(), [&](uint32_t k) {
        return SquaredCornerDistance(cells[k], cell) < spacing;
      });
      ASSERT_EQ(spaced.TooClose(cell), close) << spacing << " at " << cell.left << "," << cell.top;
    }
    spaced.Clear();
    EXPECT_FALSE(spaced.TooClose(cells[kept[0]])) << spacing;
  }
}

}  // namespace
}  // namespace tessarix
