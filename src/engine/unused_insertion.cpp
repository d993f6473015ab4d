#include <cstdint>

#include "engine/tile_matcher.h"
#include "platform/text_format.h"

namespace tessarix {
namespace {

constexpr int kInsertionStage = 6;

}  // namespace

bool TileMatcher::InsertUnused() {
  job_.EndStage();
  job_.BeginStage(kInsertionStage, static_cast<double>(cells_.size()));
  job_.SetStatus("Inserting not used Images into the mosaic...");
  const size_t count = collection_.Size();
  if (mosaic_.useAllImages && cells_.size() >= count && maxUse_ != 1) {
    for (size_t e = 0; e < count; ++e) {
      CollectionEntry& entry = collection_.Entry(e);
      entry.valid = entry.useCount > 0 ? 1 : 0;
    }
    long inserted = 0;
    for (size_t e = 0; e < count; ++e) {
      job_.AddStageProgress(1);
      CollectionEntry& image = collection_.Entry(e);
      if (image.valid != 0)
        continue;
      uint32_t best = kNoDistance;
      MosaicCell* bestCell = nullptr;
      for (MosaicCell& cell : cells_) {
        if (job_.StopRequested())
          return false;
        if (!cell.hasInfo)
          continue;
        // An image that sits in a single cell is never taken out again.
        if (cell.assigned != nullptr && cell.assigned->useCount <= 1)
          continue;
        const uint32_t d = Distance(cell.info, image.info, image.portrait, best, params_);
        if (d < best) {
          best = d;
          bestCell = &cell;
        }
      }
      if (bestCell == nullptr)
        continue;
      if (CollectionEntry* previous = bestCell->assigned) {
        if (previous->useCount > 0)
          --previous->useCount;
        if (previous->useCount == 0)
          previous->valid = 0;
      }
      image.useCount = 1;
      image.valid = 1;
      bestCell->assigned = &image;
      bestCell->assignedDistance = best;
      ++inserted;
      if (job_.StatusSeen()) {
        job_.SetStatus(Format("Inserting %ld not used Images into the mosaic...", inserted));
      }
    }
  }
  job_.EndStage();
  return true;
}

}  // namespace tessarix
