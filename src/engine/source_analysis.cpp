#include "engine/source_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/grid_cells.h"
#include "imaging/image_ops.h"

namespace tessarix {

Failure Unnamed(FailureKind kind) {
  return Failure{kind, {}, 0, {}};
}

CellExtent MeasureCells(const std::vector<MosaicCell>& cells) {
  CellExtent extent;
  for (const MosaicCell& cell : cells) {
    if (cell.area == 0)
      continue;
    extent.width = std::max(extent.width, cell.left + cell.width);
    extent.height = std::max(extent.height, cell.top + cell.height);
    extent.minWidth = std::min(extent.minWidth, cell.width);
    extent.minHeight = std::min(extent.minHeight, cell.height);
  }
  return extent;
}

std::optional<Size2> FitAspect(uint32_t boxW, uint32_t boxH, uint32_t w, uint32_t h) {
  if (boxW == 0 || boxH == 0 || w == 0 || h == 0)
    return std::nullopt;
  // Products in 64 bits so that large photos cannot wrap the ratio.
  uint64_t fitW = boxW;
  uint64_t fitH = std::max<uint64_t>(1, uint64_t{boxW} * h / w);
  if (fitH > boxH) {
    fitH = boxH;
    fitW = std::max<uint64_t>(1, uint64_t{boxH} * w / h);
  }
  return Size2{static_cast<uint32_t>(fitW), static_cast<uint32_t>(fitH)};
}

double AnalysisScale(const CellExtent& extent) {
  if (extent.minWidth >= 24 && extent.minHeight >= 4)
    return std::min(12.0 / extent.minWidth, 8.0 / extent.minHeight);
  return 1.0;
}

Status AnalyseCells(MosaicJob& job, Mosaic& mosaic, const Image& scaled, double scale,
                    uint32_t sw, uint32_t sh) {
  job.BeginStage(5, static_cast<double>(mosaic.cells.size()));
  job.SetStatus("Building Color Info...");
  // One canvas for all cells; it is cleared to transparent black before each use.
  Image canvas;
  canvas.CreateTransparent(kThumbWidth, kThumbHeight);
  for (MosaicCell& cell : mosaic.cells) {
    job.AddStageProgress(1);
    if (job.StopRequested())
      return Failure{FailureKind::kStopped, {}, 0, {}};
    cell.hasInfo = 0;
    // Computed exactly in this order: the scaled products decide which cells sit on the photo.
    const double left = cell.left * scale;
    const double top = cell.top * scale;
    if (cell.area == 0 || left >= sw || top >= sh)
      continue;
    const auto cw = static_cast<uint32_t>(std::floor(cell.width * scale));
    const auto ch = static_cast<uint32_t>(std::floor(cell.height * scale));
    cell.portrait = ch > cw;
    const uint32_t boxW = cell.portrait ? kThumbHeight : kThumbWidth;
    const uint32_t boxH = cell.portrait ? kThumbWidth : kThumbHeight;
    const std::optional<Size2> box = FitAspect(boxW, boxH, cw, ch);
    if (!box)
      continue;
    std::optional<Image> thumbnail = ResampleTransparent(scaled, box->width, box->height, cw, ch,
                                                         static_cast<uint32_t>(std::floor(left)),
                                                         static_cast<uint32_t>(std::floor(top)));
    if (!thumbnail)
      continue;
    // Portrait cells are compared in the turned frame in which portrait tiles are stored.
    if (cell.portrait) {
      thumbnail = Rotate(*thumbnail, 90);
      if (!thumbnail)
        continue;
    }
    if (canvas.Empty())
      continue;
    std::fill(canvas.Pixels(), canvas.Pixels() + canvas.PixelCount(), kTransparentBlack);
    if (!Paste(canvas, (kThumbWidth - thumbnail->Width()) / 2,
               static_cast<int32_t>((kThumbHeight - thumbnail->Height()) / 2), *thumbnail,
               PasteMode::Blend))
      continue;
    if (ComputeColorInfo(cell.info, canvas))
      cell.hasInfo = 1;
  }
  job.EndStage();
  return {};
}

Status AnalyseSourceGrid(MosaicJob& job, Mosaic& mosaic, const Image& image, uint32_t tilesPerRow,
                         uint32_t tileWidth, ImageCollection& collection) {
  // The cells take the 3:2 shape of the 12 x 8 thumbnail.
  const uint32_t tileH = tileWidth * 8 / 12;
  if (image.Empty() || collection.IsEmpty() || tilesPerRow == 0 || tileH == 0)
    return Unnamed(FailureKind::kRefused);
  const uint64_t scaledHeight = uint64_t{image.Height()} * tilesPerRow * tileWidth / image.Width();
  const uint64_t rows = scaledHeight / tileH;
  if (rows == 0)
    return Unnamed(FailureKind::kTooSmall);
  if (rows > std::numeric_limits<uint32_t>::max())
    return Unnamed(FailureKind::kOutOfMemory);
  const Status built =
      BuildGridCells(job, mosaic, tileWidth, tileH, tilesPerRow, static_cast<uint32_t>(rows),
                     mosaic.params.minDuplicateDistance);
  // A stop asked for while the grid was refused still ends the work as a stop.
  if (!built)
    return job.StopRequested() ? Unnamed(FailureKind::kStopped) : built;

  const CellExtent extent = MeasureCells(mosaic.cells);
  const double scale = AnalysisScale(extent);
  const std::optional<Size2> size =
      FitAspect(extent.width, extent.height, image.Width(), image.Height());
  if (!size)
    return Unnamed(FailureKind::kRefused);
  mosaic.width = size->width;
  mosaic.height = size->height;

  const auto sw = static_cast<uint32_t>(std::floor(mosaic.width * scale));
  const auto sh = static_cast<uint32_t>(std::floor(mosaic.height * scale));
  const std::optional<Image> scaled = FitWithin(image, sw, sh);
  if (!scaled)
    return Unnamed(FailureKind::kOutOfMemory);
  // A stop inside the cell analysis keeps the cells; the driver notices the stop itself.
  AnalyseCells(job, mosaic, *scaled, scale, sw, sh);
  mosaic.collection = &collection;
  return {};
}

}  // namespace tessarix
