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

// Fully transparent pixels have no say in the colour, and half in the transparency (127.5).
// (The weight of a partly transparent pixel is worked by hand in the collection's round trip.)
TEST(ColorInfoTest, FullyTransparentPixelsHaveNoSayInTheColor) {
  const Image half = test::MakeImage(12, 8, [](uint32_t, uint32_t y) {
    return y < 4 ? MakePixel(200, 100, 50) : MakePixel(0, 0, 0, 255);
  });
  ColorInfo info;
  ASSERT_TRUE(ComputeColorInfo(info, half));
  EXPECT_EQ(info.average, MakePixel(200, 100, 50, 127));
  EXPECT_EQ(info.grid[95], MakePixel(0, 0, 0, 255));
}

TEST(ColorInfoTest, WrongSizeLeavesRecordAlone) {
  ColorInfo info;
  info.average = 1234;
  EXPECT_FALSE(ComputeColorInfo(info, test::MakeFlatImage(8, 12, 0)));
  EXPECT_FALSE(ComputeColorInfo(info, test::MakeFlatImage(12, 9, 0)));
  EXPECT_FALSE(ComputeColorInfo(info, Image()));
  EXPECT_EQ(info.average, 1234u);
  EXPECT_EQ(info.grid[0], 0u);
}

}  // namespace
}  // namespace tessarix
