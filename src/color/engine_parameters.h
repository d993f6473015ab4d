#pragma once

#include <cstdint>

namespace tessarix {

// The distance algorithms, in the order of the window's list.
enum Algorithm : uint32_t {
  kExponential = 0,
  kStandard = 1,
  kFlipHorizontal = 2,
  kFlipHorizontalVertical = 3,
  kMax = 4,
};

// The engine's parameters as one value, produced by the parameter check and captured when a batch
// starts; read-only while a mosaic is computed. Defaults are those the program starts with.
struct EngineParameters {
  uint32_t algorithm = kStandard;     // 0..4 (5 is accepted and behaves as no known algorithm)
  uint32_t modifyLimit = 25;          // 0..255: per-channel colour shift allowed
  uint32_t minDuplicateDistance = 15; // D, in tiles
  uint32_t maxDuplicateCount = 0;     // 0 = unlimited
  uint32_t minSequenceDistance = 0;   // S
  uint32_t tileBorder = 0;            // black gap between grid cells, pixels
  uint32_t threads = 1;               // threads for matching and rendering; 1 = sequential
  // Matching measures ahead (on several threads, or on one with the distance floor) only from
  // this many cells on; below it a whole round of offers is too little work to share.
  uint32_t parallelMatchingCells = 256;

  // Stores m (callers pass 0..255).
  void SetModifyLimit(uint32_t m) { modifyLimit = m; }

  // Stores index and returns true for 0..5; false and unchanged otherwise.
  bool SetAlgorithm(uint32_t index) {
    if (index > 5) return false;
    algorithm = index;
    return true;
  }

  friend bool operator==(const EngineParameters&, const EngineParameters&) = default;
};

}  // namespace tessarix
