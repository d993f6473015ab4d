#pragma once

#include <array>
#include <cstdint>

#include "imaging/image.h"
#include "imaging/pixel.h"

namespace tessarix {

constexpr uint32_t kThumbWidth = 12;
constexpr uint32_t kThumbHeight = 8;
constexpr uint32_t kThumbPixels = kThumbWidth * kThumbHeight;

// The colour record every cell and every collection image is reduced to: a 12 x 8 thumbnail
// (always landscape; index i = 12 * row + column), its opacity-weighted mean colour (T holds the
// mean transparency) and whether every grid pixel is opaque.
struct ColorInfo {
  Pixel average = 0;
  std::array<Pixel, kThumbPixels> grid{};
  uint32_t opaque = 0;

  friend bool operator==(const ColorInfo&, const ColorInfo&) = default;
};

// Fills `info` from a thumbnail; false (record unchanged) unless it is exactly 12 x 8.
bool ComputeColorInfo(ColorInfo& info, const Image& thumbnail);

// Recomputes average and opaque from the grid already held in `info` (used after loading a
// collection file and after turning thumbnails grey).
void RecomputeColorInfo(ColorInfo& info);

}  // namespace tessarix
