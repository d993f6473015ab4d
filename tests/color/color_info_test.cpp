#include <gtest/gtest.h>

#include "color/color_info.h"
#include "color/engine_tables.h"
#include "test_support.h"

namespace tessarix {
namespace {

TEST(EngineTablesTest, CurveFlipMapsAndClamp) {
  const EngineTables& t = Tables();
  // Linear, then power, then square; 81^1.5 is exactly 729, which a careless power makes 728.
  const std::pair<int, uint32_t> curve[] = {{19, 19}, {20, 21}, {99, 814}, {100, 830}};
  for (const auto& [e, value] : curve) EXPECT_EQ(t.curve[e], value) << e;
  // Row 1, column 1 goes to column 10, to row 6, and to 95 - 13 turned.
  EXPECT_EQ(std::tuple(t.flipHorizontal[13], t.flipVertical[13], t.flipBoth[13]),
            std::tuple(22, 73, 82));
  // 637 is 255 plus the largest possible shift.
  const std::pair<int, int> clamp[] = {{-512, 0},  {-1, 0},    {0, 0},
                                       {255, 255}, {256, 255}, {637, 255}};
  for (const auto& [in, out] : clamp) EXPECT_EQ(t.Clamp(in), out) << in;
}

// Fully transparent pixels have no say in the colour, and half in the transparency (127.5); all
// of them average to black. (The weight of a partly transparent pixel is worked by hand in the
// collection's round trip.)
TEST(ColorInfoTest, FullyTransparentPixelsHaveNoSayAndWrongSizesLeaveTheRecord) {
  ColorInfo info;
  ASSERT_TRUE(ComputeColorInfo(info, test::MakeFlatImage(12, 8, MakePixel(200, 100, 7))));
  EXPECT_EQ(std::tuple(info.average, info.opaque, info.grid[95]),
            std::tuple(MakePixel(200, 100, 7, 0), 1u, MakePixel(200, 100, 7)));
  const Image half = test::MakeImage(12, 8, [](uint32_t, uint32_t y) {
    return y < 4 ? MakePixel(200, 100, 50) : MakePixel(0, 0, 0, 255);
  });
  ASSERT_TRUE(ComputeColorInfo(info, half));
  EXPECT_EQ(std::tuple(info.average, info.opaque, info.grid[95]),
            std::tuple(MakePixel(200, 100, 50, 127), 0u, MakePixel(0, 0, 0, 255)));
  ASSERT_TRUE(ComputeColorInfo(info, test::MakeFlatImage(12, 8, MakePixel(90, 90, 90, 255))));
  EXPECT_EQ(info.average, MakePixel(0, 0, 0, 255));

  // A thumbnail of the wrong size leaves the record as it was.
  EXPECT_FALSE(ComputeColorInfo(info, test::MakeFlatImage(12, 9, 0)));
  EXPECT_EQ(info.grid[0], MakePixel(90, 90, 90, 255));
}

}  // namespace
}  // namespace tessarix
