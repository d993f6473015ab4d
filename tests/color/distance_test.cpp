#include <gtest/gtest.h>

#include <array>

#include "color/distance.h"

namespace tessarix {
namespace {

ColorInfo Flat(Pixel p) {
  ColorInfo info;
  info.grid.fill(p);
  RecomputeColorInfo(info);
  return info;
}

// Apart by 10 in every channel: e = 30 without a shift, C(30) = 30 + floor(11^1.5) = 66.
const ColorInfo kCell = Flat(MakePixel(110, 120, 130));
const ColorInfo kTile = Flat(MakePixel(100, 110, 120));

uint32_t Measure(uint32_t algorithm, uint32_t m, const ColorInfo& cell, const ColorInfo& tile,
                 uint32_t bound = kNoDistance, bool tilePortrait = false) {
  EngineParameters p;
  p.algorithm = algorithm;
  p.modifyLimit = m;
  return Distance(cell, tile, tilePortrait, bound, p);
}

TEST(ColorShiftTest, CommonAndPerChannelPartsTruncateTowardZero) {
  using S = std::array<int32_t, 3>;
  const auto shift = [](Pixel cell, Pixel tile, uint32_t m) {
    const ColorShift s = ComputeColorShift(cell, tile, m);
    return S{s.r, s.g, s.b};
  };
  const Pixel grey100 = MakePixel(100, 100, 100), grey110 = MakePixel(110, 110, 110);
  EXPECT_EQ(shift(grey110, grey100, 25), (S{10, 10, 10}));
  // Mean 0; per channel clamp(40, 25) / 2 = 12.
  EXPECT_EQ(shift(MakePixel(120, 100, 80), grey100, 25), (S{12, 0, -12}));
  EXPECT_EQ(shift(MakePixel(120, 100, 80), grey100, 255), (S{20, 0, -20}));
  // d = (-1, -1, 0): mean -2 / 3 = 0, where flooring would give -1.
  EXPECT_EQ(shift(MakePixel(0, 0, 0), MakePixel(1, 1, 0), 25), (S{-1, -1, 0}));
  // Mean -85; R clamp(680) / 2 = 127, G and B clamp(-340) / 2 = -127: limits past 255 are 255.
  EXPECT_EQ(shift(MakePixel(255, 0, 0), MakePixel(0, 255, 255), 100000), (S{42, -212, -212}));
}

// Visited from the end and abandoned as soon as the sum passes the bound (reaching is not passing).
TEST(StandardDistanceTest, ShiftedSumsStoppedPastTheBound) {
  EXPECT_EQ(Measure(kStandard, 10, kCell, kTile), 0u);
  EXPECT_EQ(Measure(kStandard, 0, kCell, kTile), 96u * 66u);
  EXPECT_EQ(Measure(5, 0, kCell, kTile), 96u * 66u);  // unknown algorithms measure like the default
  EXPECT_EQ(Measure(kStandard, 0, kCell, kTile, 100), 132u);
  EXPECT_EQ(Measure(kStandard, 0, kCell, kTile, 132), 198u);

  ColorInfo a = Flat(MakePixel(100, 100, 100));
  ColorInfo b = a;
  b.grid[0] = MakePixel(130, 100, 100);   // C(30) = 66
  b.grid[95] = MakePixel(120, 100, 100);  // C(20) = 21
  EXPECT_EQ(Measure(kStandard, 0, a, b, 10), 21u);

  ColorInfo weighted = Flat(MakePixel(110, 110, 110));
  for (int i = 0; i < 48; ++i) weighted.grid[i] = MakePixel(110, 110, 110, 128);
  for (int i = 48; i < 60; ++i) weighted.grid[i] = MakePixel(110, 110, 110, 255);
  // 48 * (66 - floor(66 * 128 / 255) = 33) + 12 * 0 + 36 * 66.
  EXPECT_EQ(Measure(kStandard, 0, weighted, a), 1584u + 2376u);
}

// Max: the largest channel difference; Exponential: the squared differences, rejected on the
// averages first. Both weighted by opacity.
TEST(MaxAndExponentialDistanceTest, WeightedByOpacity) {
  ColorInfo cell = Flat(MakePixel(100, 100, 100));
  const ColorInfo tile = Flat(MakePixel(110, 70, 105));  // (10, -30, 5)
  EXPECT_EQ(Measure(kMax, 25, cell, tile), 96u * 30u);
  EXPECT_EQ(Measure(kMax, 25, cell, tile, 50), 60u);
  // T 51: 204 * 30 / 255 = 24; T 255: nothing.
  for (int i = 0; i < 96; ++i) cell.grid[i] = MakePixel(100, 100, 100, i < 48 ? 51 : 255);
  EXPECT_EQ(Measure(kMax, 25, cell, tile), 48u * 24u);

  // 96 * 300 within a bound of as much; past a smaller one, rejected on the averages at that value.
  EXPECT_EQ(Measure(kExponential, 25, kCell, kTile, 28800), 28800u);
  EXPECT_EQ(Measure(kExponential, 25, kCell, kTile, 1000), 28800u);

  // Equal averages: the grid decides. At T 128: (127 * 300) / 255 = 149.
  ColorInfo a = Flat(MakePixel(100, 100, 100));
  for (int i = 0; i < 48; ++i) a.grid[i] = MakePixel(100, 100, 100, 128);
  ColorInfo b = Flat(MakePixel(110, 110, 110));
  b.average = a.average;
  EXPECT_EQ(Measure(kExponential, 25, a, b), 48u * 149u + 48u * 300u);
  EXPECT_EQ(Measure(kExponential, 25, a, b, 500), 149u * 4u);
}

// Every orientation is tried, a later one wins a tie, and none within the bound is code None.
TEST(FlipDistanceTest, FindsTheMirroredTileAndTheLaterOfATie) {
  ColorInfo tile, upsideDown;
  for (uint32_t i = 0; i < 96; ++i) tile.grid[i] = MakePixel(2 * i, 255 - 2 * i, (7 * i) % 256);
  for (uint32_t i = 0; i < 96; ++i) upsideDown.grid[i] = tile.grid[12 * (7 - i / 12) + i % 12];
  const auto flip = [](const ColorInfo& c, const ColorInfo& t, uint32_t bound, bool hOnly) {
    auto code = static_cast<Orientation>(99);
    const uint32_t distance = DistanceFlip(c, t, bound, hOnly, &code, 0);
    return std::pair(distance, code);
  };
  using O = Orientation;
  EXPECT_EQ(flip(upsideDown, tile, kNoDistance, false), std::pair(0u, O::MirroredTopBottom));
  // Only the tile as stored is within a bound of 0.
  EXPECT_EQ(flip(tile, tile, 0, false), std::pair(0u, O::AsStored));
  // 96 * C(5) = 480 in every orientation.
  const ColorInfo grey = Flat(MakePixel(50, 60, 70)), redder = Flat(MakePixel(55, 60, 70));
  EXPECT_EQ(flip(grey, redder, kNoDistance, false), std::pair(480u, O::Rotated180));
  EXPECT_EQ(flip(grey, redder, kNoDistance, true), std::pair(480u, O::MirroredLeftRight));
  EXPECT_EQ(flip(grey, redder, 479, false), std::pair(kNoDistance, O::None));
  // Horizontal flips only cannot turn the tile upside down, unless it is a portrait photo.
  EXPECT_EQ(Measure(kFlipHorizontalVertical, 0, upsideDown, tile), 0u);
  EXPECT_GT(Measure(kFlipHorizontal, 0, upsideDown, tile), 0u);
  EXPECT_EQ(Measure(kFlipHorizontal, 0, upsideDown, tile, kNoDistance, true), 0u);
}

}  // namespace
}  // namespace tessarix
