#include "engine/tile_matcher.h"

#include <algorithm>

#include "platform/memory_limit.h"
#include "platform/text_format.h"

namespace tessarix {
namespace {

constexpr uint32_t kUnlimited = 0xFFFFFFFFu;
constexpr int kMatchingStage = 8;
constexpr size_t kStatusPathLength = 65;
constexpr size_t kRoundDistances = 262144;
constexpr size_t kMaxAhead = 32;

}  // namespace

TileMatcher::TileMatcher(MosaicJob& job, Mosaic& mosaic)
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
  if (spacing_ > 0)
    kept_.Reset(cells_, spacing_);
  candidates_.reserve(cells_.size());
  // "Exponential" mostly stops at the averages: too little work per distance to share. One
  // thread measures ahead too where the distance floor applies, since the floor sets most pairs
  // aside many cells at a time, before any pixel is measured.
  if ((params_.threads > 1 || FloorApplies(params_)) && cells_.size() > 1 &&
      params_.algorithm != kExponential && cells_.size() >= params_.parallelMatchingCells) {
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
    floorApplies_ = FloorApplies(params_);
    if (floorApplies_) {
      for (const MosaicCell& cell : cells_) cellFloors_.Add(cell.info);
    }
  }
}

bool TileMatcher::Assign() {
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

CollectionEntry* TileMatcher::ChooseNext() {
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

void TileMatcher::Displace(MosaicCell& cell) {
  CollectionEntry* previous = cell.assigned;
  if (previous == nullptr)
    return;
  previous->useCount = 0;
  if (previous->valid == 1 && processedCount_ > 0)
    --processedCount_;
  previous->valid = 0;
}

void TileMatcher::PlaceAlone(MosaicCell& cell, CollectionEntry& image, uint32_t distance) {
  Displace(cell);
  image.useCount = 1;
  cell.assigned = &image;
  cell.assignedDistance = distance;
  MarkChanged(static_cast<uint32_t>(&cell - cells_.data()));
}

}  // namespace tessarix
