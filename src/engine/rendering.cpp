#include "engine/rendering.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <vector>

#include "collection/tile_analysis.h"
#include "engine/distance.h"
#include "imaging/image_ops.h"
#include "platform/text_format.h"
#include "platform/usage_counter.h"
#include "platform/work_pool.h"

namespace tessarix {
namespace {

uint8_t ClampByte(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Mirrors `image` as the orientation code asks. The code was measured between the two colour
// records, so it must be applied in the frame those records share: before a portrait cell's tile
// is turned back, and before a shape cuts the tile.
bool Orient(std::optional<Image>& image, uint32_t code) {
  switch (code) {
    case kFlipVertical:
      image = MirrorVertical(*image);
      break;
    case kFlipHorizontalCode:
      image = MirrorHorizontal(*image);
      break;
    case kRotated180:
      image = MirrorVertical(*image);
      if (image)
        image = MirrorHorizontal(*image);
      break;
    default:
      break;
  }
  return image.has_value();
}

// The collection image of `cell` at the cell's size, recoloured, mirrored and cut to its shape;
// none leaves the cell black.
std::optional<Image> PrepareTile(const MosaicCell& cell, CollectionEntry& entry,
                                 const EngineParameters& params) {
  // Portrait cells were thumbnailed turned: load in that landscape frame and turn back last.
  std::optional<Image> tile = cell.portrait ? LoadTile(entry, cell.height, cell.width)
                                            : LoadTile(entry, cell.width, cell.height);
  if (!tile)
    return std::nullopt;

  const uint32_t algorithm = params.algorithm;
  if (algorithm == kStandard || algorithm == kFlipHorizontal ||
      algorithm == kFlipHorizontalVertical) {
    const ColourShift shift =
        ComputeColourShift(cell.info.average, entry.info.average, params.modifyLimit);
    if (!ShiftColours(*tile, shift.r, shift.g, shift.b))
      return std::nullopt;
  }
  if (algorithm == kFlipHorizontal || algorithm == kFlipHorizontalVertical) {
    const bool horizontalOnly = algorithm == kFlipHorizontal && entry.portrait == cell.portrait;
    uint32_t code = kNoOrientation;
    DistanceFlip(cell.info, entry.info, kNoDistance, horizontalOnly, &code, params.modifyLimit);
    if (!Orient(tile, code))
      return std::nullopt;
  }
  if (cell.portrait) {
    tile = Rotate(*tile, 90);
    if (!tile)
      return std::nullopt;
  }

  if (!cell.shape.empty()) {
    if (tile->Width() != cell.width || tile->Height() != cell.height)
      return std::nullopt;
    Pixel* pixels = tile->Pixels();
    const size_t count = tile->PixelCount();
    for (size_t i = 0; i < count; ++i) {
      const Pixel colour = pixels[i] & 0x00FFFFFFu;
      pixels[i] = InsideShape(cell, i) ? colour : (colour | kTransparentBlack);
    }
  }
  return tile;
}

bool Paintable(const MosaicCell& cell) {
  return cell.assigned != nullptr &&
         cell.top <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
}

void PasteTile(Image& canvas, const MosaicCell& cell, const Image& tile) {
  Paste(canvas, cell.left, static_cast<int32_t>(cell.top), tile,
        cell.shape.empty() ? PasteMode::Copy : PasteMode::Blend);
}

// One cell after the other, one collection image in memory at a time. False when stopped.
bool PaintInOrder(MosaicJob& job, const Mosaic& mosaic, Image& canvas) {
  for (const MosaicCell& cell : mosaic.cells) {
    job.AddStageProgress(1);
    if (job.StopRequested())
      return false;
    if (!Paintable(cell))
      continue;
    const std::optional<Image> tile = PrepareTile(cell, *cell.assigned, mosaic.params);
    if (tile)
      PasteTile(canvas, cell, *tile);
  }
  return true;
}

// The tiles of the next few cells are decoded and prepared on the pool, then pasted in cell order
// so that shaped cells blend exactly as they would one after the other. Each tile is prepared
// against a copy of its entry: several cells may share an entry, and LoadTile records the decoded
// size in it; the copies' records are handed back in cell order. False when stopped.
bool PaintInParallel(MosaicJob& job, const Mosaic& mosaic, Image& canvas) {
  const size_t threads = mosaic.params.threads;
  WorkPool pool(mosaic.params.threads);
  // Two tiles per thread keep every thread busy without holding many images at once.
  const size_t batch = threads * 2;
  std::vector<std::optional<Image>> tiles(batch);
  std::vector<CollectionEntry> loaded(batch);
  const std::vector<MosaicCell>& cells = mosaic.cells;
  for (size_t first = 0; first < cells.size(); first += batch) {
    const size_t count = std::min(batch, cells.size() - first);
    pool.ParallelFor(count, 1, [&](size_t begin, size_t end) {
      for (size_t i = begin; i < end; ++i) {
        tiles[i].reset();
        const MosaicCell& cell = cells[first + i];
        if (!Paintable(cell) || job.StopRequested())
          continue;
        loaded[i] = *cell.assigned;
        loaded[i].pixelWidth = 0;  // stays 0 unless the file was decoded
        tiles[i] = PrepareTile(cell, loaded[i], mosaic.params);
      }
    });
    for (size_t i = 0; i < count; ++i) {
      const MosaicCell& cell = cells[first + i];
      job.AddStageProgress(1);
      if (job.StopRequested())
        return false;
      if (!Paintable(cell))
        continue;
      if (loaded[i].pixelWidth != 0) {
        cell.assigned->pixelWidth = loaded[i].pixelWidth;
        cell.assigned->pixelHeight = loaded[i].pixelHeight;
        cell.assigned->portrait = loaded[i].portrait;
      }
      if (tiles[i])
        PasteTile(canvas, cell, *tiles[i]);
      tiles[i].reset();
    }
  }
  return true;
}

}  // namespace

int ShiftColours(Image& image, int32_t sR, int32_t sG, int32_t sB) {
  if (image.Empty())
    return 0;
  if (sR == 0 && sG == 0 && sB == 0)
    return 1;
  // One table per channel keeps the pass to three lookups per pixel.
  std::array<uint32_t, 256> red{}, green{}, blue{};
  for (int32_t v = 0; v < 256; ++v) {
    red[v] = ClampByte(v + sR);
    green[v] = uint32_t{ClampByte(v + sG)} << 8;
    blue[v] = uint32_t{ClampByte(v + sB)} << 16;
  }
  Pixel* pixels = image.Pixels();
  const size_t count = image.PixelCount();
  for (size_t i = 0; i < count; ++i) {
    const Pixel p = pixels[i];
    pixels[i] = (p & 0xFF000000u) | red[Red(p)] | green[Green(p)] | blue[Blue(p)];
  }
  return 1;
}

int RenderFinalMosaic(MosaicJob& job, Mosaic& mosaic) {
  job.BeginStage(1, 1.0);
  job.SetStatus("Initializing Final Mosaic...");
  // Transparent black: whatever no cell covers stays black in the file, which ignores T.
  Image canvas;
  if (!canvas.CreateTransparent(mosaic.width, mosaic.height))
    return 0;

  job.EndStage();
  job.BeginStage(2, static_cast<double>(mosaic.cells.size()));
  job.SetStatus("Building Final Mosaic...");
  const bool painted = mosaic.params.threads > 1 && mosaic.cells.size() > 1
                           ? PaintInParallel(job, mosaic, canvas)
                           : PaintInOrder(job, mosaic, canvas);
  if (!painted)
    return 0;
  job.EndStage();
  mosaic.mosaicFile = mosaic.outputBase + " Mosaic.JPG";

  job.BeginStage(3, 1.0);
  job.SetStatus("Saving Final Mosaic...");
  mosaic.mosaicSaved = canvas.SaveJpeg(mosaic.mosaicFile, static_cast<int>(mosaic.jpegQuality));
  if (mosaic.mosaicSaved) {
    job.Post(std::move(canvas), Format("Mosaic: %s", mosaic.sourcePath.c_str()));
    IncrementMosaicCount();
  }
  job.EndStage();
  return 1;
}

}  // namespace tessarix
