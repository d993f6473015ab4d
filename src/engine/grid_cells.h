#pragma once

#include <cstdint>

#include "engine/mosaic.h"
#include "job_state/mosaic_job.h"
#include "platform/failure.h"

namespace tessarix {

// Replaces the cells by a columns x rows grid (column-major list order) with neighbour lists of
// grid distance <= D when D > 0. kRefused on a zero argument, kOutOfMemory for a grid too large
// to hold and kStopped on a stop request, each with no cells left.
Status BuildGridCells(MosaicJob& job, Mosaic& mosaic, uint32_t tileW, uint32_t tileH,
                      uint32_t columns, uint32_t rows, uint32_t D);

}  // namespace tessarix
