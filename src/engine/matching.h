#pragma once

#include "engine/mosaic.h"
#include "job_state/mosaic_job.h"
#include "platform/failure.h"

namespace tessarix {

// "Initializing Mosaic...": clears every cell's assignment and every entry's use count and
// processed flag. kEmpty, with nothing changed, when there is no collection, no cell or no entry.
Status ResetAssignment(MosaicJob& job, Mosaic& mosaic);

// Assigns collection images to the cells (single-use, multi-use or sequence strategy) and then
// inserts images not yet used when asked. Call after ResetAssignment. Succeeds when it ran to the
// end and the mosaic can be rendered; kStopped when a stop was requested (the assignment is left
// partly done), kEmpty when there is nothing to match.
Status AssignTiles(MosaicJob& job, Mosaic& mosaic);

// Assigns collection images to the cells (single-use, multi-use or sequence strategy), inserts
// images not yet used when asked, and renders the mosaic unless stopped.
void CreateMosaic(MosaicJob& job, Mosaic& mosaic);

}  // namespace tessarix
