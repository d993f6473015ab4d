#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>

#include "engine/tile_matcher.h"

namespace tessarix {
namespace {

// Cells tested against the floor together: enough to fill the vectors, few enough to stay in the
// first cache.
constexpr size_t kFloorChunk = 64;

}  // namespace

// Makes the distances of `image` to every cell ready for its offer. They are measured on the
// pool, ahead, together with those of the images expected to be offered after it: the next
// unprocessed entries in collection order, which is what ChooseNext returns as long as no offer
// displaces an image lying ahead of the cursor. An offer that does not find its image in that
// order measures a new round. False when a stop was requested.
bool TileMatcher::MeasureAhead(CollectionEntry& image, Scan scan) {
  if (aheadNext_ < ahead_.size() && ahead_[aheadNext_] == &image) {
    row_ = aheadNext_++ * cells_.size();
    return true;
  }
  AdaptRoundSize();
  ahead_.assign(1, &image);
  const size_t count = collection_.Size();
  for (size_t pos = mosaic_.entryCursor; pos < count && ahead_.size() < roundSize_; ++pos) {
    CollectionEntry& next = collection_.Entry(pos);
    if (next.valid != 1)
      ahead_.push_back(&next);
  }
  measured_.resize(ahead_.size() * cells_.size());
  measuredBound_.resize(measured_.size());
  ++round_;
  changed_.clear();
  if (found_.size() < ahead_.size() * ranges_)
    found_.resize(ahead_.size() * ranges_);
  rangeBest_.resize(ahead_.size() * ranges_);
  rangeBound_.resize(ahead_.size() * ranges_);
  for (size_t k = 0; k < ahead_.size(); ++k)
    known_[k].store(kNoDistance, std::memory_order_relaxed);
  if (floorApplies_) {
    tileFloors_.clear();
    for (const CollectionEntry* next : ahead_) {
      const bool horizontalOnly = params_.algorithm == kFlipHorizontal && !next->portrait;
      tileFloors_.emplace_back(next->info, params_.modifyLimit, horizontalOnly);
    }
  }
  // Without spacing a frame conflicts with the whole mosaic: counted once per image, not per
  // range.
  conflictCounts_.assign(ahead_.size(), 0);
  if (scan == Scan::Sequence && spacing_ == 0) {
    for (size_t k = 0; k < ahead_.size(); ++k) {
      const uint32_t sequence = ahead_[k]->sequenceNumber;
      if (sequence != 0)
        conflictCounts_[k] = CountConflicts(sequence);
    }
  }
  std::atomic<bool> stopped{false};
  pool_->ParallelFor(cells_.size(), grain_, [&](size_t begin, size_t end) {
    for (size_t k = 0; k < ahead_.size(); ++k) {
      if (job_.StopRequested()) {
        stopped.store(true, std::memory_order_relaxed);
        return;
      }
      if (scan == Scan::SingleUse)
        MeasureSingleUseRange(*ahead_[k], begin, end, k);
      else
        MeasureRange(*ahead_[k], scan, begin, end, k);
    }
  });
  row_ = 0;
  aheadNext_ = 1;
  return !stopped.load();
}

// Images measured ahead are measured against the assignment as the round found it. While the
// offers still move many cells (early on, an image fills every cell it improves), the later
// images of a long round would be measured against bounds far looser than their offers will
// see, and waste the work; once the assignment settles, long rounds pay. So rounds shrink
// while much changes and grow while little does.
void TileMatcher::AdaptRoundSize() {
  if (changed_.size() * 16 > cells_.size())
    roundSize_ = std::max<size_t>(1, roundSize_ / 2);
  else
    roundSize_ = std::min(aheadLimit_, roundSize_ * 2);
}

// Measures `image` against the cells [begin, end) as the scan in list order would, with the
// assignment as it is now, into row k. Each cell's bound may differ from the one the scan will
// use when the image is offered; Measured makes up for that. The multi-use scan's bound is the
// cell's own assignedDistance; it also lists the cells it keeps and the candidates. The
// sequence scan's best moves only at cells without a conflict, so the range tests conflicts as
// well.
void TileMatcher::MeasureRange(const CollectionEntry& image, Scan scan, size_t begin, size_t end,
                               size_t k) {
  const size_t row = k * cells_.size();
  // The multi-use scan also lists what it found, so that its offer need not walk every cell.
  std::vector<Candidate>* found =
      scan == Scan::OwnBound ? &found_[k * ranges_ + begin / grain_].list : nullptr;
  if (found != nullptr)
    found->clear();
  const bool portrait = image.portrait;
  const bool sequenceScan = scan == Scan::Sequence;
  const uint32_t sequence = image.sequenceNumber;
  const size_t conflictCount = conflictCounts_[k];
  std::array<uint32_t, kFloorChunk> above;
  Candidate best{kNoCell, kNoDistance};
  for (size_t i = begin; i < end; ++i) {
    const size_t j = (i - begin) % kFloorChunk;
    if (j == 0)
      TestFloor(k, i, std::min(kFloorChunk, end - i), above.data());
    const MosaicCell& cell = cells_[i];
    const uint32_t bound = std::min(best.distance, cell.assignedDistance);
    // A cell left unmeasured gets bound 0, which Measured never takes as an answer.
    uint32_t d = kNoDistance, measuredBound = 0;
    if (found != nullptr && cell.hasInfo && cell.assigned == &image) {
      found->push_back({static_cast<uint32_t>(i), kKept});
    } else if (cell.hasInfo && bound != 0) {
      d = above[j] != 0 ? kNoDistance : Distance(cell.info, image.info, portrait, bound, params_);
      measuredBound = bound;
      if (found != nullptr && d < bound)
        found->push_back({static_cast<uint32_t>(i), d});
      if (d < bound && sequenceScan && !SequenceConflict(cell, sequence, conflictCount))
        best = {static_cast<uint32_t>(i), d};
    }
    measured_[row + i] = d;
    measuredBound_[row + i] = measuredBound;
  }
}

// MeasureRange for the single-use scan. Its bound starts from the best that the ranges
// measured so far, on any thread and in any order, found for the image, and its own best
// lowers that for the ranges after it: a thread need not begin its share with no bound at all.
// A cell at exactly that best is still measured in full, as the first of equals may lie in
// this range. Records the range's best and the bound it started from for BestOfRanges.
void TileMatcher::MeasureSingleUseRange(const CollectionEntry& image, size_t begin, size_t end,
                                        size_t k) {
  const size_t row = k * cells_.size();
  const bool portrait = image.portrait;
  const uint32_t known = known_[k].load(std::memory_order_relaxed);
  const uint32_t outside = known == kNoDistance ? kNoDistance : known + 1;
  std::array<uint32_t, kFloorChunk> above;
  Candidate best{kNoCell, kNoDistance};
  for (size_t i = begin; i < end; ++i) {
    const size_t j = (i - begin) % kFloorChunk;
    if (j == 0)
      TestFloor(k, i, std::min(kFloorChunk, end - i), above.data());
    const MosaicCell& cell = cells_[i];
    const uint32_t bound = std::min({best.distance, outside, cell.assignedDistance});
    uint32_t d = kNoDistance, measuredBound = 0;
    if (cell.hasInfo && !cell.locked && bound != 0) {
      d = above[j] != 0 ? kNoDistance : Distance(cell.info, image.info, portrait, bound, params_);
      measuredBound = bound;
      if (d < bound)
        best = {static_cast<uint32_t>(i), d};
    }
    measured_[row + i] = d;
    measuredBound_[row + i] = measuredBound;
  }
  const size_t at = k * ranges_ + begin / grain_;
  rangeBound_[at] = outside;
  rangeBest_[at] = best;
  if (best.cell != kNoCell)
    LowerKnown(k, best.distance);
}

// Every bound the scans use for a cell is at most the cell's own distance, and a pair above a
// bound is above every lower one.
void TileMatcher::TestFloor(size_t k, size_t begin, size_t n, uint32_t* above) {
  if (!floorApplies_) {
    std::fill_n(above, n, 0u);
    return;
  }
  std::array<uint32_t, kFloorChunk> bounds;
  for (size_t j = 0; j < n; ++j) bounds[j] = cells_[begin + j].assignedDistance;
  cellFloors_.Test(tileFloors_[k], begin, n, bounds.data(), above);
}

void TileMatcher::LowerKnown(size_t k, uint32_t distance) {
  uint32_t known = known_[k].load(std::memory_order_relaxed);
  while (distance < known &&
         !known_[k].compare_exchange_weak(known, distance, std::memory_order_relaxed)) {
  }
}

}  // namespace tessarix
