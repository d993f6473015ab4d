#pragma once

// A small matching problem built by hand, and what the matching tests read back from it.

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "collection/image_collection.h"
#include "color/distance.h"
#include "engine/matching.h"
#include "engine/mosaic.h"

namespace tessarix {

using Cells = std::vector<int>;
using Values = std::vector<uint32_t>;

// One grey everywhere: under "Max" a cell of grey g and an image of grey t are 96 * |g - t|
// apart, so assignments can be worked out by hand.
inline ColorInfo Flat(uint32_t grey, uint32_t transparency = 0) {
  ColorInfo info;
  info.average = MakePixel(grey, grey, grey);
  info.grid.fill(MakePixel(grey, grey, grey, transparency));
  info.opaque = transparency == 0 ? 1 : 0;
  return info;
}

struct MatchingProblem {
  MatchingProblem() {
    mosaic.params.algorithm = kMax;
    mosaic.params.minDuplicateDistance = 0;
    mosaic.collection = &collection;
  }

  // Cells are 10 x 10 and lie in one row unless placed otherwise.
  MosaicCell& Cell(uint32_t grey, uint32_t hasInfo = 1) {
    MosaicCell& cell = mosaic.cells.emplace_back();
    cell.left = 10 * static_cast<uint32_t>(mosaic.cells.size() - 1);
    cell.width = cell.height = 10, cell.area = 100;
    cell.info = Flat(grey), cell.hasInfo = hasInfo;
    mosaic.width = cell.left + 10, mosaic.height = 10;
    return cell;
  }
  CollectionEntry& Entry(uint32_t grey, uint32_t sequence = 0, bool required = false) {
    auto entry = std::make_unique<CollectionEntry>();
    entry->path = "/tiles/" + std::to_string(collection.Size()) + ".jpg";
    entry->info = Flat(grey), entry->sequenceNumber = sequence, entry->required = required;
    return collection.Add(std::move(entry));
  }
  bool Match() { return ResetAssignment(job, mosaic) && AssignTiles(job, mosaic); }

  // Per cell, the collection index of its image, -1 when empty.
  Cells Layout() const {
    Cells layout;
    for (const MosaicCell& cell : mosaic.cells) {
      layout.push_back(-1);
      for (size_t e = 0; e < collection.Size(); ++e)
        if (cell.assigned == &collection.Entry(e))
          layout.back() = static_cast<int>(e);
    }
    return layout;
  }
  // Per cell its distance and lock, then per entry its use count.
  std::tuple<Values, Values, Values> Counts() const {
    Values distances, locks, uses;
    for (const MosaicCell& cell : mosaic.cells)
      distances.push_back(cell.assignedDistance), locks.push_back(cell.locked);
    for (size_t e = 0; e < collection.Size(); ++e) uses.push_back(collection.Entry(e).useCount);
    return {distances, locks, uses};
  }
  Values Distances() const { return std::get<0>(Counts()); }

  MosaicJob job;
  ImageCollection collection;
  Mosaic mosaic;
};

}  // namespace tessarix
