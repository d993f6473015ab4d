#pragma once

#include <cstdint>

#include "imaging/image.h"
#include "platform/failure.h"

namespace tessarix {

// Averages every odd row of `image` with the even rows around it: the row itself weighs
// 100 - strength, the row above and (unless it is the last) the row below strength / 2 each.
// Even rows stay as they are. kRefused, and the image unchanged, for an empty image or a strength
// above 100.
Status DeInterlace(Image& image, uint32_t strength);

}  // namespace tessarix
