#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/mosaic_cell.h"

namespace tessarix {

// The cells an offered image keeps in multiple use, for the spacing test: bucketed by position in
// squares as wide as the spacing, so that a test looks only at the kept cells of the nine squares
// around the cell it asks about rather than at every kept cell.
class SpacedCells {
 public:
  // For `cells` (which must outlive this), with `spacing` (above 0) the squared distance between
  // top-left corners below which two cells lie too close. Starts empty.
  void Reset(const std::vector<MosaicCell>& cells, uint64_t spacing);
  void Clear();
  // Does nothing before the first Reset: without a spacing no cell is too close to another.
  void Add(uint32_t cell);
  // Whether `cell` lies too close to a cell added since the last Clear.
  bool TooClose(const MosaicCell& cell) const;

 private:
  size_t BucketOf(uint64_t column, uint64_t row) const { return row * columns_ + column; }

  const std::vector<MosaicCell>* cells_ = nullptr;
  uint64_t spacing_ = 0;
  uint64_t side_ = 1;  // no two cells closer than the spacing lie more than one square apart
  uint64_t columns_ = 1, rows_ = 1;
  std::vector<std::vector<uint32_t>> buckets_;
  std::vector<size_t> filled_;  // the buckets holding cells, for Clear
};

// Squared distance between the top-left corners of two cells; the largest value when it does not
// fit in 64 bits (it is then certainly not below any spacing).
uint64_t SquaredCornerDistance(const MosaicCell& a, const MosaicCell& b);

}  // namespace tessarix
