#pragma once

#include <cstdint>
#include <vector>

#include "collection/collection_entry.h"
#include "color/color_info.h"

namespace tessarix {

// One cell of the mosaic: a grid tile or one colour area of a mask.
struct MosaicCell {
  uint32_t top = 0, left = 0;     // position in the output mosaic, pixels
  uint32_t width = 0, height = 0;
  uint32_t area = 0;              // pixels of the cell; 0 = not part of the mosaic
  std::vector<bool> shape;        // mask cells only: one bit per rectangle pixel, row-major;
                                  // empty = the whole rectangle
  ColorInfo info;
  uint32_t hasInfo = 0;           // 1 once info was computed; cells with 0 are never matched
  bool portrait = false;          // thumbnailed as 8 x 12 and turned
  uint32_t locked = 0;            // a required image was placed here
  std::vector<uint32_t> neighbours;  // indexes of nearby cells in the cell list
  CollectionEntry* assigned = nullptr;
  uint32_t assignedDistance = 0xFFFFFFFFu;
};

// Whether pixel i (row-major within the cell's rectangle) belongs to the cell.
inline bool InsideShape(const MosaicCell& cell, uint64_t i) {
  if (cell.area == 0 || i >= uint64_t{cell.width} * cell.height) return false;
  if (cell.shape.empty()) return true;
  return cell.shape[i];
}

}  // namespace tessarix
