#include "engine/matching.h"

#include "color/distance.h"
#include "engine/rendering.h"
#include "engine/source_analysis.h"
#include "engine/tile_matcher.h"

namespace tessarix {

namespace {

bool NothingToMatch(const Mosaic& mosaic) {
  return mosaic.collection == nullptr || mosaic.cells.empty() || mosaic.collection->IsEmpty();
}

}  // namespace

Status ResetAssignment(MosaicJob& job, Mosaic& mosaic) {
  if (NothingToMatch(mosaic))
    return Unnamed(FailureKind::kEmpty);
  job.SetStatus("Initializing Mosaic...");
  for (MosaicCell& cell : mosaic.cells) {
    cell.assigned = nullptr;
    cell.assignedDistance = kNoDistance;
    cell.locked = false;
  }
  ImageCollection& collection = *mosaic.collection;
  for (size_t e = 0; e < collection.Size(); ++e) {
    collection.Entry(e).valid = 0;
    collection.Entry(e).useCount = 0;
  }
  mosaic.entryCursor = 0;
  mosaic.cursorSet = false;
  return {};
}

Status AssignTiles(MosaicJob& job, Mosaic& mosaic) {
  if (NothingToMatch(mosaic))
    return Unnamed(FailureKind::kEmpty);
  TileMatcher matcher(job, mosaic);
  if (!matcher.Assign() || !matcher.InsertUnused())
    return Unnamed(FailureKind::kStopped);
  return {};
}

void CreateMosaic(MosaicJob& job, Mosaic& mosaic) {
  if (AssignTiles(job, mosaic))
    RenderFinalMosaic(job, mosaic);
}

}  // namespace tessarix
