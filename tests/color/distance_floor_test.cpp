#include "color/distance_floor.h"

#include <gtest/gtest.h>

#include "color/distance.h"
#include "color/engine_tables.h"

namespace tessarix {
namespace {

// A grid of four quarters: top left, top right, bottom left, bottom right.
ColorInfo Quarters(Pixel a, Pixel b, Pixel c, Pixel d) {
  ColorInfo info;
  for (size_t i = 0; i < kThumbPixels; ++i) {
    const bool bottom = i / kThumbWidth >= kThumbHeight / 2, right = i % kThumbWidth >= 6;
    info.grid[i] = bottom ? (right ? d : c) : (right ? b : a);
  }
  RecomputeColorInfo(info);
  return info;
}

// A grid whose top half is `top` and bottom half `bottom`.
ColorInfo Halves(Pixel top, Pixel bottom) {
  return Quarters(top, top, bottom, bottom);
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
// the floor would be far too low (half-clamped tiles below) or above the distance itself. The
// quarters must meet as each orientation turns them.
TEST(DistanceFloorTest, TestsTheClampedSumsAgainstTheBound) {
  const struct {
    const char* name;
    ColorInfo cell, tile;
    bool horizontalOnly;
    uint32_t floor;     // worked out by hand from the channel sums
    uint32_t distance;  // DistanceFlip in full
  } cases[] = {
      // Shift +25: 250 clamps to 255, 200 becomes 225; 48 pixels of 3 * 30 and 48 of none.
      {"clamped above", Halves(Grey(255), Grey(255)), Halves(Grey(250), Grey(200)), false, 16854,
       33024},
      // Shift -25: 5 clamps to 0, 50 becomes 25.
      {"clamped below", Halves(Grey(0), Grey(0)), Halves(Grey(5), Grey(50)), true, 11045, 23712},
      // Equal sums over the whole grid, 3 * 200 at every pixel unless turned upside down.
      {"upside down, kept", Halves(Grey(0), Grey(200)), Halves(Grey(200), Grey(0)), true, 25497924,
       25498080},
      {"left and right", Quarters(Grey(0), Grey(200), Grey(0), Grey(200)),
       Halves(Grey(100), Grey(100)), true, 4359303, 4359456},
      // Only the top-bottom mirror, or only the half turn, brings the quarters together.
      {"mirrored top-bottom", Quarters(Grey(0), Grey(100), Grey(200), Grey(50)),
       Quarters(Grey(200), Grey(50), Grey(0), Grey(100)), false, 0, 0},
      {"turned", Quarters(Grey(0), Grey(100), Grey(200), Grey(50)),
       Quarters(Grey(50), Grey(200), Grey(100), Grey(0)), false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DistanceFlip(c.cell, c.tile, kNoDistance, c.horizontalOnly, nullptr, 25), c.distance);
    CellFloors cells;
    cells.Add(c.cell);
    const TileFloor tile(c.tile, 25, c.horizontalOnly);
    for (const uint32_t bound : {c.floor - 1, c.floor}) {
      if (bound > c.floor)
        continue;  // no bound lies below a floor of 0
      uint32_t above = 2;
      cells.Test(tile, 0, 1, &bound, &above);
      EXPECT_EQ(above, bound < c.floor ? 1u : 0u) << bound;
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
  const TileFloor tile(Halves(Grey(0), Grey(0)), 25, false);
  std::vector<uint32_t> above(70, 2);
  cells.Test(tile, 0, 70, bounds.data(), above.data());
  EXPECT_EQ(above, expected);
}

}  // namespace
}  // namespace tessarix
