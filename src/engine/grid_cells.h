#pragma once

#include <cstdint>

#include "engine/mosaic.h"
#include "job_state/mosaic_job.h"

namespace tessarix {

// Replaces the cells by a columns x rows grid (column-major list order) with neighbour lists of
// grid distance <= D when D > 0. 0 on a zero argument or a stop request (cells deleted).
int BuildGridCells(MosaicJob& job, Mosaic& mosaic, uint32_t tileW, uint32_t tileH,
                   uint32_t columns, uint32_t rows, uint32_t D);

}  // namespace tessarix
