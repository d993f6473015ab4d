#include <algorithm>
#include <cstdint>

#include "engine/tile_matcher.h"

namespace tessarix {

bool TileMatcher::OfferMultiUse(CollectionEntry& image) {
  candidates_.clear();
  kept_.Clear();
  if (pool_ != nullptr) {
    if (!MeasureAhead(image, Scan::OwnBound) || job_.StopRequested())
      return false;
    CollectFound(image);
  } else {
    for (uint32_t i = 0; i < cells_.size(); ++i) {
      if (job_.StopRequested())
        return false;
      ConsiderCell(i, image, false);
    }
  }
  // Ascending distance; a new pair goes before older pairs of equal distance, so among equals
  // the later cell comes first.
  std::sort(candidates_.begin(), candidates_.end(), [](const Candidate& a, const Candidate& b) {
    return a.distance != b.distance ? a.distance < b.distance : a.cell > b.cell;
  });
  uint32_t uses = image.useCount;
  for (const Candidate& candidate : candidates_) {
    if (uses > maxUse_)
      break;
    MosaicCell& cell = cells_[candidate.cell];
    if (spacing_ > 0 && kept_.TooClose(cell))
      continue;
    if (CollectionEntry* previous = cell.assigned) {
      if (previous->valid == 1 && processedCount_ > 0)
        --processedCount_;
      if (previous->useCount > 0)
        --previous->useCount;
      previous->valid = 0;
    }
    ++uses;
    cell.assigned = &image;
    cell.assignedDistance = candidate.distance;
    MarkChanged(candidate.cell);
    if (spacing_ > 0)
      kept_.Add(candidate.cell);
  }
  image.valid = 1;
  image.useCount = uses;
  return true;
}

// The multi-use scan's step for cell i: a cell the image holds is kept, one it improves becomes
// a candidate. Only whether a cell is kept matters to the spacing test, not the order.
void TileMatcher::ConsiderCell(uint32_t i, const CollectionEntry& image, bool measuredAhead) {
  const MosaicCell& cell = cells_[i];
  if (!cell.hasInfo)
    return;
  if (cell.assigned == &image) {
    // Cells kept from earlier offers take part in the spacing test before any new one, even
    // when a new cell matches perfectly.
    kept_.Add(i);
    return;
  }
  if (cell.assignedDistance == 0)
    return;
  const uint32_t bound = cell.assignedDistance;
  const uint32_t d = measuredAhead
                         ? Measured(i, image, bound)
                         : Distance(cell.info, image.info, image.portrait, bound, params_);
  if (d < bound)
    candidates_.push_back({i, d});
}

// The multi-use scan from what the round found: the kept cells and candidates of the image's
// row, except for the cells an earlier offer of the round changed, which are considered anew.
// Walking every cell again on one thread would cost about as much as measuring them did.
void TileMatcher::CollectFound(const CollectionEntry& image) {
  const size_t row = row_ / cells_.size();
  for (size_t r = 0; r < ranges_; ++r) {
    for (const Candidate& found : found_[row * ranges_ + r].list) {
      if (changedRound_[found.cell] == round_)
        continue;
      if (found.distance == kKept)
        kept_.Add(found.cell);
      else
        candidates_.push_back(found);
    }
  }
  for (const uint32_t i : changed_) ConsiderCell(i, image, true);
}

}  // namespace tessarix
