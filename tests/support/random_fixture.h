#pragma once

// Fixtures for the tests that compare one thread against several: pictures and colour records
// that differ in every part, so that a cell or an entry mixed up between threads shows in the
// bytes.

#include <random>

#include "color/color_info.h"
#include "test_support.h"

namespace tessarix::test {

// Stripes and a corner mark: every seed gives another picture, and every mirror and turn of one
// is a different picture.
inline Image Patterned(uint32_t w, uint32_t h, uint32_t seed) {
  return MakeImage(w, h, [w, h, seed](uint32_t x, uint32_t y) {
    if (x < w / 4 && y < h / 3)
      return MakePixel(250, 250, (seed * 40) % 256);
    return MakePixel((x * 7 + seed * 50) % 256, (y * 11 + seed * 30) % 256,
                     ((x + y) * 3 + seed * 90) % 256);
  });
}

// A record with texture, so that the early exits of every distance fire at different grid
// positions; transparent ones carry some transparency in every pixel.
inline ColorInfo Textured(std::mt19937& random, bool transparent) {
  std::uniform_int_distribution<uint32_t> base(0, 215), noise(0, 40);
  const uint32_t r = base(random), g = base(random), b = base(random);
  ColorInfo info;
  for (Pixel& p : info.grid) {
    const uint32_t pr = r + noise(random), pg = g + noise(random), pb = b + noise(random);
    p = MakePixel(pr, pg, pb, transparent ? noise(random) * 6 : 0);
  }
  RecomputeColorInfo(info);
  return info;
}

}  // namespace tessarix::test
