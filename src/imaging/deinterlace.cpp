#include "imaging/deinterlace.h"

#include "imaging/color_accumulator.h"

namespace tessarix {

Status DeInterlace(Image& image, uint32_t strength) {
  if (image.Empty() || strength > 100)
    return Failure{FailureKind::kRefused, {}, 0, {}};
  const uint32_t width = image.Width();
  const uint32_t height = image.Height();
  const uint32_t own = 100 - strength;
  const uint32_t side = strength / 2;
  ColorAccumulator sum;
  // Only odd rows change, and they read only even ones: the work can be done in place.
  for (uint32_t y = 1; y < height; y += 2) {
    const Pixel* above = image.Row(y - 1);
    const Pixel* below = y + 1 < height ? image.Row(y + 1) : nullptr;
    Pixel* row = image.Row(y);
    for (uint32_t x = 0; x < width; ++x) {
      sum.Clear();
      if (own > 0)
        sum.Add(row[x], own);
      if (side > 0) {
        sum.Add(above[x], side);
        if (below)
          sum.Add(below[x], side);
      }
      row[x] = sum.Average();
    }
  }
  return {};
}

}  // namespace tessarix
