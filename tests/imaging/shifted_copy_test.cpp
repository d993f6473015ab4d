#include "imaging/shifted_copy.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace tessarix {
namespace {

// Every byte value in every channel somewhere, and a different transparency byte per pixel.
Image Varied(uint32_t w, uint32_t h) {
  return test::MakeImage(w, h, [w](uint32_t x, uint32_t y) {
    const uint32_t i = y * w + x;
    return MakePixel(i * 37 % 256, 255 - i * 11 % 256, i * 5 % 256, i * 13 % 256);
  });
}

// Shifts beyond a byte's range, at its ends, mixed signs, and none.
const int kShifts[][3] = {{0, 0, 0}, {10, -10, 3}, {255, -255, 0}, {382, -382, 1}, {-1, 256, -300}};

uint32_t Shifted(uint32_t level, int by) {
  return static_cast<uint32_t>(std::clamp(static_cast<int>(level) + by, 0, 255));
}

// Widths around the four pixels the copy handles at once, so that every remainder is met, and a
// mirrored row's first pixels come from its far end.
TEST(ShiftedCopy, AgreesWithShiftingAndMirroringPixelByPixel) {
  for (const uint32_t w : {1u, 3u, 4u, 5u, 8u, 11u}) {
    const Image source = Varied(w, 3);
    for (const auto& s : kShifts) {
      for (const int mirror : {0, 1, 2, 3}) {
        const bool leftRight = (mirror & 1) != 0, topBottom = (mirror & 2) != 0;
        const Image expected = test::MakeImage(w, 3, [&](uint32_t x, uint32_t y) {
          const Pixel p = source.At(leftRight ? w - 1 - x : x, topBottom ? 2 - y : y);
          return MakePixel(Shifted(Red(p), s[0]), Shifted(Green(p), s[1]), Shifted(Blue(p), s[2]),
                           Transparency(p));
        });
        EXPECT_EQ(ShiftedCopy(source, s[0], s[1], s[2], leftRight, topBottom),
                  std::optional(expected))
            << w << " " << s[0] << "," << s[1] << "," << s[2] << " mirror " << mirror;
      }
    }
  }
  EXPECT_FALSE(ShiftedCopy(Image(), 1, 1, 1, true, false).has_value());
}

}  // namespace
}  // namespace tessarix
