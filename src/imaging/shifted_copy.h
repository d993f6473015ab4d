#pragma once

#include <cstdint>
#include <optional>

#include "imaging/image.h"

namespace tessarix {

// Adds the shifts to the red, green and blue bytes of every pixel, each result clamped to
// 0..255; the transparency byte is kept. Any shift works, also one beyond +-255.
void ShiftPixels(Image& image, int32_t shiftR, int32_t shiftG, int32_t shiftB);

// A copy of `source` shifted as ShiftPixels does and mirrored on the way: left-right, top-bottom,
// both (a half turn) or neither. The same pixels as copying, shifting and mirroring one after the
// other, in a single pass. None for an empty source or when memory runs out.
std::optional<Image> ShiftedCopy(const Image& source, int32_t shiftR, int32_t shiftG,
                                 int32_t shiftB, bool mirrorLeftRight, bool mirrorTopBottom);

}  // namespace tessarix
