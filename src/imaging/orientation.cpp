#include "imaging/orientation.h"

#include <cstdio>
#include <cstring>

// clang-format off
#include <jpeglib.h>
// clang-format on
#include <libexif/exif-data.h>

#include "imaging/jpeg_file.h"

namespace tessarix {
namespace {

constexpr unsigned char kExifSignature[] = {'E', 'x', 'i', 'f', 0, 0};

// Reads the orientation entry of an APP1 payload that starts with the EXIF signature. The maker
// notes are neither interpreted nor repaired: only the first picture's directory is needed.
int ExifOrientation(const unsigned char* data, unsigned int length) {
  ExifData* exif = exif_data_new();
  if (exif == nullptr)
    return kUpright;
  exif_data_unset_option(exif, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_set_option(exif, EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
  exif_data_load_data(exif, data, length);
  int orientation = kUpright;
  ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
  if (entry != nullptr && entry->format == EXIF_FORMAT_SHORT && entry->components == 1 &&
      entry->data != nullptr && entry->size >= 2) {
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(exif));
    if (value >= 1 && value <= 8)
      orientation = value;
  }
  exif_data_unref(exif);
  return orientation;
}

// Where upright pixel (x, y) is found in a stored picture of w x h pixels.
struct Source {
  uint32_t x, y;
};
Source StoredPosition(int orientation, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
  switch (orientation) {
    case 2:
      return {w - 1 - x, y};
    case 3:
      return {w - 1 - x, h - 1 - y};
    case 4:
      return {x, h - 1 - y};
    case 5:
      return {y, x};
    case 6:
      return {y, h - 1 - x};
    case 7:
      return {w - 1 - y, h - 1 - x};
    case 8:
      return {w - 1 - y, x};
    default:
      return {x, y};
  }
}

}  // namespace

int OrientationOfMarkers(const jpeg_marker_struct* markers) {
  for (const jpeg_marker_struct* m = markers; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length > sizeof kExifSignature &&
        std::memcmp(m->data, kExifSignature, sizeof kExifSignature) == 0) {
      return ExifOrientation(m->data, m->data_length);
    }
  }
  return kUpright;
}

bool SwapsSides(int orientation) {
  return orientation >= 5 && orientation <= 8;
}

std::optional<Image> Upright(const Image& stored, int orientation) {
  const uint32_t w = stored.Width();
  const uint32_t h = stored.Height();
  Image upright;
  const bool swap = SwapsSides(orientation);
  if (!upright.Create(swap ? h : w, swap ? w : h, 0))
    return std::nullopt;
  for (uint32_t y = 0; y < upright.Height(); ++y) {
    Pixel* row = upright.Row(y);
    for (uint32_t x = 0; x < upright.Width(); ++x) {
      const Source from = StoredPosition(orientation, x, y, w, h);
      row[x] = stored.At(from.x, from.y);
    }
  }
  return upright;
}

std::optional<StoredLayout> ReadStoredLayout(const std::string& path) {
  StoredLayout layout;
  if (!ReadJpegHeader(path, layout.width, layout.height, layout.orientation))
    return std::nullopt;
  return layout;
}

}  // namespace tessarix
