#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "collection/image_collection.h"
#include "engine/mosaic.h"
#include "engine/source_analysis.h"
#include "imaging/image.h"
#include "job_state/mosaic_job.h"

namespace tessarix {

struct MaskSegmentation {
  bool ok = false;
  uint32_t maskWidth = 0;
  uint32_t maskHeight = 0;
  // Why ok is false: MaskUnreadable, NoMemory (or a mask of 2^32 pixels or more),
  // MaskWithoutAreas.
  Analysis failure = Analysis::MaskUnreadable;
};

// Replaces `cells` by the colour areas of the mask JPEG at `maskPath`, each with its bounding
// rectangle, area and shape. 0 when the mask cannot be read, a buffer cannot be had, no pixel
// is labelled, or the regrowing cannot finish.
MaskSegmentation BuildMaskCells(std::vector<MosaicCell>& cells, const std::string& maskPath);

// The segmentation behind BuildMaskCells, on a mask already in memory. Takes the mask by value
// so that its pixels can be freed as soon as the labels are made (masks have no size limit).
MaskSegmentation SegmentMask(std::vector<MosaicCell>& cells, Image mask);

// Mask mode: cells from the mask, mosaic size, colour records and neighbour lists for `image`;
// Ready when ready for matching.
Analysis AnalyseSourceMask(MosaicJob& job, Mosaic& mosaic, const Image& image,
                      const std::string& maskPath, ImageCollection& collection);

// A picture of the areas, every area filled with its own flat colour; none when there is nothing
// to draw.
std::optional<Image> RenderMaskInfo(const std::vector<MosaicCell>& cells);

}  // namespace tessarix
