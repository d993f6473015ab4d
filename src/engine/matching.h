#pragma once

#include "engine/mosaic.h"
#include "job_state/mosaic_job.h"

namespace tessarix {

// "Initializing Mosaic...": clears every cell's assignment and every entry's use count and
// processed flag. False when there is no collection, no cell or no entry.
bool ResetAssignment(MosaicJob& job, Mosaic& mosaic);

// Assigns collection images to the cells (single-use, multi-use or sequence strategy) and then
// inserts images not yet used when asked. Call after ResetAssignment. True when it ran to the end
// and the mosaic can be rendered; false when a stop was requested (the assignment is left partly
// done) or when there is nothing to match.
bool AssignTiles(MosaicJob& job, Mosaic& mosaic);

// Assigns collection images to the cells (single-use, multi-use or sequence strategy), inserts
// images not yet used when asked, and renders the mosaic unless stopped.
void CreateMosaic(MosaicJob& job, Mosaic& mosaic);

}  // namespace tessarix
