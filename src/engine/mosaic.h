#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "collection/image_collection.h"
#include "color/engine_parameters.h"
#include "engine/mosaic_cell.h"
#include "imaging/image.h"

namespace tessarix {

class AtomicFile;

// The engine's state for one source photo of a batch: the cells, the mosaic size, the collection
// matched against, the output names and the parameters captured when the batch started. The
// progress, status, stop request and display queue live in the MosaicJob passed beside it.
struct Mosaic {
  EngineParameters params;
  std::vector<MosaicCell> cells;
  uint32_t width = 0;             // W, set by the source analysis
  uint32_t height = 0;            // H
  ImageCollection* collection = nullptr;
  size_t entryCursor = 0;         // matching scratch: next entry to offer; Size() = not set
  bool cursorSet = false;
  std::string sourcePath;
  std::string outputBase;         // OutputBase of the source path
  std::string mosaicFile;         // MosaicFileName(outputBase) once rendered
  bool mosaicSaved = false;       // the file at mosaicFile is this rendering, not an older one
  size_t tilesNotLoaded = 0;      // images whose file could not be loaded; their cells are black
  // Set by a caller that puts the mosaic in place together with its report and page: the
  // rendering then writes into it, leaves the rename, the display and the count to that caller
  // and keeps the written picture in `picture` for it.
  AtomicFile* mosaicOutput = nullptr;
  Image picture;
  uint32_t jpegQuality = 90;
  bool useAllImages = false;
};

}  // namespace tessarix
