#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "collection/image_collection.h"
#include "engine/mosaic.h"
#include "imaging/image.h"
#include "job_state/mosaic_job.h"
#include "platform/failure.h"

namespace tessarix {

struct CellExtent {
  uint32_t width = 0;    // largest left + width over cells with an area (0 when none)
  uint32_t height = 0;   // largest top + height
  uint32_t minWidth = 1073741824;
  uint32_t minHeight = 1073741824;
};

// A failure of the analysis of a picture in memory, which names no file.
Failure Unnamed(FailureKind kind);

// The extent and the smallest cell of the cells whose area is not 0.
CellExtent MeasureCells(const std::vector<MosaicCell>& cells);

struct Size2 {
  uint32_t width = 0;
  uint32_t height = 0;
};

// The largest size of aspect w:h within boxW x boxH (integer arithmetic, each side at least 1);
// none when any input is 0.
std::optional<Size2> FitAspect(uint32_t boxW, uint32_t boxH, uint32_t w, uint32_t h);

// The analysis scale: 1.0, or min(12.0 / minW, 8.0 / minH) when minW >= 24 and minH >= 4.
double AnalysisScale(const CellExtent& extent);

// Thumbnails every cell of `scaled` (the photo shrunk by `scale` to fit sw x sh) into its
// ColorInfo; portrait cells are thumbnailed 8 x 12 and turned. kStopped on a stop request.
Status AnalyseCells(MosaicJob& job, Mosaic& mosaic, const Image& scaled, double scale, uint32_t sw,
                 uint32_t sh);

// Grid mode: cells, mosaic size and colour records for `image`, ready for matching. Fails with
// kRefused (no pixels, no collection entries, or no tile count or tile height), kTooSmall (the
// photo is too low for one row of tiles), kOutOfMemory (the cells or the shrunk photo could not
// be had) or kStopped; these failures name no file, the photo being analysed from memory. A stop
// inside the per-cell analysis still succeeds (the driver looks at the stop itself).
Status AnalyseSourceGrid(MosaicJob& job, Mosaic& mosaic, const Image& image, uint32_t tilesPerRow,
                         uint32_t tileWidth, ImageCollection& collection);

}  // namespace tessarix
