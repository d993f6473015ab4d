#pragma once

#include <cstdint>

#include "engine/mosaic.h"
#include "imaging/image.h"
#include "job/mosaic_job.h"

namespace tessarix {

// Adds the shifts to every pixel's R, G, B (clamped to 0..255, T kept). 0 for an empty image.
int ShiftColours(Image& image, int32_t sR, int32_t sG, int32_t sB);

// Paints every assigned cell at full size, writes mosaic.outputBase + " Mosaic.JPG", posts it as
// "Mosaic: %s" and raises the usage counter. 0 when the canvas cannot be created or a stop was
// requested (nothing written); 1 otherwise, also when saving failed.
int RenderFinalMosaic(MosaicJob& job, Mosaic& mosaic);

}  // namespace tessarix
