#include <gtest/gtest.h>

#include "engine/distance.h"

namespace tessarix {
namespace {

ColorInfo Flat(Pixel p) {
  ColorInfo info;
  info.grid.fill(p);
  RecomputeColorInfo(info);
  return info;
}

// Every position a different colour, so that only one orientation can match.
ColorInfo Distinct() {
  ColorInfo info;
  for (uint32_t i = 0; i < 96; ++i) info.grid[i] = MakePixel(2 * i, 255 - 2 * i, (7 * i) % 256);
  RecomputeColorInfo(info);
  return info;
}

ColorInfo Remapped(const ColorInfo& from, uint32_t (*map)(uint32_t)) {
  ColorInfo info;
  for (uint32_t i = 0; i < 96; ++i) info.grid[i] = from.grid[map(i)];
  RecomputeColorInfo(info);
  return info;
}

uint32_t HalfTurn(uint32_t i) {
  return 95 - i;
}
uint32_t TopBottom(uint32_t i) {
  return 12 * (7 - i / 12) + i % 12;
}

EngineParameters With(uint32_t algorithm, uint32_t modifyLimit) {
  EngineParameters p;
  p.algorithm = algorithm;
  p.modifyLimit = modifyLimit;
  return p;
}

TEST(ColourShiftTest, CommonAndPerChannelParts) {
  const Pixel grey100 = MakePixel(100, 100, 100);
  // Ten levels brighter everywhere: all common shift, capped by m.
  ColourShift s = ComputeColourShift(MakePixel(110, 110, 110), grey100, 25);
  EXPECT_EQ(s.r, 10);
  EXPECT_EQ(s.b, 10);
  s = ComputeColourShift(MakePixel(110, 110, 110), grey100, 4);
  EXPECT_EQ(s.g, 4);
  s = ComputeColourShift(MakePixel(110, 110, 110), grey100, 0);
  EXPECT_EQ(s.r, 0);
  EXPECT_EQ(s.g, 0);
  EXPECT_EQ(s.b, 0);
  // d = (20, 0, -20), mean 0: per channel clamp(40, 25) / 2 = 12.
  s = ComputeColourShift(MakePixel(120, 100, 80), grey100, 25);
  EXPECT_EQ(s.r, 12);
  EXPECT_EQ(s.g, 0);
  EXPECT_EQ(s.b, -12);
  s = ComputeColourShift(MakePixel(120, 100, 80), grey100, 255);
  EXPECT_EQ(s.r, 20);
  EXPECT_EQ(s.b, -20);
}

TEST(ColourShiftTest, DivisionsTruncateTowardZero) {
  // d = (-1, -1, 0): mean = -2 / 3 = 0 (flooring would give -1).
  ColourShift s = ComputeColourShift(MakePixel(0, 0, 0), MakePixel(1, 1, 0), 25);
  EXPECT_EQ(s.r, -1);
  EXPECT_EQ(s.b, 0);
  // With m = 1 the per-channel part is clamp(-2, 1) / 2 = -1 / 2 = 0.
  s = ComputeColourShift(MakePixel(0, 0, 0), MakePixel(1, 1, 0), 1);
  EXPECT_EQ(s.r, 0);
  EXPECT_EQ(s.g, 0);
  // Extreme opposite colours: mean -255 / 3 = -85; R: clamp(680) / 2 = 127; G: -255 / 2 = -127.
  s = ComputeColourShift(MakePixel(255, 0, 0), MakePixel(0, 255, 255), 255);
  EXPECT_EQ(s.r, -85 + 127);
  EXPECT_EQ(s.g, -85 - 127);
}

TEST(StandardDistanceTest, ShiftAbsorbsABrightnessDifference) {
  const ColorInfo cell = Flat(MakePixel(110, 120, 130));
  const ColorInfo tile = Flat(MakePixel(100, 110, 120));
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kStandard, 10)), 0u);
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kStandard, 25)), 0u);
  // m = 0: e = 30 everywhere, C(30) = 30 + floor(11^1.5) = 66, 96 * 66 = 6336.
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kStandard, 0)), 6336u);
  // m = 5: 5 left per channel, C(15) = 15.
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kStandard, 5)), 1440u);
  // Unknown algorithms measure like the default.
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(5, 0)), 6336u);
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(77, 0)), 6336u);
}

TEST(StandardDistanceTest, ShiftedChannelsClipAtTheByteRange) {
  // d = (0, 20, 20), mean 13, m 25: s = (13 + (-25 / 2), 13 + 14 / 2, same) = (1, 20, 20). The
  // tile's red 255 + 1 clips back to 255, so nothing remains; unclipped it would leave C(1) = 1
  // each.
  const ColorInfo cell = Flat(MakePixel(255, 150, 150));
  const ColorInfo tile = Flat(MakePixel(255, 130, 130));
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kStandard, 25)), 0u);
  // Too far for m = 10: s = (10 - 5, 10 + 5, 10 + 5) = (5, 15, 15), e = 0 + 5 + 5, C(10) = 10.
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kStandard, 10)), 960u);
}

TEST(StandardDistanceTest, TransparentCellPixelsWeighLess) {
  ColorInfo cell = Flat(MakePixel(110, 110, 110));
  for (int i = 0; i < 48; ++i) cell.grid[i] = MakePixel(110, 110, 110, 128);
  for (int i = 48; i < 60; ++i) cell.grid[i] = MakePixel(110, 110, 110, 255);
  RecomputeColorInfo(cell);
  const ColorInfo tile = Flat(MakePixel(100, 100, 100));
  // 48 * (66 - floor(66 * 128 / 255) = 33) + 12 * 0 + 36 * 66 = 1584 + 2376.
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kStandard, 0)), 3960u);
}

TEST(StandardDistanceTest, StopsAsSoonAsTheBoundIsPassedVisitingFromTheEnd) {
  const ColorInfo cell = Flat(MakePixel(110, 120, 130));
  const ColorInfo tile = Flat(MakePixel(100, 110, 120));
  // 66 per position: the sum passes 100 at the second position.
  EXPECT_EQ(Distance(cell, tile, false, 100, With(kStandard, 0)), 132u);
  EXPECT_EQ(Distance(cell, tile, false, 6336, With(kStandard, 0)), 6336u);

  ColorInfo a = Flat(MakePixel(100, 100, 100));
  ColorInfo b = a;
  b.grid[0] = MakePixel(130, 100, 100);   // C(30) = 66
  b.grid[95] = MakePixel(120, 100, 100);  // C(20) = 21
  // The grid is walked from position 95 down, so the first term above 10 is 21, not 66.
  EXPECT_EQ(Distance(a, b, false, 10, With(kStandard, 0)), 21u);
  EXPECT_EQ(Distance(a, b, false, kNoDistance, With(kStandard, 0)), 87u);
}

TEST(MaxDistanceTest, LargestChannelDifferenceWeightedByOpacity) {
  ColorInfo cell = Flat(MakePixel(100, 100, 100));
  const ColorInfo tile = Flat(MakePixel(110, 70, 105));  // (10, -30, 5)
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kMax, 25)), 96u * 30u);
  // Early exit in visiting order 0 up: 30, 60.
  EXPECT_EQ(Distance(cell, tile, false, 50, With(kMax, 25)), 60u);
  // T 51: 204 * 30 / 255 = 24; T 255: nothing.
  for (int i = 0; i < 96; ++i) cell.grid[i] = MakePixel(100, 100, 100, i < 48 ? 51 : 255);
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kMax, 25)), 48u * 24u);
}

TEST(ExponentialDistanceTest, AverageRejectionAndGridSum) {
  const ColorInfo cell = Flat(MakePixel(110, 120, 130));
  const ColorInfo tile = Flat(MakePixel(100, 110, 120));
  // 96 positions x (100 + 100 + 100); no colour shift, whatever m is.
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kExponential, 255)), 28800u);
  EXPECT_EQ(Distance(cell, tile, false, 28800, With(kExponential, 25)), 28800u);
  // Rejected on the averages: the value is q itself.
  EXPECT_EQ(Distance(cell, tile, false, 1000, With(kExponential, 25)), 28800u);

  // Equal averages, different grids: q = 0, the grid decides. Half the cell is transparent at
  // T 128: (127 * 300) / 255 = 149 there, 300 elsewhere.
  ColorInfo a = Flat(MakePixel(100, 100, 100));
  for (int i = 0; i < 48; ++i) a.grid[i] = MakePixel(100, 100, 100, 128);
  ColorInfo b = Flat(MakePixel(110, 110, 110));
  b.average = a.average;
  EXPECT_EQ(Distance(a, b, false, kNoDistance, With(kExponential, 25)), 48u * 149u + 48u * 300u);
  EXPECT_EQ(Distance(a, b, false, 500, With(kExponential, 25)), 149u * 4u);
}

TEST(FlipDistanceTest, FindsTheTurnedTile) {
  const ColorInfo tile = Distinct();
  const ColorInfo cell = Remapped(tile, HalfTurn);
  uint32_t code = 99;
  EXPECT_EQ(DistanceFlip(cell, tile, kNoDistance, false, &code, 25), 0u);
  EXPECT_EQ(code, kRotated180);
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kFlipHorizontalVertical, 25)), 0u);

  const ColorInfo upsideDown = Remapped(tile, TopBottom);
  EXPECT_EQ(DistanceFlip(upsideDown, tile, kNoDistance, false, &code, 25), 0u);
  EXPECT_EQ(code, kFlipVertical);

  // Horizontal flips only: the half turn is out of reach, unless the tile is a portrait photo.
  code = 99;
  const uint32_t best = DistanceFlip(cell, tile, kNoDistance, true, &code, 25);
  EXPECT_GT(best, 0u);
  EXPECT_TRUE(code == kAsStored || code == kFlipHorizontalCode);
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kFlipHorizontal, 25)), best);
  EXPECT_EQ(Distance(cell, tile, true, kNoDistance, With(kFlipHorizontal, 25)), 0u);
  EXPECT_EQ(DistanceFlip(cell, tile, kNoDistance, false, nullptr, 25), 0u);
}

TEST(FlipDistanceTest, LaterOrientationWinsATie) {
  // A flat grid is the same in every orientation: the last one tried wins.
  const ColorInfo cell = Flat(MakePixel(50, 60, 70));
  const ColorInfo tile = Flat(MakePixel(55, 60, 70));
  uint32_t code = 0;
  const uint32_t all = DistanceFlip(cell, tile, kNoDistance, false, &code, 0);
  EXPECT_EQ(all, 96u * 5u);  // C(5) = 5
  EXPECT_EQ(code, kRotated180);
  EXPECT_EQ(DistanceFlip(cell, tile, kNoDistance, true, &code, 0), all);
  EXPECT_EQ(code, kFlipHorizontalCode);
  // A bound equal to the sum still lets every orientation through.
  EXPECT_EQ(DistanceFlip(cell, tile, all, false, &code, 0), all);
  EXPECT_EQ(code, kRotated180);
}

TEST(FlipDistanceTest, NothingWithinBound) {
  const ColorInfo cell = Flat(MakePixel(200, 200, 200));
  const ColorInfo tile = Flat(MakePixel(0, 0, 0));
  uint32_t code = 7;
  EXPECT_EQ(DistanceFlip(cell, tile, 10, false, &code, 0), kNoDistance);
  EXPECT_EQ(code, kNoOrientation);
  EXPECT_EQ(Distance(cell, tile, false, 10, With(kFlipHorizontalVertical, 0)), kNoDistance);
}

TEST(FlipDistanceTest, HugeModifyLimitStaysInsideTheTables) {
  // Opposite extremes with an out-of-range limit: capped at 255, so this reads no table out of
  // range (the sanitizer build checks that) and gives the m = 255 value.
  const ColorInfo cell = Flat(MakePixel(255, 0, 0));
  const ColorInfo tile = Flat(MakePixel(0, 255, 255));
  EXPECT_EQ(Distance(cell, tile, false, kNoDistance, With(kStandard, 100000)),
            Distance(cell, tile, false, kNoDistance, With(kStandard, 255)));
  EXPECT_EQ(DistanceFlip(cell, tile, kNoDistance, false, nullptr, 100000),
            DistanceFlip(cell, tile, kNoDistance, false, nullptr, 255));
}

}  // namespace
}  // namespace tessarix
