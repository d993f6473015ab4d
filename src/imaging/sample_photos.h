#pragma once

#include <cstdint>

#include "imaging/image.h"

namespace tessarix {

// A deterministic photo-like picture for demos and benchmarks: a smooth two-colour gradient, a
// few soft shapes and a little grain, all from `seed`. The same seed and size give the same
// pixels on every machine.
Image MakeSamplePhoto(uint32_t seed, uint32_t width, uint32_t height);

// A landscape-like scene (sky, sun, hills, water) to turn into a mosaic.
Image MakeSampleScene(uint32_t width, uint32_t height);

}  // namespace tessarix
