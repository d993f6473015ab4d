#include "engine/spaced_cells.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessarix {
namespace {

constexpr uint64_t kU64Max = std::numeric_limits<uint64_t>::max();

uint64_t AbsDiff(uint32_t a, uint32_t b) {
  return a > b ? a - b : b - a;
}

// The smallest side whose square reaches `spacing`: two corners closer than the spacing differ by
// less than it in each direction. Spacings past 2^62 make one square of everything.
uint64_t SideFor(uint64_t spacing) {
  if (spacing > (uint64_t{1} << 62))
    return uint64_t{1} << 32;
  uint64_t side = static_cast<uint64_t>(std::sqrt(static_cast<double>(spacing)));
  while (side * side < spacing) ++side;
  while (side > 1 && (side - 1) * (side - 1) >= spacing) --side;
  return std::max<uint64_t>(side, 1);
}

}  // namespace

uint64_t SquaredCornerDistance(const MosaicCell& a, const MosaicCell& b) {
  // Each square fits in 64 bits; only their sum can overflow.
  const uint64_t dt = AbsDiff(a.top, b.top);
  const uint64_t dl = AbsDiff(a.left, b.left);
  const uint64_t sum = dt * dt + dl * dl;
  return sum < dt * dt ? kU64Max : sum;
}

void SpacedCells::Reset(const std::vector<MosaicCell>& cells, uint64_t spacing) {
  cells_ = &cells;
  spacing_ = spacing;
  side_ = SideFor(spacing);
  uint64_t right = 0, bottom = 0;
  for (const MosaicCell& cell : cells) {
    right = std::max<uint64_t>(right, cell.left);
    bottom = std::max<uint64_t>(bottom, cell.top);
  }
  // Never more squares than about four per cell, however small the spacing.
  const uint64_t most = 4 * uint64_t{cells.size()} + 64;
  while ((right / side_ + 1) > most / (bottom / side_ + 1)) side_ *= 2;
  columns_ = right / side_ + 1;
  rows_ = bottom / side_ + 1;
  buckets_.assign(columns_ * rows_, {});
  filled_.clear();
}

void SpacedCells::Clear() {
  for (const size_t b : filled_) buckets_[b].clear();
  filled_.clear();
}

void SpacedCells::Add(uint32_t cell) {
  if (cells_ == nullptr)
    return;  // without a spacing no cell is too close to another
  const MosaicCell& c = (*cells_)[cell];
  const size_t b = BucketOf(c.left / side_, c.top / side_);
  if (buckets_[b].empty())
    filled_.push_back(b);
  buckets_[b].push_back(cell);
}

bool SpacedCells::TooClose(const MosaicCell& cell) const {
  const uint64_t column = cell.left / side_, row = cell.top / side_;
  for (uint64_t r = row == 0 ? 0 : row - 1; r <= std::min(row + 1, rows_ - 1); ++r) {
    for (uint64_t c = column == 0 ? 0 : column - 1; c <= std::min(column + 1, columns_ - 1); ++c) {
      for (const uint32_t k : buckets_[BucketOf(c, r)]) {
        if (SquaredCornerDistance((*cells_)[k], cell) < spacing_)
          return true;
      }
    }
  }
  return false;
}

}  // namespace tessarix
