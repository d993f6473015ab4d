#include "window_logic/preview_geometry.h"

#include <gtest/gtest.h>

namespace tessarix {
namespace {

void ExpectSize(uint32_t w, uint32_t h, uint32_t ew, uint32_t eh, bool shrink) {
  const PreviewSize s = PreviewDisplaySize(w, h);
  EXPECT_EQ(s.width, ew) << w << "x" << h;
  EXPECT_EQ(s.height, eh) << w << "x" << h;
  EXPECT_EQ(s.shrink, shrink) << w << "x" << h;
}

TEST(PreviewGeometryTest, ShrinksIntoSevenHundredByFiveHundred) {
  ExpectSize(3000, 2000, 700, 466, true);  // 700 * 2000 / 3000 = 466.67
  ExpectSize(2000, 3000, 333, 500, true);  // 1050 > 500, so 500 * 2000 / 3000 = 333.3
  ExpectSize(699, 499, 699, 499, false);
  ExpectSize(700, 100, 700, 100, true);    // at the limit: resampled to its own size
  ExpectSize(100, 500, 100, 500, true);    // 700 * 500 / 100 = 3500 > 500, so 500 * 100 / 500
  ExpectSize(1400, 1000, 700, 500, true);  // exactly the aspect of the box
  ExpectSize(30000, 1, 700, 1, true);      // 700 / 30000 = 0, raised to 1
  ExpectSize(1, 30000, 1, 500, true);      // 500 / 30000 = 0, raised to 1
  // 700 * 4000000000 overflows 32 bits; the true quotient is 700 * 4e9 / 4e9 = 700 > 500.
  ExpectSize(4000000000u, 4000000000u, 500, 500, true);
}

TEST(PreviewGeometryTest, ClientAreaAtAThirdOfTheFreeSpace) {
  const PreviewRect r = PreviewClientRect(1024, 768, 700, 466);
  EXPECT_EQ(r.left, 108);  // (1024 - 700) / 3
  EXPECT_EQ(r.top, 100);   // (768 - 466) / 3
  EXPECT_EQ(r.right, 808);
  EXPECT_EQ(r.bottom, 566);
  const PreviewRect wide = PreviewClientRect(640, 480, 700, 466);
  EXPECT_EQ(wide.left, 0);
  EXPECT_EQ(wide.top, 4);  // 14 / 3
  EXPECT_EQ(wide.right, 700);
  const PreviewRect tall = PreviewClientRect(1024, 400, 333, 500);
  EXPECT_EQ(tall.left, 230);  // 691 / 3
  EXPECT_EQ(tall.top, 0);
  EXPECT_EQ(tall.bottom, 500);
}

TEST(PreviewGeometryTest, FrameKeepsCaptionOnScreen) {
  const PreviewRect fits = PreviewWindowRect({108, 100, 808, 566}, 4, 30, 4, 4);
  EXPECT_EQ(fits.left, 104);
  EXPECT_EQ(fits.top, 70);
  EXPECT_EQ(fits.right, 812);
  EXPECT_EQ(fits.bottom, 570);
  // Above the screen: moved down whole, same height (30 + 500 + 4).
  const PreviewRect high = PreviewWindowRect({0, 0, 700, 500}, 4, 30, 4, 4);
  EXPECT_EQ(high.top, 0);
  EXPECT_EQ(high.bottom, 534);
  // Beyond the left edge: the left edge is cut, the right edge stays.
  EXPECT_EQ(high.left, 0);
  EXPECT_EQ(high.right, 704);
}

}  // namespace
}  // namespace tessarix
