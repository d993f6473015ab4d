#pragma once

// What the matching tests read back from a finished assignment.

#include <cstdint>
#include <vector>

#include "collection/image_collection.h"
#include "engine/mosaic.h"

namespace tessarix {

// Per cell, the collection index of its image, -1 when empty.
inline std::vector<int> CellLayout(const Mosaic& mosaic, const ImageCollection& collection) {
  std::vector<int> layout;
  for (const MosaicCell& cell : mosaic.cells) {
    int index = -1;
    for (size_t e = 0; e < collection.Size(); ++e)
      if (cell.assigned == &collection.Entry(e))
        index = static_cast<int>(e);
    layout.push_back(index);
  }
  return layout;
}

inline std::vector<uint32_t> CellDistances(const Mosaic& mosaic) {
  std::vector<uint32_t> distances;
  for (const MosaicCell& cell : mosaic.cells) distances.push_back(cell.assignedDistance);
  return distances;
}

inline std::vector<uint32_t> EntryUseCounts(const ImageCollection& collection) {
  std::vector<uint32_t> counts;
  for (size_t e = 0; e < collection.Size(); ++e) counts.push_back(collection.Entry(e).useCount);
  return counts;
}

}  // namespace tessarix
