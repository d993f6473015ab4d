#include <gtest/gtest.h>

#include "color/color_info.h"
#include "color/engine_tables.h"
#include "test_support.h"

namespace tessarix {
namespace {

TEST(EngineTablesTest, CurveFlipMapsAndClamp) {
  const EngineTables& t = Tables();
  // Linear, then power, then square; 81^1.5 is exactly 729, which a careless power makes 728.
  const std::pair<int, uint32_t> curve[] = {{0, 0},    {19, 19},   {20, 21},    {50, 222},
                                            {99, 814}, {100, 830}, {200, 12836}};
  for (const auto& [e, value] : curve) EXPECT_EQ(t.curve[e], value) << e;

  EXPECT_EQ(t.flipHorizontal[13], 22);  // row 1, column 1 -> column 10
  EXPECT_EQ(t.flipVertical[13], 73);    // row 1 -> row 6
  EXPECT_EQ(t.flipBoth[0], 95);
  EXPECT_EQ(t.flipBoth[40], 55);
  for (int i = 0; i < 96; ++i) {
    EXPECT_EQ(t.flipHorizontal[t.flipHorizontal[i]], i);
    EXPECT_EQ(t.flipVertical[t.flipVertical[i]], i);
  }
  // 637 is 255 plus the largest possible shift.
  const std::pair<int, int> clamp[] = {{-512, 0},  {-1, 0},    {0, 0},
                                       {255, 255}, {256, 255}, {637, 255}};
  for (const auto& [in, out] : clamp) EXPECT_EQ(t.Clamp(in), out) << in;
}

TEST(ColorInfoTest, FlatOpaqueAndFullyTransparentThumbnails) {
  ColorInfo info;
  ASSERT_TRUE(ComputeColorInfo(info, test::MakeFlatImage(12, 8, MakePixel(200, 100, 7))));
  EXPECT_EQ(info.average, MakePixel(200, 100, 7, 0));
  EXPECT_EQ(info.opaque, 1u);
  EXPECT_EQ(info.grid[95], MakePixel(200, 100, 7));

  ASSERT_TRUE(ComputeColorInfo(info, test::MakeFlatImage(12, 8, MakePixel(90, 90, 90, 255))));
  EXPECT_EQ(info.average, MakePixel(0, 0, 0, 255));
  EXPECT_EQ(info.opaque, 0u);
}

TEST(ColorInfoTest, PartlyTransparentPixelWeighsByOpacity) {
  // 95 opaque pixels (10, 20, 30) and one (255, 255, 255) at T 128, whose weight is
  // (65280 - 32768) / 255 = 127. R = (95*256*10 + 127*255) / (95*256 + 127) = 275585 / 24447 = 11,
  // G = 518785 / 24447 = 21, B = 761985 / 24447 = 31, T = 256*128 / (96*256) = 1.
  Image thumb = test::MakeImage(12, 8, [](uint32_t x, uint32_t y) {
    return x == 5 && y == 3 ? MakePixel(255, 255, 255, 128) : MakePixel(10, 20, 30);
  });
  ColorInfo info;
  ASSERT_TRUE(ComputeColorInfo(info, thumb));
  EXPECT_EQ(info.average, MakePixel(11, 21, 31, 1));
  EXPECT_EQ(info.opaque, 0u);
  EXPECT_EQ(info.grid[12 * 3 + 5], MakePixel(255, 255, 255, 128));

  // Half the grid fully transparent: no say in the colour, half in the transparency (127.5).
  Image half = test::MakeImage(12, 8, [](uint32_t, uint32_t y) {
    return y < 4 ? MakePixel(200, 100, 50) : MakePixel(0, 0, 0, 255);
  });
  ASSERT_TRUE(ComputeColorInfo(info, half));
  EXPECT_EQ(info.average, MakePixel(200, 100, 50, 127));
}

TEST(ColorInfoTest, WrongSizeLeavesRecordAloneAndRecomputeUsesTheGridOnly) {
  ColorInfo info;
  info.average = 1234;
  EXPECT_FALSE(ComputeColorInfo(info, test::MakeFlatImage(8, 12, 0)));
  EXPECT_FALSE(ComputeColorInfo(info, test::MakeFlatImage(12, 9, 0)));
  EXPECT_FALSE(ComputeColorInfo(info, Image()));
  EXPECT_EQ(info.average, 1234u);
  EXPECT_EQ(info.grid[0], 0u);

  info.grid.fill(MakePixel(30, 60, 90));
  info.grid[0] = MakePixel(126, 60, 90);  // R sum 95*30 + 126 = 2976, / 96 = 31
  RecomputeColorInfo(info);               // the stale average must not survive
  EXPECT_EQ(info.average, MakePixel(31, 60, 90));
  EXPECT_EQ(info.opaque, 1u);
}

}  // namespace
}  // namespace tessarix
