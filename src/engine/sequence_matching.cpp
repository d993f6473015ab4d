#include <cstdint>
#include <optional>

#include "engine/tile_matcher.h"

namespace tessarix {

bool TileMatcher::OfferSequence(CollectionEntry& image) {
  const uint32_t sequence = image.sequenceNumber;
  const bool portrait = image.portrait;
  // Without spacing every other cell is near. Nothing is assigned during the scan, so the
  // conflicting cells are counted once, when first needed.
  std::optional<size_t> conflictCount;
  const bool parallel = pool_ != nullptr;
  if (parallel && !MeasureAhead(image, Scan::Sequence))
    return false;
  uint32_t best = kNoDistance;
  MosaicCell* bestCell = nullptr;
  for (uint32_t i = 0; i < cells_.size(); ++i) {
    if (job_.StopRequested())
      return false;
    MosaicCell& cell = cells_[i];
    if (!cell.hasInfo)
      continue;
    const uint32_t bound = std::min(best, cell.assignedDistance);
    if (bound == 0)
      continue;
    const uint32_t d = parallel ? Measured(i, image, bound)
                                : Distance(cell.info, image.info, portrait, bound, params_);
    if (d >= bound)
      continue;
    if (sequence != 0 && spacing_ == 0 && !conflictCount)
      conflictCount = CountConflicts(sequence);
    if (SequenceConflict(cell, sequence, conflictCount.value_or(0)))
      continue;
    best = d;
    bestCell = &cell;
  }
  if (bestCell != nullptr)
    PlaceAlone(*bestCell, image, best);
  image.valid = 1;
  return true;
}

bool TileMatcher::Conflicts(uint32_t sequence, const CollectionEntry* held) const {
  if (held == nullptr || held->sequenceNumber == 0)
    return false;
  const int64_t gap = int64_t{sequence} - int64_t{held->sequenceNumber};
  return (gap < 0 ? -gap : gap) <= int64_t{params_.minSequenceDistance};
}

size_t TileMatcher::CountConflicts(uint32_t sequence) const {
  size_t count = 0;
  for (const MosaicCell& other : cells_) count += Conflicts(sequence, other.assigned);
  return count;
}

bool TileMatcher::SequenceConflict(const MosaicCell& cell, uint32_t sequence,
                                   size_t conflictCount) const {
  if (sequence == 0)
    return false;
  if (spacing_ == 0)
    return conflictCount > (Conflicts(sequence, cell.assigned) ? 1u : 0u);
  for (uint32_t n : cell.neighbours) {
    if (n < cells_.size() && Conflicts(sequence, cells_[n].assigned))
      return true;
  }
  return false;
}

}  // namespace tessarix
