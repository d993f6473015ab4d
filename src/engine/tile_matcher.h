#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "color/distance.h"
#include "color/distance_floor.h"
#include "engine/mosaic.h"
#include "engine/spaced_cells.h"
#include "job_state/mosaic_job.h"
#include "platform/work_pool.h"

namespace tessarix {

// No cell: a scan that found nothing below its bound.
constexpr uint32_t kNoCell = 0xFFFFFFFFu;
// Marks a cell the offered image already holds in a round's list of found cells; a candidate's
// distance is always below its bound and so never this.
constexpr uint32_t kKept = 0xFFFFFFFFu;

// A cell index and a distance: a scan's best so far, or a multi-use candidate.
struct Candidate {
  uint32_t cell;
  uint32_t distance;
};

// One CreateMosaic run over one source photo. The processed flag of an entry is its `valid`
// field; processedCount counts the entries offered and not displaced since. The core
// (tile_matcher.cpp) offers the entries in turn to one of three strategies, each in a file of its
// own (single_use_matching.cpp, multi_use_matching.cpp, sequence_matching.cpp); with more than one
// thread, or with one where the distance floor applies, the strategies read distances measured
// ahead on the pool (measure_ahead.cpp). The insertion of images left unused is in
// unused_insertion.cpp.
class TileMatcher {
 public:
  TileMatcher(MosaicJob& job, Mosaic& mosaic);

  // False when stopped.
  bool Assign();
  // False when stopped.
  bool InsertUnused();

 private:
  // The scans MeasureAhead can measure for: the multi-use scan (each cell against its own
  // distance), the single-use scan and the sequence scan.
  enum class Scan { OwnBound, SingleUse, Sequence };

  // Each range's list on a cache line of its own: the threads fill neighbouring lists at once.
  struct alignas(64) FoundList {
    std::vector<Candidate> list;
  };

  // --- core (tile_matcher.cpp)
  // The next entry not yet processed, walking on from the cursor in collection order; the walk
  // goes back to the first entry at most once, and only while some entry is still unprocessed.
  CollectionEntry* ChooseNext();
  // Takes `cell` away from the image it holds in the one-cell-per-image strategies.
  void Displace(MosaicCell& cell);
  // The one-cell-per-image strategies: `image` takes `cell` from whatever held it.
  void PlaceAlone(MosaicCell& cell, CollectionEntry& image, uint32_t distance);
  // Notes that cell i's assignment moved during the current round.
  void MarkChanged(uint32_t i) {
    if (pool_ != nullptr && changedRound_[i] != round_) {
      changedRound_[i] = round_;
      changed_.push_back(i);
    }
  }

  // --- single use (single_use_matching.cpp)
  // Each image goes to at most one cell: the closest, the first in list order among equals. A
  // required image ignores what the cells hold and locks the cell it takes.
  bool OfferSingleUse(CollectionEntry& image);
  // The single-use scan over the cells [begin, end): the closest cell, the first among equals,
  // or kNoCell. None when a stop was requested.
  std::optional<Candidate> ScanSingleUse(const CollectionEntry& image, size_t begin, size_t end,
                                         bool required, bool measuredAhead);
  // The single-use scan from the ranges' own results measured ahead. None when stopped.
  std::optional<Candidate> BestOfRanges(const CollectionEntry& image);
  // The single-use scan over range r alone, from the distances measured ahead.
  std::optional<Candidate> ScanRange(const CollectionEntry& image, size_t r);

  // --- multiple use (multi_use_matching.cpp)
  // An image may fill every cell it improves, nearest first and among equals the later cell
  // first, as long as no two of its cells are closer than the spacing threshold and it has not
  // passed maxUse before the next assignment.
  bool OfferMultiUse(CollectionEntry& image);
  // The multi-use scan's step for cell i: a cell the image holds is kept, one it improves becomes
  // a candidate.
  void ConsiderCell(uint32_t i, const CollectionEntry& image, bool measuredAhead);
  // The multi-use scan from what the round found for the offered image.
  void CollectFound(const CollectionEntry& image);

  // --- sequences (sequence_matching.cpp)
  // Movie frames: like single use, but a frame may not go near a frame of nearly the same
  // position: near means a neighbour of the cell, or anywhere in the mosaic without spacing.
  bool OfferSequence(CollectionEntry& image);
  // Whether the frame `held` is too close in the sequence to frame number `sequence`.
  bool Conflicts(uint32_t sequence, const CollectionEntry* held) const;
  // The cells of the whole mosaic that hold a frame too close to `sequence`.
  size_t CountConflicts(uint32_t sequence) const;
  // Whether the sequence scan passes over `cell` for a frame of number `sequence`, given the
  // number of conflicting cells in the whole mosaic (used without spacing; the cell's own image
  // is discounted).
  bool SequenceConflict(const MosaicCell& cell, uint32_t sequence, size_t conflictCount) const;

  // --- measure ahead (measure_ahead.cpp)
  // Makes the distances of `image` to every cell ready for its offer, measured on the pool
  // together with those of the images expected to be offered after it. False when stopped.
  bool MeasureAhead(CollectionEntry& image, Scan scan);
  // Shrinks the rounds while the offers move many cells, grows them while few move.
  void AdaptRoundSize();
  // Measures `image` against the cells [begin, end) into row k, as the scan in list order would.
  void MeasureRange(const CollectionEntry& image, Scan scan, size_t begin, size_t end, size_t k);
  // MeasureRange for the single-use scan, sharing the best found so far between the ranges.
  void MeasureSingleUseRange(const CollectionEntry& image, size_t begin, size_t end, size_t k);
  // above[j] = 1 when the distance floor shows that image k of the round cannot come within the
  // own distance of cell begin + j, for j < n; all 0 when the floor does not apply.
  void TestFloor(size_t k, size_t begin, size_t n, uint32_t* above);
  // Lowers image k's best found so far in the round to `distance`.
  void LowerKnown(size_t k, uint32_t distance);
  // What Distance(cell i, image, bound) returns, as far as the caller can tell, from the value
  // measured ahead with another bound. Defined here: the scans call it once per cell.
  uint32_t Measured(uint32_t i, const CollectionEntry& image, uint32_t bound) const;

  MosaicJob& job_;
  Mosaic& mosaic_;
  std::vector<MosaicCell>& cells_;
  ImageCollection& collection_;
  const EngineParameters& params_;
  uint32_t maxUse_;
  uint64_t spacing_ = 0;  // Q: squared corner distances below it are too close
  size_t processedCount_ = 0;
  std::vector<Candidate> candidates_;
  SpacedCells kept_;                     // cells holding the offered image, for the spacing test
  std::unique_ptr<WorkPool> pool_;       // only when measuring ahead
  std::vector<CollectionEntry*> ahead_;  // the images measured in the last round, in order
  size_t aheadNext_ = 0;                 // the next of them expected to be offered
  size_t aheadLimit_ = 1;                // images measured in one round at most
  size_t roundSize_ = 1;                 // images measured in the next round
  size_t row_ = 0;                       // start of the offered image's row
  std::vector<uint32_t> measured_;       // per image and cell: the distance measured ahead
  std::vector<uint32_t> measuredBound_;  // per image and cell: the bound it was measured with
  size_t grain_ = 1;
  size_t ranges_ = 0;                   // ranges of grain_ cells the pool measures
  std::vector<FoundList> found_;        // per image and range: kept cells and candidates
  uint32_t round_ = 0;                  // rounds measured so far
  std::vector<uint32_t> changedRound_;  // per cell: the round in which it last changed
  std::vector<uint32_t> changed_;       // the cells changed in the current round
  std::vector<Candidate> rangeBest_;    // per image and range: the single-use scan's result
  std::vector<uint32_t> rangeBound_;    // per image and range: the bound the range started from,
                                        // kNoDistance once nothing was left out
  // Per image of the round: the smallest single-use distance any range has found so far.
  std::unique_ptr<std::atomic<uint32_t>[]> known_;
  bool floorApplies_ = false;
  CellFloors cellFloors_;               // the cells, for the distance floor
  std::vector<TileFloor> tileFloors_;   // per image of the round
  std::vector<size_t> conflictCounts_;  // per image of the round: conflicting cells (no spacing)
};

// Every distance only grows while it is summed and is abandoned only once it passes the bound,
// so:
// - measured with a looser bound, a value that reaches `bound` would also have reached it;
// - measured with a tighter bound, a value below that bound is the complete distance, which a
//   looser bound gives too.
// Otherwise the call is repeated with `bound`: below a tighter bound, because the early exit on
// the averages ("Exponential") may reject a pair the looser bound let through; at or over a
// looser bound, because the sum was abandoned. Both happen only when the assignment moved since
// the measurement, or a cell becomes the best so far, which is rare.
inline uint32_t TileMatcher::Measured(uint32_t i, const CollectionEntry& image,
                                      uint32_t bound) const {
  const uint32_t d = measured_[row_ + i];
  const uint32_t measuredBound = measuredBound_[row_ + i];
  if (bound == measuredBound || (bound < measuredBound ? d >= bound : d < measuredBound))
    return d;
  const MosaicCell& cell = cells_[i];
  return Distance(cell.info, image.info, image.portrait, bound, params_);
}

}  // namespace tessarix
