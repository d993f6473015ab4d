#pragma once

#include <cstdint>
#include <string>

#include "color/color_info.h"

namespace tessarix {

// One tile image of the collection.
struct CollectionEntry {
  std::string path;               // full path of the JPEG file
  uint32_t modificationTime = 0;  // file's mtime at the last analysis
  uint32_t fileSize = 0;          // file's size at the last analysis
  uint32_t pixelWidth = 0;        // decoded width; 0 = never analysed
  uint32_t pixelHeight = 0;
  bool portrait = false;          // pixelWidth < pixelHeight; a u32 0 or 1 in the file
  uint32_t valid = 1;             // scan/analysis mark; matching uses it as the processed flag
  uint32_t useCount = 0;          // cells holding this image (matching)
  ColorInfo info;                 // thumbnail record (stored turned for portrait photos)
  uint32_t sequenceNumber = 0;    // 1-based index position when the path holds "FRAMES"
  bool required = false;          // the path holds "/REQUIRED"
};

}  // namespace tessarix
