#include "imaging/deinterlace.h"

#include <gtest/gtest.h>

#include <optional>

#include "test_support.h"

namespace tessarix {
namespace {

std::optional<Image> DeInterlaced(Image image, uint32_t strength) {
  if (!DeInterlace(image, strength))
    return std::nullopt;
  return image;
}

TEST(DeInterlace, AveragesOddRowsWithTheirNeighboursExactly) {
  // Two columns, four rows: row 3 is the last and has nothing below it.
  const Pixel rows[4][2] = {{MakePixel(100, 0, 0), MakePixel(1, 2, 3)},
                            {MakePixel(10, 20, 30), MakePixel(90, 90, 90)},
                            {MakePixel(200, 40, 0), MakePixel(7, 8, 9)},
                            {MakePixel(50, 60, 70), MakePixel(10, 11, 12)}};
  const Image source = test::MakeImage(2, 4, [&](uint32_t x, uint32_t y) { return rows[y][x]; });
  const Image full = *DeInterlaced(source, 100);
  EXPECT_EQ(full.At(0, 0), source.At(0, 0));
  EXPECT_EQ(full.At(0, 1), MakePixel(150, 20, 0));  // (100 + 200) / 2, (0 + 40) / 2
  EXPECT_EQ(full.At(1, 1), MakePixel(4, 5, 6));
  EXPECT_EQ(full.At(0, 3), MakePixel(200, 40, 0));  // own weight 0, only the row above
  // Strength 30, weights 70 / 15 / 15: R (700 + 1500 + 3000) / 100, G 2000 / 100, B 2100 / 100;
  // the last row 70 / 15: R 6500 / 85, G 4800 / 85, B 4900 / 85, truncated.
  const Image weak = *DeInterlaced(source, 30);
  EXPECT_EQ(weak.At(0, 1), MakePixel(52, 20, 21));
  EXPECT_EQ(weak.At(0, 3), MakePixel(76, 56, 57));

  // One row: nothing to do.
  const Image one = test::MakeFlatImage(3, 1, MakePixel(9, 9, 9));
  EXPECT_EQ(*DeInterlaced(one, 60), one);
  EXPECT_FALSE(DeInterlaced(Image(), 50));
  EXPECT_FALSE(DeInterlaced(one, 101));
}

}  // namespace
}  // namespace tessarix
