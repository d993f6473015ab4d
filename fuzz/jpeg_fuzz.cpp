// Half-copied photos and hostile JPEGs through every decoding road: the pixel reader,
// Image::LoadJpeg, the top-rows decode and the tile loader, whole or row by row. The roads must
// agree on every pixel.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "collection/collection_entry.h"
#include "collection/tile_analysis.h"
#include "fuzz_support.h"
#include "imaging/image.h"
#include "imaging/image_ops.h"
#include "imaging/jpeg_file.h"
#include "imaging/orientation.h"

using namespace tessarix;

namespace {

// Large pictures are legitimate but slow; they are the hostile-size tests' business, not the
// fuzzer's, which looks for faults in the decoding of damaged data.
constexpr uint64_t kMaxPixels = uint64_t{1} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFile input(".jpg");
  if (!input.Write(data, size))
    return 0;

  std::vector<Pixel> pixels;
  uint32_t width = 0;
  uint32_t height = 0;
  int orientation = kUpright;
  const bool decoded = static_cast<bool>(ReadTopPixels(
      input.Path(),
      [&](uint32_t w, uint32_t h, uint32_t&) -> Pixel* {
        if (w == 0 || h == 0 || uint64_t{w} * h > kMaxPixels)
          return nullptr;
        width = w;
        height = h;
        pixels.assign(size_t{w} * h, 0xDEADBEEFu);
        return pixels.data();
      },
      orientation));
  if (!decoded)
    return 0;

  Image image;
  const bool loaded = static_cast<bool>(image.LoadJpeg(input.Path()));
  // A picture stored turned must load; its upright pixels are the orientation tests' business.
  if (orientation != kUpright)
    return 0;
  if (!loaded || image.Width() != width || image.Height() != height ||
      !std::equal(pixels.begin(), pixels.end(), image.Pixels())) {
    fuzz::Fail("LoadJpeg and ReadTopPixels disagree");
  }

  // The top rows alone, as tiles load them, are the full decode's first rows.
  const uint32_t rows = 1 + data[0] % height;
  uint32_t fullHeight = 0;
  Image top;
  if (!top.LoadJpegTop(
          input.Path(), [rows](uint32_t, uint32_t) { return rows; }, fullHeight) ||
      fullHeight != height || top.Width() != width || top.Height() != rows ||
      !std::equal(top.Pixels(), top.Pixels() + top.PixelCount(), pixels.begin())) {
    fuzz::Fail("LoadJpegTop and ReadTopPixels disagree");
  }

  // Tile sizes from the last bytes, so the fuzzer also varies turning and cropping.
  const uint32_t tw = 1 + data[size - 1] % 48;
  const uint32_t th = 1 + data[size / 2] % 48;
  CollectionEntry entry;
  entry.path = input.Path();
  const std::optional<Image> tile = LoadTile(entry, tw, th);
  if (tile && (tile->Width() != tw || tile->Height() != th))
    fuzz::Fail("LoadTile returned the wrong size");
  if (entry.pixelWidth != width || entry.pixelHeight != height)
    fuzz::Fail("LoadTile recorded the wrong pixel size");

  // A tile that needs no turning is resampled from the decoded rows as they come; it must be the
  // centre crop of the whole picture, resampled.
  if ((tw < th) != (width < height) && tw != th)
    return 0;
  uint32_t cropW = width;
  uint32_t cropH = std::max<uint32_t>(1, static_cast<uint32_t>(uint64_t{width} * th / tw));
  if (cropH > height) {
    cropW = std::max<uint32_t>(1, static_cast<uint32_t>(uint64_t{height} * tw / th));
    cropH = height;
  }
  if (tile != Resample(image, tw, th, cropW, cropH, (width - cropW) / 2, (height - cropH) / 2))
    fuzz::Fail("LoadTile and the resampled whole picture disagree");
  return 0;
}
