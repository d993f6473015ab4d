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
  EXPECT_EQ(shift(grey110, grey100, 4), (S{4, 4, 4}));
  EXPECT_EQ(shift(grey110, grey100, 0), (S{0, 0, 0}));
  // Mean 0; per channel clamp(40, 25) / 2 = 12.
  EXPECT_EQ(shift(MakePixel(120, 100, 80), grey100, 25), (S{12, 0, -12}));
  EXPECT_EQ(shift(MakePixel(120, 100, 80), grey100, 255), (S{20, 0, -20}));
  // d = (-1, -1, 0): mean -2 / 3 = 0, where flooring would give -1; with m 1 clamp(-2) / 2 = 0.
  EXPECT_EQ(shift(MakePixel(0, 0, 0), MakePixel(1, 1, 0), 25), (S{-1, -1, 0}));
  EXPECT_EQ(shift(MakePixel(0, 0, 0), MakePixel(1, 1, 0), 1), (S{0, 0, 0}));
  // Mean -85; R clamp(680) / 2 = 127, G and B clamp(-340) / 2 = -127.
  EXPECT_EQ(shift(MakePixel(255, 0, 0), MakePixel(0, 255, 255), 255), (S{42, -212, -212}));
}

TEST(StandardDistanceTest, ShiftedAndClippedSums) {
  const ColorInfo cell = Flat(MakePixel(110, 120, 130));
  const ColorInfo tile = Flat(MakePixel(100, 110, 120));
  EXPECT_EQ(Measure(kStandard, 10, cell, tile), 0u);
  // m 0: e = 30, C(30) = 30 + floor(11^1.5) = 66, 96 * 66; m 5: C(15) = 15.
  EXPECT_EQ(Measure(kStandard, 0, cell, tile), 6336u);
  EXPECT_EQ(Measure(kStandard, 5, cell, tile), 96u * 15u);
  EXPECT_EQ(Measure(5, 0, cell, tile), 6336u);  // unknown algorithms measure like the default
  EXPECT_EQ(Measure(77, 0, cell, tile), 6336u);
  // d = (0, 20, 20): m 25 gives s = (1, 20, 20) and red 255 + 1 stays 255, so nothing remains;
  // m 10 gives s = (5, 15, 15), e = 10, C(10) = 10.
  const ColorInfo brightCell = Flat(MakePixel(255, 150, 150));
  const ColorInfo brightTile = Flat(MakePixel(255, 130, 130));
  EXPECT_EQ(Measure(kStandard, 25, brightCell, brightTile), 0u);
  EXPECT_EQ(Measure(kStandard, 10, brightCell, brightTile), 960u);

  ColorInfo weighted = Flat(MakePixel(110, 110, 110));
  for (int i = 0; i < 48; ++i) weighted.grid[i] = MakePixel(110, 110, 110, 128);
  for (int i = 48; i < 60; ++i) weighted.grid[i] = MakePixel(110, 110, 110, 255);
  RecomputeColorInfo(weighted);
  // 48 * (66 - floor(66 * 128 / 255) = 33) + 12 * 0 + 36 * 66.
  EXPECT_EQ(Measure(kStandard, 0, weighted, Flat(MakePixel(100, 100, 100))), 1584u + 2376u);

  // An out-of-range limit is capped at 255 and reads no table out of range.
  const ColorInfo red = Flat(MakePixel(255, 0, 0)), cyan = Flat(MakePixel(0, 255, 255));
  EXPECT_EQ(Measure(kStandard, 100000, red, cyan), Measure(kStandard, 255, red, cyan));
  EXPECT_EQ(DistanceFlip(red, cyan, kNoDistance, false, nullptr, 100000),
            DistanceFlip(red, cyan, kNoDistance, false, nullptr, 255));
}

TEST(StandardDistanceTest, StopsAsSoonAsTheBoundIsPassedVisitingFromTheEnd) {
  const ColorInfo cell = Flat(MakePixel(110, 120, 130));
  const ColorInfo tile = Flat(MakePixel(100, 110, 120));
  EXPECT_EQ(Measure(kStandard, 0, cell, tile, 100), 132u);  // 66 per position
  EXPECT_EQ(Measure(kStandard, 0, cell, tile, 132), 198u);  // reaching the bound is not passing it
  EXPECT_EQ(Measure(kStandard, 0, cell, tile, 6336), 6336u);

  ColorInfo a = Flat(MakePixel(100, 100, 100));
  ColorInfo b = a;
  b.grid[0] = MakePixel(130, 100, 100);   // C(30) = 66
  b.grid[95] = MakePixel(120, 100, 100);  // C(20) = 21
  EXPECT_EQ(Measure(kStandard, 0, a, b, 10), 21u);
  EXPECT_EQ(Measure(kStandard, 0, a, b), 87u);
}

TEST(MaxDistanceTest, LargestChannelDifferenceWeightedByOpacity) {
  ColorInfo cell = Flat(MakePixel(100, 100, 100));
  const ColorInfo tile = Flat(MakePixel(110, 70, 105));  // (10, -30, 5)
  EXPECT_EQ(Measure(kMax, 25, cell, tile), 96u * 30u);
  EXPECT_EQ(Measure(kMax, 25, cell, tile, 50), 60u);
  // T 51: 204 * 30 / 255 = 24; T 255: nothing.
  for (int i = 0; i < 96; ++i) cell.grid[i] = MakePixel(100, 100, 100, i < 48 ? 51 : 255);
  EXPECT_EQ(Measure(kMax, 25, cell, tile), 48u * 24u);
}

TEST(ExponentialDistanceTest, AverageRejectionAndGridSum) {
  const ColorInfo cell = Flat(MakePixel(110, 120, 130));
  const ColorInfo tile = Flat(MakePixel(100, 110, 120));
  EXPECT_EQ(Measure(kExponential, 255, cell, tile), 28800u);
  EXPECT_EQ(Measure(kExponential, 25, cell, tile, 28800), 28800u);
  // Rejected on the averages: the value is q itself.
  EXPECT_EQ(Measure(kExponential, 25, cell, tile, 1000), 28800u);

  // Equal averages: the grid decides. At T 128: (127 * 300) / 255 = 149.
  ColorInfo a = Flat(MakePixel(100, 100, 100));
  for (int i = 0; i < 48; ++i) a.grid[i] = MakePixel(100, 100, 100, 128);
  ColorInfo b = Flat(MakePixel(110, 110, 110));
  b.average = a.average;
  EXPECT_EQ(Measure(kExponential, 25, a, b), 48u * 149u + 48u * 300u);
  EXPECT_EQ(Measure(kExponential, 25, a, b, 500), 149u * 4u);
}

TEST(FlipDistanceTest, FindsTheTurnedOrMirroredTile) {
  ColorInfo tile, turned, upsideDown;
  for (uint32_t i = 0; i < 96; ++i) tile.grid[i] = MakePixel(2 * i, 255 - 2 * i, (7 * i) % 256);
  for (uint32_t i = 0; i < 96; ++i) {
    turned.grid[i] = tile.grid[95 - i];
    upsideDown.grid[i] = tile.grid[12 * (7 - i / 12) + i % 12];
  }
  for (ColorInfo* info : {&tile, &turned, &upsideDown}) RecomputeColorInfo(*info);

  auto code = static_cast<Orientation>(99);
  EXPECT_EQ(DistanceFlip(turned, tile, kNoDistance, false, &code, 25), 0u);
  EXPECT_EQ(code, Orientation::Rotated180);
  EXPECT_EQ(Measure(kFlipHorizontalVertical, 25, turned, tile), 0u);
  EXPECT_EQ(DistanceFlip(upsideDown, tile, kNoDistance, false, &code, 25), 0u);
  EXPECT_EQ(code, Orientation::MirroredTopBottom);
  // Within a bound of 0 only the tile as stored is left.
  EXPECT_EQ(DistanceFlip(tile, tile, 0, false, &code, 0), 0u);
  EXPECT_EQ(code, Orientation::AsStored);

  // Horizontal flips only: the half turn is out of reach, unless the tile is a portrait photo.
  const uint32_t best = DistanceFlip(turned, tile, kNoDistance, true, &code, 25);
  EXPECT_GT(best, 0u);
  EXPECT_TRUE(code == Orientation::AsStored || code == Orientation::MirroredLeftRight);
  EXPECT_EQ(Measure(kFlipHorizontal, 25, turned, tile), best);
  EXPECT_EQ(Measure(kFlipHorizontal, 25, turned, tile, kNoDistance, true), 0u);
}

TEST(FlipDistanceTest, LaterOrientationWinsATieAndNothingWithinBoundIsCodeZero) {
  const ColorInfo cell = Flat(MakePixel(50, 60, 70));
  const ColorInfo tile = Flat(MakePixel(55, 60, 70));
  Orientation code = Orientation::None;
  EXPECT_EQ(DistanceFlip(cell, tile, kNoDistance, false, &code, 0), 96u * 5u);  // C(5) = 5
  EXPECT_EQ(code, Orientation::Rotated180);
  EXPECT_EQ(DistanceFlip(cell, tile, kNoDistance, true, &code, 0), 480u);
  EXPECT_EQ(code, Orientation::MirroredLeftRight);
  // A bound equal to the sum still lets every orientation through.
  EXPECT_EQ(DistanceFlip(cell, tile, 480, false, &code, 0), 480u);
  EXPECT_EQ(code, Orientation::Rotated180);

  EXPECT_EQ(DistanceFlip(cell, tile, 479, false, &code, 0), kNoDistance);
  EXPECT_EQ(code, Orientation::None);
  EXPECT_EQ(Measure(kFlipHorizontalVertical, 0, cell, tile, 479), kNoDistance);
}

}  // namespace
}  // namespace tessarix
