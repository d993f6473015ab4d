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

struct Shift {
  int r, g, b;
};
// Shifts beyond a byte's range, at its ends, mixed signs, and none.
const Shift kShifts[] = {{0, 0, 0}, {10, -10, 3}, {255, -255, 0}, {382, -382, 1}, {-1, 256, -300}};

Pixel ShiftedByHand(Pixel p, const Shift& s) {
  const auto clamp = [](uint32_t v, int by) {
    return static_cast<uint32_t>(std::clamp(static_cast<int>(v) + by, 0, 255));
  };
  return MakePixel(clamp(Red(p), s.r), clamp(Green(p), s.g), clamp(Blue(p), s.b), Transparency(p));
}

// Widths around the four pixels the copy handles at once, so that every remainder is met, and a
// mirrored row's first pixels come from its far end. Shifting in place must match the copy.
TEST(ShiftedCopy, AgreesWithShiftingAndMirroringPixelByPixel) {
  for (const uint32_t w : {1u, 3u, 4u, 5u, 8u, 11u}) {
    const Image source = Varied(w, 3);
    for (const Shift& s : kShifts) {
      for (const int mirror : {0, 1, 2, 3}) {
        const bool leftRight = (mirror & 1) != 0, topBottom = (mirror & 2) != 0;
        const std::optional<Image> copy = ShiftedCopy(source, s.r, s.g, s.b, leftRight, topBottom);
        ASSERT_TRUE(copy.has_value());
        ASSERT_EQ(copy->Width(), w);
        ASSERT_EQ(copy->Height(), 3u);
        for (uint32_t y = 0; y < 3; ++y) {
          for (uint32_t x = 0; x < w; ++x) {
            const Pixel from = source.At(leftRight ? w - 1 - x : x, topBottom ? 2 - y : y);
            ASSERT_EQ(copy->At(x, y), ShiftedByHand(from, s))
                << w << " " << s.r << "," << s.g << "," << s.b << " mirror " << mirror << " at "
                << x << "," << y;
          }
        }
      }
      Image inPlace = source;
      ShiftPixels(inPlace, s.r, s.g, s.b);
      EXPECT_EQ(inPlace, ShiftedCopy(source, s.r, s.g, s.b, false, false)) << w << " " << s.r;
    }
  }
  EXPECT_FALSE(ShiftedCopy(Image(), 1, 1, 1, true, false).has_value());
  Image empty;
  ShiftPixels(empty, 5, 5, 5);
  EXPECT_TRUE(empty.Empty());
}

}  // namespace
}  // namespace tessarix
