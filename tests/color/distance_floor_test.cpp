#include "color/distance_floor.h"

#include <gtest/gtest.h>

#include "color/distance.h"
#include "color/engine_tables.h"

namespace tessarix {
namespace {

// A grid whose first half (top rows) is `first` and second half `second`.
ColorInfo Halves(Pixel first, Pixel second) {
  ColorInfo info;
  for (size_t i = 0; i < kThumbPixels; ++i) info.grid[i] = i < kThumbPixels / 2 ? first : second;
  RecomputeColorInfo(info);
  return info;
}

Pixel Grey(uint32_t v, uint32_t transparency = 0) {
  return MakePixel(v, v, v, transparency);
}

// On a uniform grid every pixel differs by the average, where the floor's convexity step loses
// nothing: the floor must stay at or below what such a grid measures, for every difference.
TEST(DistanceFloorTest, NeverAboveAUniformGrid) {
  for (uint32_t e = 0; e <= 765; ++e)
    ASSERT_LE(FloorOfDifference(kThumbPixels * e), kThumbPixels * Tables().curve[e]) << e;
}

// The shift saturates at 0 and 255: the tile's shifted sums must count the clamped pixels, or
// the floor would be far too low (half-clamped tiles below) or above the distance itself.
TEST(DistanceFloorTest, TestsTheClampedSumsAgainstTheBound) {
  const struct {
    const char* name;
    ColorInfo cell, tile;
    uint32_t floor;     // worked out by hand from the channel sums
    uint32_t distance;  // DistanceFlip in full
  } cases[] = {
      // Shift +25: 250 clamps to 255, 200 becomes 225; 48 pixels of 3 * 30 and 48 of none.
      {"clamped above", Halves(Grey(255), Grey(255)), Halves(Grey(250), Grey(200)), 16854, 33024},
      // Shift -25: 5 clamps to 0, 50 becomes 25.
      {"clamped below", Halves(Grey(0), Grey(0)), Halves(Grey(5), Grey(50)), 11045, 23712},
      // Shift +25 reaches 125 of 200: 3 * 75 at every pixel.
      {"uniform", Halves(Grey(200), Grey(200)), Halves(Grey(100), Grey(100)), 1829341, 1829472},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CellFloors cells;
    cells.Add(c.cell);
    const TileFloor tile(c.tile, 25);
    for (const bool horizontalOnly : {true, false})
      EXPECT_EQ(DistanceFlip(c.cell, c.tile, kNoDistance, horizontalOnly, nullptr, 25), c.distance);
    const uint32_t bounds[] = {c.floor - 1, c.floor};
    for (int k = 0; k < 2; ++k) {
      uint32_t above = 2;
      cells.Test(tile, 0, 1, &bounds[k], &above);
      EXPECT_EQ(above, k == 0 ? 1u : 0u) << bounds[k];
    }
  }
}

// Many cells at once, with the ones the floor must not judge: a transparent pixel weighs its
// term down below the floor, and an unbounded cell has nothing to pass.
TEST(DistanceFloorTest, TestsEachCellAgainstItsOwnBound) {
  CellFloors cells;
  const ColorInfo far = Halves(Grey(255), Grey(255));
  ColorInfo seeThrough = far;
  seeThrough.grid[95] = Grey(255, 1);
  RecomputeColorInfo(seeThrough);
  std::vector<uint32_t> bounds, expected;
  for (uint32_t i = 0; i < 70; ++i) {
    cells.Add(i % 5 == 3 ? seeThrough : far);
    bounds.push_back(i % 7 == 0 ? kNoDistance : 1000 + i);
    expected.push_back(i % 5 == 3 || i % 7 == 0 ? 0 : 1);
  }
  const TileFloor tile(Halves(Grey(0), Grey(0)), 25);
  std::vector<uint32_t> above(70, 2);
  cells.Test(tile, 0, 70, bounds.data(), above.data());
  EXPECT_EQ(above, expected);
}

}  // namespace
}  // namespace tessarix
