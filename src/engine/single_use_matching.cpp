#include <algorithm>
#include <cstdint>

#include "engine/tile_matcher.h"

namespace tessarix {
namespace {

constexpr size_t kNoRange = static_cast<size_t>(-1);

}  // namespace

bool TileMatcher::OfferSingleUse(CollectionEntry& image) {
  const bool required = image.required;
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
      cell.locked = true;
  }
  image.valid = 1;
  return true;
}

std::optional<Candidate> TileMatcher::ScanSingleUse(const CollectionEntry& image, size_t begin,
                                                    size_t end, bool required, bool measuredAhead) {
  Candidate best{kNoCell, kNoDistance};
  for (size_t i = begin; i < end; ++i) {
    if (job_.StopRequested())
      return std::nullopt;
    const MosaicCell& cell = cells_[i];
    if (!cell.hasInfo || cell.locked)
      continue;
    const uint32_t bound =
        required ? best.distance : std::min(best.distance, cell.assignedDistance);
    if (bound == 0)
      continue;  // nothing beats 0
    const uint32_t d = measuredAhead
                           ? Measured(static_cast<uint32_t>(i), image, bound)
                           : Distance(cell.info, image.info, image.portrait, bound, params_);
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
std::optional<Candidate> TileMatcher::BestOfRanges(const CollectionEntry& image) {
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

std::optional<Candidate> TileMatcher::ScanRange(const CollectionEntry& image, size_t r) {
  return ScanSingleUse(image, r * grain_, std::min(cells_.size(), (r + 1) * grain_), false, true);
}

}  // namespace tessarix
