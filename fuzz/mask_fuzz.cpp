// Mask segmentation on small pictures: either a JPEG decoded as the driver decodes masks, or raw
// pixels from a small palette (so that areas, borders and holes are common). Whatever the
// picture, the cells must cover every mask pixel exactly once.
#include <cstdint>
#include <vector>

#include "engine/mask_cells.h"
#include "engine/mosaic_cell.h"
#include "fuzz_support.h"
#include "imaging/image.h"
#include "imaging/jpeg_file.h"

using namespace tessarix;

namespace {

constexpr uint64_t kMaxPixels = 256 * 256;

Image RawMask(const uint8_t* data, size_t size) {
  Image mask;
  if (size < 3)
    return mask;
  const uint32_t w = 1 + data[0] % 64;
  const uint32_t h = 1 + data[1] % 64;
  // Colours close enough to join (distance 9) and far enough to split (distance 12) both occur.
  static const Pixel palette[8] = {MakePixel(0, 0, 0),       MakePixel(2, 2, 1),
                                   MakePixel(2, 2, 2),       MakePixel(200, 10, 10),
                                   MakePixel(10, 200, 10),   MakePixel(10, 10, 200),
                                   MakePixel(255, 255, 255), MakePixel(4, 4, 2)};
  if (!mask.Create(w, h, 0))
    return mask;
  for (uint64_t i = 0; i < uint64_t{w} * h; ++i)
    mask.Pixels()[i] = palette[data[2 + i % (size - 2)] % 8];
  return mask;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFile input(".jpg");
  Image mask;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
    if (!input.Write(data, size))
      return 0;
    std::vector<Pixel> pixels;
    uint32_t width = 0;
    uint32_t height = 0;
    const bool decoded = static_cast<bool>(
        ReadTopPixels(input.Path(), [&](uint32_t w, uint32_t h, uint32_t&) -> Pixel* {
          if (uint64_t{w} * h > kMaxPixels || !mask.Create(w, h, 0))
            return nullptr;
          width = w;
          height = h;
          return mask.Pixels();
        }));
    if (!decoded || width == 0)
      return 0;
  } else {
    mask = RawMask(data, size);
  }
  if (mask.Empty())
    return 0;

  const uint32_t w = mask.Width();
  const uint32_t h = mask.Height();
  std::vector<MosaicCell> cells(3);  // must be replaced, never appended to
  const MaskSegmentation result = SegmentMask(cells, std::move(mask));
  if (!result.status)
    return 0;
  if (result.maskWidth != w || result.maskHeight != h)
    fuzz::Fail("segmentation reports another mask size");
  if (cells.empty())
    fuzz::Fail("a successful segmentation has no cell");

  std::vector<uint8_t> owners(size_t{w} * h, 0);
  for (const MosaicCell& cell : cells) {
    if (cell.width == 0 || cell.height == 0 || cell.left + cell.width > w ||
        cell.top + cell.height > h)
      fuzz::Fail("a cell rectangle leaves the mask");
    if (!cell.shape.empty() && cell.shape.size() != size_t{cell.width} * cell.height)
      fuzz::Fail("a shape does not match its rectangle");
    uint64_t area = 0;
    for (uint32_t y = 0; y < cell.height; ++y) {
      for (uint32_t x = 0; x < cell.width; ++x) {
        if (!InsideShape(cell, uint64_t{y} * cell.width + x))
          continue;
        ++area;
        uint8_t& owner = owners[size_t{cell.top + y} * w + cell.left + x];
        if (owner != 0)
          fuzz::Fail("a mask pixel belongs to two cells");
        owner = 1;
      }
    }
    if (area != cell.area)
      fuzz::Fail("a cell's area does not count its shape");
    // The rectangle is the bounding box: every edge row and column holds a pixel of the area.
    bool top = false, bottom = false, left = false, right = false;
    for (uint32_t x = 0; x < cell.width; ++x) {
      top = top || InsideShape(cell, x);
      bottom = bottom || InsideShape(cell, uint64_t{cell.height - 1} * cell.width + x);
    }
    for (uint32_t y = 0; y < cell.height; ++y) {
      left = left || InsideShape(cell, uint64_t{y} * cell.width);
      right = right || InsideShape(cell, uint64_t{y} * cell.width + cell.width - 1);
    }
    if (!(top && bottom && left && right))
      fuzz::Fail("a cell rectangle is larger than its area");
  }
  for (const uint8_t owner : owners) {
    if (owner == 0)
      fuzz::Fail("a mask pixel belongs to no cell");
  }
  return 0;
}
