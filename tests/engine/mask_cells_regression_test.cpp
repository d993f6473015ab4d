// Inputs that once broke the mask segmentation. They matter most in the sanitizer build, which
// stops on the undefined behaviour they used to reach.
#include <gtest/gtest.h>

#include <vector>

#include "engine/mask_cells.h"
#include "imaging/pixel.h"
#include "test_support.h"

namespace tessarix {
namespace {

// Three vertical stripes, 7 pixels wide each, 15 rows. Every pixel below row 0 looks at the pixel
// above it, which the labelling once reached through a wrapped unsigned index (x - w).
TEST(MaskCellsRegression, RowsBelowTheFirstReadTheRowAboveSafely) {
  const Pixel colours[3] = {MakePixel(200, 10, 10), MakePixel(10, 200, 10), MakePixel(10, 10, 200)};
  const Image mask = test::MakeImage(21, 15, [&](uint32_t x, uint32_t) { return colours[x / 7]; });
  std::vector<MosaicCell> cells;
  const MaskSegmentation result = SegmentMask(cells, mask);
  ASSERT_EQ(result.ok, 1);
  EXPECT_EQ(result.maskWidth, 21u);
  EXPECT_EQ(result.maskHeight, 15u);
  // Narrowing clears two columns on each side of both borders (5..8 and 12..15), and two
  // regrowing passes give each column back to the stripe it came from.
  ASSERT_EQ(cells.size(), 3u);
  for (uint32_t k = 0; k < 3; ++k) {
    EXPECT_EQ(cells[k].left, 7 * k);
    EXPECT_EQ(cells[k].top, 0u);
    EXPECT_EQ(cells[k].width, 7u);
    EXPECT_EQ(cells[k].height, 15u);
    EXPECT_EQ(cells[k].area, 105u);
    EXPECT_TRUE(cells[k].shape.empty());
  }
}

// A single column: every row's first pixel is also its last, so the row above is only ever read
// at index 0.
TEST(MaskCellsRegression, OneColumnMaskIsOneCell) {
  const Image mask = test::MakeFlatImage(1, 9, MakePixel(7, 8, 9));
  std::vector<MosaicCell> cells;
  ASSERT_EQ(SegmentMask(cells, mask).ok, 1);
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_EQ(cells[0].width, 1u);
  EXPECT_EQ(cells[0].height, 9u);
  EXPECT_EQ(cells[0].area, 9u);
}

}  // namespace
}  // namespace tessarix
