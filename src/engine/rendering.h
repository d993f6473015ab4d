#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/mosaic.h"
#include "imaging/image.h"
#include "job_state/mosaic_job.h"
#include "platform/failure.h"

namespace tessarix {

// Whether the cells [first, end) may be pasted in any order, or at the same time: every cell with
// an image is a whole rectangle (nothing to blend) and no two such cells overlap.
bool PasteInAnyOrder(const std::vector<MosaicCell>& cells, size_t first, size_t end);

// Paints every assigned cell at full size, writes MosaicFileName(mosaic.outputBase) and calls
// MosaicSaved; with mosaic.mosaicOutput set it writes into that file instead and keeps the
// picture (see Mosaic). A cell whose image cannot be loaded stays black; mosaic.tilesNotLoaded
// counts those images. Fails, with nothing written, as the canvas's creation does or with kStopped
// on a stop request; succeeds otherwise, also when saving failed (the failure has been said).
Status RenderFinalMosaic(MosaicJob& job, Mosaic& mosaic);

// A mosaic saved under its name: posted as "Mosaic: %s" (the source path) and counted by the
// usage counter.
void MosaicSaved(MosaicJob& job, const Mosaic& mosaic, Image picture);

}  // namespace tessarix
