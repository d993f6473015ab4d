#include "engine/matching.h"

#include "color/distance.h"
#include "engine/rendering.h"
#include "engine/tile_matcher.h"

namespace tessarix {

bool ResetAssignment(MosaicJob& job, Mosaic& mosaic) {
  if (mosaic.collection == nullptr || mosaic.cells.empty() || mosaic.collection->IsEmpty()) {
    return false;
  }
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
  return true;
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
