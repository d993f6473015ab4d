#include "color/color_info.h"

#include <algorithm>

namespace tessarix {

bool ComputeColorInfo(ColorInfo& info, const Image& thumbnail) {
  if (thumbnail.Width() != kThumbWidth || thumbnail.Height() != kThumbHeight)
    return false;
  std::copy_n(thumbnail.Pixels(), kThumbPixels, info.grid.begin());
  RecomputeColorInfo(info);
  return true;
}

void RecomputeColorInfo(ColorInfo& info) {
  // Worst case per sum: 96 * 256 * 255, well inside 32 bits.
  uint32_t sumR = 0, sumG = 0, sumB = 0, weights = 0, transparency = 0;
  uint32_t opaque = 1;
  for (const Pixel p : info.grid) {
    const uint32_t t = Transparency(p);
    uint32_t w = 256;
    if (t != 0) {
      opaque = 0;
      w = (65280 - 256 * t) / 255;
      transparency += 256 * t;
    }
    sumR += w * Red(p);
    sumG += w * Green(p);
    sumB += w * Blue(p);
    weights += w;
  }
  // A fully transparent grid has no weight at all; it averages to black.
  if (weights == 0)
    weights = 1;
  info.average = MakePixel(sumR / weights, sumG / weights, sumB / weights,
                           transparency / (kThumbPixels * 256));
  info.opaque = opaque;
}

}  // namespace tessarix
