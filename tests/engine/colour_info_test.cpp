#include <gtest/gtest.h>

#include "engine/color_info.h"
#include "engine/engine_tables.h"
#include "test_support.h"

namespace tessarix {
namespace {

TEST(EngineTablesTest, CurveIsLinearThenPowerThenSquare) {
  const auto& curve = Tables().curve;
  EXPECT_EQ(curve[0], 0u);
  EXPECT_EQ(curve[19], 19u);
  EXPECT_EQ(curve[20], 21u);
  EXPECT_EQ(curve[50], 222u);
  EXPECT_EQ(curve[99], 814u);
  // 81^1.5 is exactly 729: a power computed carelessly gives 728 and 829 here.
  EXPECT_EQ(curve[100], 830u);
  EXPECT_EQ(curve[200], 12836u);
}

TEST(EngineTablesTest, FlipMapsAndClamp) {
  const EngineTables& t = Tables();
  EXPECT_EQ(t.flipHorizontal[0], 11);
  EXPECT_EQ(t.flipHorizontal[13], 22);  // row 1, column 1 -> column 10
  EXPECT_EQ(t.flipVertical[0], 84);
  EXPECT_EQ(t.flipVertical[13], 73);  // row 1 -> row 6
  EXPECT_EQ(t.flipBoth[0], 95);
  EXPECT_EQ(t.flipBoth[40], 55);
  for (int i = 0; i < 96; ++i) {
    // Mirroring twice gives the position back; both mirrors together are the half turn.
    EXPECT_EQ(t.flipHorizontal[t.flipHorizontal[i]], i);
    EXPECT_EQ(t.flipVertical[t.flipVertical[i]], i);
    EXPECT_EQ(t.flipBoth[i], t.flipVertical[t.flipHorizontal[i]]);
  }
  EXPECT_EQ(t.Clamp(-512), 0);
  EXPECT_EQ(t.Clamp(-1), 0);
  EXPECT_EQ(t.Clamp(0), 0);
  EXPECT_EQ(t.Clamp(137), 137);
  EXPECT_EQ(t.Clamp(255), 255);
  EXPECT_EQ(t.Clamp(256), 255);
  EXPECT_EQ(t.Clamp(637), 255);  // 255 plus the largest possible shift
}

TEST(ColorInfoTest, FlatOpaqueThumbnail) {
  ColorInfo info;
  ASSERT_TRUE(ComputeColorInfo(info, test::MakeFlatImage(12, 8, MakePixel(200, 100, 7))));
  EXPECT_EQ(info.average, MakePixel(200, 100, 7, 0));
  EXPECT_EQ(info.opaque, 1u);
  EXPECT_EQ(info.grid[95], MakePixel(200, 100, 7));
}

TEST(ColorInfoTest, FullyTransparentThumbnailAveragesToBlack) {
  ColorInfo info;
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

  // Half the grid fully transparent: it has no say in the colour, half in the transparency.
  Image half = test::MakeImage(12, 8, [](uint32_t, uint32_t y) {
    return y < 4 ? MakePixel(200, 100, 50) : MakePixel(0, 0, 0, 255);
  });
  ASSERT_TRUE(ComputeColorInfo(info, half));
  EXPECT_EQ(info.average, MakePixel(200, 100, 50, 127));  // 48*256*255 / 24576 = 127.5
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

TEST(ColorInfoTest, RecomputeUsesTheGridOnly) {
  ColorInfo info;
  info.grid.fill(MakePixel(30, 60, 90));
  info.grid[0] = MakePixel(126, 60, 90);  // R sum 95*30 + 126 = 2976, / 96 = 31
  info.average = MakePixel(1, 2, 3, 4);   // a stale value must not survive
  RecomputeColorInfo(info);
  EXPECT_EQ(info.average, MakePixel(31, 60, 90));
  EXPECT_EQ(info.opaque, 1u);
}

}  // namespace
}  // namespace tessarix
