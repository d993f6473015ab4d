#include "window_logic/preview_geometry.h"

#include <gtest/gtest.h>

#include <array>

namespace tessarix {
namespace {

using Corners = std::array<int, 4>;  // left, top, right, bottom

Corners Of(const PreviewRect& r) {
  return {r.left, r.top, r.right, r.bottom};
}

TEST(PreviewGeometryTest, ShrinksIntoSevenHundredByFiveHundred) {
  const struct {
    uint32_t width, height, shownWidth, shownHeight;
    bool shrink;
  } rows[] = {
      {3000, 2000, 700, 466, true},  // 700 * 2000 / 3000 = 466.67
      {2000, 3000, 333, 500, true},  // 1050 > 500, so 500 * 2000 / 3000 = 333.3
      {699, 499, 699, 499, false},
      {700, 100, 700, 100, true},    // at the limit: resampled to its own size
      {1400, 1000, 700, 500, true},  // exactly the aspect of the box
      {30000, 1, 700, 1, true},      // 700 / 30000 = 0, raised to 1
      {1, 30000, 1, 500, true},      // 500 / 30000 = 0, raised to 1
      // 700 * 4000000000 overflows 32 bits; the true quotient is 700 * 4e9 / 4e9 = 700 > 500.
      {4000000000u, 4000000000u, 500, 500, true},
  };
  for (const auto& row : rows) {
    const PreviewSize s = PreviewDisplaySize(row.width, row.height);
    EXPECT_EQ(std::tuple(s.width, s.height, s.shrink),
              std::tuple(row.shownWidth, row.shownHeight, row.shrink))
        << row.width << "x" << row.height;
  }
}

TEST(PreviewGeometryTest, ClientAreaAtAThirdOfTheFreeSpaceCaptionOnScreen) {
  // (1024 - 700) / 3 and (768 - 466) / 3.
  EXPECT_EQ(Of(PreviewClientRect(1024, 768, 700, 466)), (Corners{108, 100, 808, 566}));
  // Wider than the screen: at its left edge; 14 / 3 down.
  EXPECT_EQ(Of(PreviewClientRect(640, 480, 700, 466)), (Corners{0, 4, 700, 470}));
  // Taller than the screen: at its top; 691 / 3 across.
  EXPECT_EQ(Of(PreviewClientRect(1024, 400, 333, 500)), (Corners{230, 0, 563, 500}));
  // The frame around it keeps the caption on the screen.
  EXPECT_EQ(Of(PreviewWindowRect({108, 100, 808, 566}, 4, 30, 4, 4)), (Corners{104, 70, 812, 570}));
  // Above the screen: moved down whole, same height (30 + 500 + 4); beyond the left edge: the
  // left edge is cut, the right edge stays.
  EXPECT_EQ(Of(PreviewWindowRect({0, 0, 700, 500}, 4, 30, 4, 4)), (Corners{0, 0, 704, 534}));
}

}  // namespace
}  // namespace tessarix
