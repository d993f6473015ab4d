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
  // Why no cells were made: the JPEG file's failure when the mask cannot be read (already said
  // through the prompt), kRefused for an empty mask, kOutOfMemory when a buffer cannot be had or
  // the mask has 2^32 pixels or more (it names no file), kEmpty when the regrowing cannot finish
  // (it names the mask file when there is one).
  Status status;
  uint32_t maskWidth = 0;
  uint32_t maskHeight = 0;
};

// Replaces `cells` by the colour areas of the mask JPEG at `maskPath`, each with its bounding
// rectangle, area and shape.
MaskSegmentation BuildMaskCells(std::vector<MosaicCell>& cells, const std::string& maskPath);

// The segmentation behind BuildMaskCells, on a mask already in memory. Takes the mask by value
// so that its pixels can be freed as soon as the labels are made (masks have no size limit).
MaskSegmentation SegmentMask(std::vector<MosaicCell>& cells, Image mask);

// Mask mode: cells from the mask, mosaic size, colour records and neighbour lists for `image`,
// ready for matching. Fails as BuildMaskCells does, with kEmpty naming the mask when it leaves
// no cell, and as AnalyseSourceGrid does (kRefused, kOutOfMemory, kStopped, naming no file).
Status AnalyseSourceMask(MosaicJob& job, Mosaic& mosaic, const Image& image,
                         const std::string& maskPath, ImageCollection& collection);

// A picture of the areas, every area filled with its own flat colour; none when there is nothing
// to draw.
std::optional<Image> RenderMaskInfo(const std::vector<MosaicCell>& cells);

}  // namespace tessarix
