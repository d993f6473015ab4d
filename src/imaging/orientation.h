#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "imaging/image.h"

struct jpeg_marker_struct;

namespace tessarix {

// The EXIF orientation of a stored picture: how its pixels must be turned or mirrored to show it
// upright. 1 is upright; 2..8 are the other seven turns and mirrors of the EXIF standard.
constexpr int kUpright = 1;

// The orientation named by the EXIF block among the markers libjpeg kept while reading a header
// (APP1 kept with jpeg_save_markers). No EXIF block, a damaged one, no orientation tag or a value
// outside 1..8 all give kUpright.
int OrientationOfMarkers(const jpeg_marker_struct* markers);

// Whether the upright picture's width is the stored picture's height (orientations 5..8).
bool SwapsSides(int orientation);

// The upright picture of `stored` under `orientation`; a copy for kUpright or an unknown value.
// None when the memory cannot be had.
std::optional<Image> Upright(const Image& stored, int orientation);

// A JPEG file's stored size and orientation, read from its header without decoding any pixel.
struct StoredLayout {
  uint32_t width = 0;
  uint32_t height = 0;
  int orientation = kUpright;
};

// None for a missing file or a header libjpeg refuses.
std::optional<StoredLayout> ReadStoredLayout(const std::string& path);

}  // namespace tessarix
