#pragma once

#include <cstdint>

namespace tessarix {

// A pixel is R + 256*G + 65536*B + 16777216*T, T being the transparency byte (0 opaque, 255 fully
// transparent). Everything decoded from a file has T = 0.
using Pixel = uint32_t;

constexpr uint32_t Red(Pixel p) { return p & 0xFF; }
constexpr uint32_t Green(Pixel p) { return (p >> 8) & 0xFF; }
constexpr uint32_t Blue(Pixel p) { return (p >> 16) & 0xFF; }
constexpr uint32_t Transparency(Pixel p) { return p >> 24; }

constexpr Pixel MakePixel(uint32_t r, uint32_t g, uint32_t b, uint32_t t = 0) {
  return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16) | ((t & 0xFF) << 24);
}

constexpr Pixel kTransparentBlack = 0xFF000000u;

}  // namespace tessarix
