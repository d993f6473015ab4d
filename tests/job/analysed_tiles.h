#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "collection/image_collection.h"
#include "imaging/sample_photos.h"
#include "test_support.h"

namespace tessarix::test {

// Fills <dir>/tiles with `count` generated photos of width x height (sample photo numbers from
// `firstSample` on) and analyses them into `collection`, saved later as tiles/all.tzc.
inline void AnalyseSampleTiles(const TempDir& dir, ImageCollection& collection, uint32_t count,
                               uint32_t firstSample, uint32_t width, uint32_t height) {
  std::filesystem::create_directories(dir.Path() / "tiles");
  for (uint32_t i = 0; i < count; ++i) {
    WriteJpeg(MakeSamplePhoto(firstSample + i, width, height),
              dir.File("tiles/t" + std::to_string(i) + ".jpg"));
  }
  collection.imageFolder = dir.Folder() + "tiles/";
  collection.filePath = collection.imageFolder + "all.tzc";
  collection.Rescan();
  collection.StartAnalysis();
  while (collection.AnalyseSome()) {
  }
}

}  // namespace tessarix::test
