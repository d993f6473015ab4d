#include "engine/matching.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "color/distance.h"
#include "engine/rendering.h"
#include "platform/memory_limit.h"
#include "platform/text_format.h"
#include "platform/work_pool.h"

namespace tessarix {
namespace {

constexpr uint32_t kUnlimited = 0xFFFFFFFFu;
constexpr uint64_t kU64Max = std::numeric_limits<uint64_t>::max();
constexpr int kMatchingStage = 8;
constexpr int kInsertionStage = 6;
constexpr size_t kStatusPathLength = 65;
constexpr size_t kRoundDistances = 65536;
constexpr size_t kMaxAhead = 32;
// Marks a cell the offered image already holds in a round's list of found cells; a candidate's
// distance is always below its bound and so never this.
constexpr uint32_t kKept = 0xFFFFFFFFu;
constexpr uint32_t kNoCell = 0xFFFFFFFFu;
constexpr size_t kNoRange = static_cast<size_t>(-1);

uint64_t AbsDiff(uint32_t a, uint32_t b) {
  return a > b ? a - b : b - a;
}

// Squared distance between the top-left corners of two cells. Each square fits in 64 bits; only
// their sum can overflow, and then it is certainly not below any threshold we can hold.
uint64_t SquaredCornerDistance(const MosaicCell& a, const MosaicCell& b) {
  const uint64_t dt = AbsDiff(a.top, b.top);
  const uint64_t dl = AbsDiff(a.left, b.left);
  const uint64_t sum = dt * dt + dl * dl;
  return sum < dt * dt ? kU64Max : sum;
}

struct Candidate {
  uint32_t cell;
  uint32_t distance;
};

// One CreateMosaic run over one source photo. The processed flag of an entry is its `valid`
// field; processedCount counts the entries offered and not displaced since.
class TileMatcher {
 public:
  TileMatcher(MosaicJob& job, Mosaic& mosaic)
      : job_(job),
        mosaic_(mosaic),
        cells_(mosaic.cells),
        collection_(*mosaic.collection),
        params_(mosaic.params) {
    maxUse_ = params_.maxDuplicateCount == 0 ? kUnlimited : params_.maxDuplicateCount;
    // D squared times the average cell area: the distance limit is D average cell sides. W * H
    // alone can pass 32 bits, and with D squared it easily does.
    const uint64_t averageArea = uint64_t{mosaic.width} * mosaic.height / cells_.size();
    const uint64_t d = params_.minDuplicateDistance;
    spacing_ = SaturatingProduct(averageArea, SaturatingProduct(d, d));
    candidates_.reserve(cells_.size());
    // "Exponential" mostly stops at the averages: too little work per distance to share.
    if (params_.threads > 1 && cells_.size() > 1 && params_.algorithm != kExponential &&
        cells_.size() >= params_.parallelMatchingCells) {
      pool_ = std::make_unique<WorkPool>(params_.threads);
      // One offer is too little work to share; a round measures the next few offers together,
      // about kRoundDistances distances, so that waiting for the threads is rare.
      aheadLimit_ = std::clamp<size_t>(kRoundDistances / cells_.size(), 1, kMaxAhead);
      // A few ranges per thread even out cells that end early against those that run long.
      const size_t rangesPerThread = 8;
      grain_ = std::max<size_t>(16, (cells_.size() + params_.threads * rangesPerThread - 1) /
                                        (size_t{params_.threads} * rangesPerThread));
      ranges_ = (cells_.size() + grain_ - 1) / grain_;
      changedRound_.assign(cells_.size(), 0);
      known_ = std::make_unique<std::atomic<uint32_t>[]>(aheadLimit_);
    }
  }

  // False when stopped.
  bool Assign() {
    const size_t count = collection_.Size();
    job_.BeginStage(kMatchingStage, static_cast<double>(count));
    for (;;) {
      if (job_.StopRequested())
        return false;
      CollectionEntry* image = ChooseNext();
      if (image == nullptr)
        return true;
      if (job_.StatusSeen()) {
        job_.SetStatus("Processing Tile: " + ShortenPath(image->path, kStatusPathLength));
      }
      job_.SetStageProgress(processedCount_);
      ++processedCount_;
      bool finished;
      if (params_.minSequenceDistance > 0) {
        finished = OfferSequence(*image);
      } else if (maxUse_ == 1) {
        finished = OfferSingleUse(*image);
      } else {
        finished = OfferMultiUse(*image);
      }
      if (!finished)
        return false;
    }
  }

  // False when stopped.
  bool InsertUnused() {
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
          if (cell.hasInfo == 0)
            continue;
          // An image that sits in a single cell is never taken out again.
          if (cell.assigned != nullptr && cell.assigned->useCount <= 1)
            continue;
          const uint32_t d = Distance(cell.info, image.info, image.portrait != 0, best, params_);
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

 private:
  // The next entry not yet processed, walking on from the cursor in collection order; the walk
  // goes back to the first entry at most once, and only while some entry is still unprocessed.
  CollectionEntry* ChooseNext() {
    const size_t count = collection_.Size();
    size_t pos = mosaic_.cursorSet ? mosaic_.entryCursor : count;
    bool restarted = false;
    for (;;) {
      if (pos >= count) {
        if (restarted || processedCount_ >= count)
          return nullptr;
        pos = 0;
        restarted = true;
      }
      CollectionEntry& entry = collection_.Entry(pos);
      ++pos;
      if (entry.valid == 1)
        continue;
      mosaic_.entryCursor = pos;
      mosaic_.cursorSet = true;
      return &entry;
    }
  }

  // Takes `cell` away from the image it holds in the one-cell-per-image strategies.
  void Displace(MosaicCell& cell) {
    CollectionEntry* previous = cell.assigned;
    if (previous == nullptr)
      return;
    previous->useCount = 0;
    if (previous->valid == 1 && processedCount_ > 0)
      --processedCount_;
    previous->valid = 0;
  }

  // The one-cell-per-image strategies: `image` takes `cell` from whatever held it.
  void PlaceAlone(MosaicCell& cell, CollectionEntry& image, uint32_t distance) {
    Displace(cell);
    image.useCount = 1;
    cell.assigned = &image;
    cell.assignedDistance = distance;
    MarkChanged(static_cast<uint32_t>(&cell - cells_.data()));
  }

  // Each image goes to at most one cell: the closest, the first in list order among equals. A
  // required image ignores what the cells hold and locks the cell it takes.
  bool OfferSingleUse(CollectionEntry& image) {
    const bool required = image.required > 0;
    // A required image's bound is the running best alone, which only the scan itself knows: its
    // row measured ahead goes unused.
    if (pool_ != nullptr && !MeasureAhead(image, Scan::SingleUse))
      return false;
    std::optional<Candidate> found;
    if (pool_ != nullptr && !required) {
      if (!job_.StopRequested())
        found = BestOfRanges(image);
    } else {
      found = ScanSingleUse(image, 0, cells_.size(), required, false);
    }
    if (!found)
      return false;
    if (found->cell != kNoCell) {
      MosaicCell& cell = cells_[found->cell];
      PlaceAlone(cell, image, found->distance);
      if (required)
        cell.locked = 1;
    }
    image.valid = 1;
    return true;
  }

  // The single-use scan over the cells [begin, end): the closest cell, the first among equals,
  // or kNoCell. None when a stop was requested.
  std::optional<Candidate> ScanSingleUse(const CollectionEntry& image, size_t begin, size_t end,
                                         bool required, bool measuredAhead) {
    Candidate best{kNoCell, kNoDistance};
    for (size_t i = begin; i < end; ++i) {
      if (job_.StopRequested())
        return std::nullopt;
      const MosaicCell& cell = cells_[i];
      if (cell.hasInfo == 0 || cell.locked != 0)
        continue;
      const uint32_t bound =
          required ? best.distance : std::min(best.distance, cell.assignedDistance);
      if (bound == 0)
        continue;  // nothing beats 0
      const uint32_t d = measuredAhead
                             ? Measured(static_cast<uint32_t>(i), image, bound)
                             : Distance(cell.info, image.info, image.portrait != 0, bound, params_);
      if (d < bound)
        best = {static_cast<uint32_t>(i), d};
    }
    return best;
  }

  // The single-use scan from the ranges' own results. Without the averages test of
  // "Exponential" (which never runs on the pool), a cell is taken exactly when its distance is
  // below the cell's own and below every earlier cell's taken: so the scan ends on the smallest
  // such distance, at its first cell, and that is the best of the ranges' bests, the first range
  // among equals. Since a range was measured, the earlier offers of the round have only lowered
  // the distances of the cells they took, or locked them (a required image, the only one that
  // may raise a cell's distance, locks the cell): cells can only have dropped out, and the
  // range's best stands unless it is one of them; otherwise the range is scanned anew. A range
  // measured below a bound misses only cells at or over it, which cannot matter when the best of
  // all ranges comes out below that bound; a range whose bound the best reaches is scanned anew.
  std::optional<Candidate> BestOfRanges(const CollectionEntry& image) {
    const size_t first = row_ / cells_.size() * ranges_;
    Candidate best{kNoCell, kNoDistance};
    size_t bestRange = kNoRange;
    const auto consider = [&](size_t r, const Candidate& local) {
      if (local.cell != kNoCell &&
          (local.distance < best.distance || (local.distance == best.distance && r < bestRange))) {
        best = local;
        bestRange = r;
      }
    };
    // A range scanned anew has no bound left; false when stopped.
    const auto rescan = [&](size_t r) {
      const std::optional<Candidate> local = ScanRange(image, r);
      if (!local)
        return false;
      rangeBound_[first + r] = kNoDistance;
      consider(r, *local);
      return true;
    };
    for (size_t r = 0; r < ranges_; ++r) {
      const Candidate& measured = rangeBest_[first + r];
      if (measured.cell == kNoCell || changedRound_[measured.cell] != round_)
        consider(r, measured);
      else if (!rescan(r))
        return std::nullopt;
    }
    for (size_t r = 0; r < ranges_; ++r) {
      const uint32_t bound = rangeBound_[first + r];
      if (bound != kNoDistance && best.distance >= bound && !rescan(r))
        return std::nullopt;
    }
    return best;
  }

  // The single-use scan over range r alone, from the distances measured ahead.
  std::optional<Candidate> ScanRange(const CollectionEntry& image, size_t r) {
    return ScanSingleUse(image, r * grain_, std::min(cells_.size(), (r + 1) * grain_), false, true);
  }

  bool Conflicts(uint32_t sequence, const CollectionEntry* held) const {
    if (held == nullptr || held->sequenceNumber == 0)
      return false;
    const int64_t gap = int64_t{sequence} - int64_t{held->sequenceNumber};
    return (gap < 0 ? -gap : gap) <= int64_t{params_.minSequenceDistance};
  }

  // Movie frames: like single use, but a frame may not go near a frame of nearly the same
  // position: near means a neighbour of the cell, or anywhere in the mosaic without spacing.
  bool OfferSequence(CollectionEntry& image) {
    const uint32_t sequence = image.sequenceNumber;
    const bool portrait = image.portrait != 0;
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
      if (cell.hasInfo == 0)
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

  // The multi-use scan's step for cell i: a cell the image holds is kept, one it improves becomes
  // a candidate. Only whether a cell is kept matters to the spacing test, not the order.
  void ConsiderCell(uint32_t i, const CollectionEntry& image, bool measuredAhead) {
    const MosaicCell& cell = cells_[i];
    if (cell.hasInfo == 0)
      return;
    if (cell.assigned == &image) {
      // Cells kept from earlier offers take part in the spacing test before any new one, even
      // when a new cell matches perfectly.
      kept_.push_back(i);
      return;
    }
    if (cell.assignedDistance == 0)
      return;
    const uint32_t bound = cell.assignedDistance;
    const uint32_t d = measuredAhead
                           ? Measured(i, image, bound)
                           : Distance(cell.info, image.info, image.portrait != 0, bound, params_);
    if (d < bound)
      candidates_.push_back({i, d});
  }

  // The multi-use scan from what the round found: the kept cells and candidates of the image's
  // row, except for the cells an earlier offer of the round changed, which are considered anew.
  // Walking every cell again on one thread would cost about as much as measuring them did.
  void CollectFound(const CollectionEntry& image) {
    const size_t row = row_ / cells_.size();
    for (size_t r = 0; r < ranges_; ++r) {
      for (const Candidate& found : found_[row * ranges_ + r].list) {
        if (changedRound_[found.cell] == round_)
          continue;
        if (found.distance == kKept)
          kept_.push_back(found.cell);
        else
          candidates_.push_back(found);
      }
    }
    for (const uint32_t i : changed_) ConsiderCell(i, image, true);
  }

  // Notes that cell i's assignment moved during the current round.
  void MarkChanged(uint32_t i) {
    if (pool_ != nullptr && changedRound_[i] != round_) {
      changedRound_[i] = round_;
      changed_.push_back(i);
    }
  }

  bool TooClose(const MosaicCell& cell) const {
    for (uint32_t k : kept_) {
      if (SquaredCornerDistance(cells_[k], cell) < spacing_)
        return true;
    }
    return false;
  }

  // An image may fill every cell it improves, nearest first and among equals the later cell
  // first, as long as no two of its cells are closer than the spacing threshold and it has not
  // passed maxUse before the next assignment.
  bool OfferMultiUse(CollectionEntry& image) {
    candidates_.clear();
    kept_.clear();
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
      if (spacing_ > 0 && TooClose(cell))
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
        kept_.push_back(candidate.cell);
    }
    image.valid = 1;
    image.useCount = uses;
    return true;
  }

  enum class Scan { OwnBound, SingleUse, Sequence };

  // The cells of the whole mosaic that hold a frame too close to `sequence`.
  size_t CountConflicts(uint32_t sequence) const {
    size_t count = 0;
    for (const MosaicCell& other : cells_) count += Conflicts(sequence, other.assigned);
    return count;
  }

  // Whether the sequence scan passes over `cell` for a frame of number `sequence`, given the
  // number of conflicting cells in the whole mosaic (used without spacing; the cell's own image
  // is discounted).
  bool SequenceConflict(const MosaicCell& cell, uint32_t sequence, size_t conflictCount) const {
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

  // Lowers image k's best found so far in the round to `distance`.
  void LowerKnown(size_t k, uint32_t distance) {
    uint32_t known = known_[k].load(std::memory_order_relaxed);
    while (distance < known &&
           !known_[k].compare_exchange_weak(known, distance, std::memory_order_relaxed)) {
    }
  }

  // Makes the distances of `image` to every cell ready for its offer. They are measured on the
  // pool, ahead, together with those of the images expected to be offered after it: the next
  // unprocessed entries in collection order, which is what ChooseNext returns as long as no offer
  // displaces an image lying ahead of the cursor. An offer that does not find its image in that
  // order measures a new round. False when a stop was requested.
  bool MeasureAhead(CollectionEntry& image, Scan scan) {
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
  void AdaptRoundSize() {
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
  void MeasureRange(const CollectionEntry& image, Scan scan, size_t begin, size_t end, size_t k) {
    const size_t row = k * cells_.size();
    // The multi-use scan also lists what it found, so that its offer need not walk every cell.
    std::vector<Candidate>* found =
        scan == Scan::OwnBound ? &found_[k * ranges_ + begin / grain_].list : nullptr;
    if (found != nullptr)
      found->clear();
    const bool portrait = image.portrait != 0;
    const bool sequenceScan = scan == Scan::Sequence;
    const uint32_t sequence = image.sequenceNumber;
    const size_t conflictCount = conflictCounts_[k];
    Candidate best{kNoCell, kNoDistance};
    for (size_t i = begin; i < end; ++i) {
      const MosaicCell& cell = cells_[i];
      const uint32_t bound = std::min(best.distance, cell.assignedDistance);
      // A cell left unmeasured gets bound 0, which Measured never takes as an answer.
      uint32_t d = kNoDistance, measuredBound = 0;
      if (found != nullptr && cell.hasInfo != 0 && cell.assigned == &image) {
        found->push_back({static_cast<uint32_t>(i), kKept});
      } else if (cell.hasInfo != 0 && bound != 0) {
        d = Distance(cell.info, image.info, portrait, bound, params_);
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
  void MeasureSingleUseRange(const CollectionEntry& image, size_t begin, size_t end, size_t k) {
    const size_t row = k * cells_.size();
    const bool portrait = image.portrait != 0;
    const uint32_t known = known_[k].load(std::memory_order_relaxed);
    const uint32_t outside = known == kNoDistance ? kNoDistance : known + 1;
    Candidate best{kNoCell, kNoDistance};
    for (size_t i = begin; i < end; ++i) {
      const MosaicCell& cell = cells_[i];
      const uint32_t bound = std::min({best.distance, outside, cell.assignedDistance});
      uint32_t d = kNoDistance, measuredBound = 0;
      if (cell.hasInfo != 0 && cell.locked == 0 && bound != 0) {
        d = Distance(cell.info, image.info, portrait, bound, params_);
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

  // What Distance(cell i, image, bound) returns, as far as the caller can tell (which is only
  // whether it is below `bound`, and then its value), from the value measured ahead with another
  // bound. Every distance only grows while it is summed and is abandoned only once it passes the
  // bound, so:
  // - measured with a looser bound, a value that reaches `bound` would also have reached it;
  // - measured with a tighter bound, a value below that bound is the complete distance, which a
  //   looser bound gives too.
  // Otherwise the call is repeated with `bound`: below a tighter bound, because the early exit on
  // the averages ("Exponential") may reject a pair the looser bound let through; at or over a
  // looser bound, because the sum was abandoned. Both happen only when the assignment moved
  // since the measurement, or a cell becomes the best so far, which is rare.
  uint32_t Measured(uint32_t i, const CollectionEntry& image, uint32_t bound) const {
    const uint32_t d = measured_[row_ + i];
    const uint32_t measuredBound = measuredBound_[row_ + i];
    if (bound == measuredBound || (bound < measuredBound ? d >= bound : d < measuredBound))
      return d;
    const MosaicCell& cell = cells_[i];
    return Distance(cell.info, image.info, image.portrait != 0, bound, params_);
  }

  MosaicJob& job_;
  Mosaic& mosaic_;
  std::vector<MosaicCell>& cells_;
  ImageCollection& collection_;
  const EngineParameters& params_;
  uint32_t maxUse_ = kUnlimited;
  uint64_t spacing_ = 0;  // Q: squared corner distances below it are too close
  size_t processedCount_ = 0;
  std::vector<Candidate> candidates_;
  std::vector<uint32_t> kept_;           // cells holding the offered image, for the spacing test
  std::unique_ptr<WorkPool> pool_;       // only with more than one thread
  std::vector<CollectionEntry*> ahead_;  // the images measured in the last round, in order
  size_t aheadNext_ = 0;                 // the next of them expected to be offered
  size_t aheadLimit_ = 1;                // images measured in one round at most
  size_t roundSize_ = 1;                 // images measured in the next round
  size_t row_ = 0;                       // start of the offered image's row
  std::vector<uint32_t> measured_;       // per image and cell: the distance measured ahead
  std::vector<uint32_t> measuredBound_;  // per image and cell: the bound it was measured with
  size_t grain_ = 1;
  size_t ranges_ = 0;  // ranges of grain_ cells the pool measures
  // Each range's list on a cache line of its own: the threads fill neighbouring lists at once.
  struct alignas(64) FoundList {
    std::vector<Candidate> list;
  };
  std::vector<FoundList> found_;        // per image and range: kept cells and candidates
  uint32_t round_ = 0;                  // rounds measured so far
  std::vector<uint32_t> changedRound_;  // per cell: the round in which it last changed
  std::vector<uint32_t> changed_;       // the cells changed in the current round
  std::vector<Candidate> rangeBest_;    // per image and range: the single-use scan's result
  std::vector<uint32_t> rangeBound_;    // per image and range: the bound the range started from,
                                        // kNoDistance once nothing was left out
  // Per image of the round: the smallest single-use distance any range has found so far.
  std::unique_ptr<std::atomic<uint32_t>[]> known_;
  std::vector<size_t> conflictCounts_;  // per image of the round: conflicting cells (no spacing)
};

}  // namespace

int ResetAssignment(MosaicJob& job, Mosaic& mosaic) {
  if (mosaic.collection == nullptr || mosaic.cells.empty() || mosaic.collection->IsEmpty()) {
    return 0;
  }
  job.SetStatus("Initializing Mosaic...");
  for (MosaicCell& cell : mosaic.cells) {
    cell.assigned = nullptr;
    cell.assignedDistance = kNoDistance;
    cell.locked = 0;
  }
  ImageCollection& collection = *mosaic.collection;
  for (size_t e = 0; e < collection.Size(); ++e) {
    collection.Entry(e).valid = 0;
    collection.Entry(e).useCount = 0;
  }
  mosaic.entryCursor = 0;
  mosaic.cursorSet = false;
  return 1;
}

bool AssignTiles(MosaicJob& job, Mosaic& mosaic) {
  if (mosaic.collection == nullptr || mosaic.cells.empty() || mosaic.collection->IsEmpty()) {
    return false;
  }
  TileMatcher matcher(job, mosaic);
  return matcher.Assign() && matcher.InsertUnused();
}

void CreateMosaic(MosaicJob& job, Mosaic& mosaic) {
  if (AssignTiles(job, mosaic))
    RenderFinalMosaic(job, mosaic);
}

}  // namespace tessarix
