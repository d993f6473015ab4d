#include "engine/rendering.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <unordered_set>
#include <vector>

#include "collection/tile_analysis.h"
#include "color/distance.h"
#include "engine/output_names.h"
#include "engine/tile_cache.h"
#include "engine/usage_counter.h"
#include "imaging/image_ops.h"
#include "imaging/jpeg_file.h"
#include "imaging/shifted_copy.h"
#include "platform/text_format.h"
#include "platform/work_pool.h"

namespace tessarix {
namespace {

// The size `cell` loads its image at: portrait cells were thumbnailed turned, so their tile is
// loaded in that landscape frame and turned back last.
TileKey LoadKeyOf(const MosaicCell& cell) {
  return cell.portrait ? TileKey{cell.assigned, cell.height, cell.width}
                       : TileKey{cell.assigned, cell.width, cell.height};
}

// The `loaded` tile of `cell` recoloured, mirrored, turned and cut to its shape; none leaves the
// cell black. The mirroring code was measured between the two colour records, so it applies in
// the frame those records share: before a portrait cell's tile is turned back, and before a
// shape cuts the tile.
std::optional<Image> FinishTile(const MosaicCell& cell, const CollectionEntry& entry,
                                const Image& loaded, const EngineParameters& params) {
  const uint32_t algorithm = params.algorithm;
  ColorShift shift;
  if (algorithm == kStandard || algorithm == kFlipHorizontal ||
      algorithm == kFlipHorizontalVertical) {
    shift = ComputeColorShift(cell.info.average, entry.info.average, params.modifyLimit);
  }
  Orientation code = Orientation::None;
  if (algorithm == kFlipHorizontal || algorithm == kFlipHorizontalVertical) {
    const bool horizontalOnly =
        algorithm == kFlipHorizontal && (entry.portrait != 0) == cell.portrait;
    DistanceFlip(cell.info, entry.info, kNoDistance, horizontalOnly, &code, params.modifyLimit);
  }
  const bool leftRight = code == Orientation::MirroredLeftRight || code == Orientation::Rotated180;
  const bool topBottom = code == Orientation::MirroredTopBottom || code == Orientation::Rotated180;
  std::optional<Image> tile = ShiftedCopy(loaded, shift.r, shift.g, shift.b, leftRight, topBottom);
  if (!tile)
    return std::nullopt;
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
      const Pixel color = pixels[i] & 0x00FFFFFFu;
      pixels[i] = InsideShape(cell, i) ? color : (color | kTransparentBlack);
    }
  }
  return tile;
}

bool Paintable(const MosaicCell& cell) {
  return cell.assigned != nullptr &&
         cell.top <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
}

bool Overlap(const MosaicCell& a, const MosaicCell& b) {
  return uint64_t{a.left} < uint64_t{b.left} + b.width &&
         uint64_t{b.left} < uint64_t{a.left} + a.width &&
         uint64_t{a.top} < uint64_t{b.top} + b.height &&
         uint64_t{b.top} < uint64_t{a.top} + a.height;
}

void PasteTile(Image& canvas, const MosaicCell& cell, const Image& tile) {
  Paste(canvas, cell.left, static_cast<int32_t>(cell.top), tile,
        cell.shape.empty() ? PasteMode::Copy : PasteMode::Blend);
}

// Kept loaded tiles may take half the canvas, within limits that keep a small mosaic from
// decoding its images twice and a giant one from doubling its memory.
size_t CacheBudget(const Image& canvas) {
  constexpr size_t kMiB = size_t{1} << 20;
  return std::clamp(canvas.PixelCount() * sizeof(Pixel) / 2, 64 * kMiB, 512 * kMiB);
}

// Paints the cells round by round. A round takes the next cells until a few tiles not yet kept
// must be loaded: those are decoded on the pool (each against a copy of its entry, since
// LoadTile records the decoded size in it and cells of several sizes may share an entry; the
// copies' records are handed back afterwards), the round's tiles are finished on the pool, and
// they are pasted in cell order so that shaped cells blend exactly as they would one after the
// other; a round of whole, separate rectangles (a grid) is pasted on the pool as its tiles are
// finished. With one thread this is the plain walk over the cells. False when stopped.
class MosaicPainter {
 public:
  MosaicPainter(MosaicJob& job, const Mosaic& mosaic, Image& canvas)
      : job_(job),
        cells_(mosaic.cells),
        params_(mosaic.params),
        canvas_(canvas),
        pool_(std::max(1u, mosaic.params.threads)),
        cache_(CacheBudget(canvas)) {
    for (const MosaicCell& cell : cells_) {
      if (Paintable(cell))
        cache_.CountUse(LoadKeyOf(cell));
    }
  }

  // The images whose file could not be loaded, once each however many cells they fill.
  size_t NotLoaded() const { return notLoaded_.size(); }

  bool Paint() {
    // A few loads per thread keep every thread busy without holding many images at once; a
    // bounded number of finished tiles lets each round reuse the memory of the one before,
    // where hundreds of cells whose tiles are all kept would take fresh pages every time.
    const size_t loadsPerRound = size_t{pool_.Threads()} * 4;
    const size_t cellsPerRound = size_t{pool_.Threads()} * 16;
    for (size_t first = 0; first < cells_.size();) {
      const size_t end = PlanRound(first, loadsPerRound, cellsPerRound);
      LoadPlanned();
      FinishRound(first, end, pool_.Threads() > 1 && PasteInAnyOrder(cells_, first, end));
      if (!PasteRound(first, end))
        return false;
      cache_.Trim();
      first = end;
    }
    return true;
  }

 private:
  // Collects the keys the cells from `first` on must load, up to `loads` of them and over at most
  // `cells` cells; returns the end of the round.
  size_t PlanRound(size_t first, size_t loads, size_t cells) {
    toLoad_.clear();
    size_t end = first;
    while (end < cells_.size() && toLoad_.size() < loads && end - first < cells) {
      const MosaicCell& cell = cells_[end++];
      if (!Paintable(cell))
        continue;
      const TileKey key = LoadKeyOf(cell);
      if (cache_.Find(key) == nullptr &&
          std::find(toLoad_.begin(), toLoad_.end(), key) == toLoad_.end())
        toLoad_.push_back(key);
    }
    return end;
  }

  void LoadPlanned() {
    const size_t count = toLoad_.size();
    records_.assign(count, CollectionEntry{});
    loaded_.assign(count, std::nullopt);
    failed_.assign(count, 0);
    pool_.ParallelFor(count, 1, [&](size_t begin, size_t end) {
      for (size_t j = begin; j < end && !job_.StopRequested(); ++j) {
        records_[j] = *toLoad_[j].entry;
        records_[j].pixelWidth = 0;  // stays 0 unless the file was decoded
        loaded_[j] = LoadTile(records_[j], toLoad_[j].width, toLoad_[j].height);
        failed_[j] = loaded_[j] ? 0 : 1;
      }
    });
    for (size_t j = 0; j < count; ++j) {
      CollectionEntry& entry = *toLoad_[j].entry;
      if (records_[j].pixelWidth != 0) {
        entry.pixelWidth = records_[j].pixelWidth;
        entry.pixelHeight = records_[j].pixelHeight;
        entry.portrait = records_[j].portrait;
      }
      if (loaded_[j])
        cache_.Store(toLoad_[j], std::move(*loaded_[j]));
      else if (failed_[j])
        notLoaded_.insert(&entry);
    }
    loaded_.clear();
  }

  // Nothing changes the cache while the tiles are finished, so every thread may read it. With
  // `paste` each tile goes straight onto the canvas: the tile of a cell without a shape is
  // exactly the cell's rectangle, so separate cells write separate pixels.
  void FinishRound(size_t first, size_t end, bool paste) {
    tiles_.assign(end - first, std::nullopt);
    pool_.ParallelFor(end - first, 1, [&](size_t begin, size_t stop) {
      for (size_t i = begin; i < stop && !job_.StopRequested(); ++i) {
        const MosaicCell& cell = cells_[first + i];
        if (!Paintable(cell))
          continue;
        const Image* loaded = cache_.Find(LoadKeyOf(cell));
        if (loaded == nullptr)
          continue;
        tiles_[i] = FinishTile(cell, *cell.assigned, *loaded, params_);
        if (paste && tiles_[i]) {
          PasteTile(canvas_, cell, *tiles_[i]);
          tiles_[i].reset();
        }
      }
    });
  }

  bool PasteRound(size_t first, size_t end) {
    for (size_t i = first; i < end; ++i) {
      const MosaicCell& cell = cells_[i];
      job_.AddStageProgress(1);
      if (job_.StopRequested())
        return false;
      if (!Paintable(cell))
        continue;
      if (std::optional<Image>& tile = tiles_[i - first])
        PasteTile(canvas_, cell, *tile);
      tiles_[i - first].reset();
      cache_.Used(LoadKeyOf(cell));
    }
    return true;
  }

  MosaicJob& job_;
  const std::vector<MosaicCell>& cells_;
  const EngineParameters& params_;
  Image& canvas_;
  WorkPool pool_;
  TileCache cache_;
  std::vector<TileKey> toLoad_;
  std::vector<CollectionEntry> records_;
  std::vector<std::optional<Image>> loaded_;
  std::vector<uint8_t> failed_;  // per planned load: tried and failed (one byte per thread's slot)
  std::unordered_set<const CollectionEntry*> notLoaded_;
  std::vector<std::optional<Image>> tiles_;
};

}  // namespace

bool PasteInAnyOrder(const std::vector<MosaicCell>& cells, size_t first, size_t end) {
  for (size_t i = first; i < end; ++i) {
    const MosaicCell& cell = cells[i];
    if (!Paintable(cell))
      continue;
    if (!cell.shape.empty())
      return false;
    for (size_t j = first; j < i; ++j) {
      if (Paintable(cells[j]) && Overlap(cell, cells[j]))
        return false;
    }
  }
  return true;
}

Status RenderFinalMosaic(MosaicJob& job, Mosaic& mosaic) {
  job.BeginStage(1, 1.0);
  job.SetStatus("Initializing Final Mosaic...");
  // Transparent black: whatever no cell covers stays black in the file, which ignores T.
  Image canvas;
  if (Status created = canvas.CreateTransparentInBudget(mosaic.width, mosaic.height); !created)
    return created;

  job.EndStage();
  job.BeginStage(2, static_cast<double>(mosaic.cells.size()));
  job.SetStatus("Building Final Mosaic...");
  MosaicPainter painter(job, mosaic, canvas);
  if (!painter.Paint())
    return Failure{FailureKind::kStopped, {}, 0, {}};
  mosaic.tilesNotLoaded = painter.NotLoaded();
  job.EndStage();
  mosaic.mosaicFile = MosaicFileName(mosaic.outputBase);

  job.BeginStage(3, 1.0);
  job.SetStatus("Saving Final Mosaic...");
  const int quality = static_cast<int>(mosaic.jpegQuality);
  if (mosaic.mosaicOutput == nullptr) {
    mosaic.mosaicSaved =
        static_cast<bool>(WithJpegMessage(canvas.SaveJpeg(mosaic.mosaicFile, quality)));
    if (mosaic.mosaicSaved)
      MosaicSaved(job, mosaic, std::move(canvas));
  } else if (WithJpegMessage(WritePixels(*mosaic.mosaicOutput, canvas.Pixels(), canvas.Width(),
                                         canvas.Height(), quality))) {
    mosaic.picture = std::move(canvas);
  }
  job.EndStage();
  return {};
}

void MosaicSaved(MosaicJob& job, const Mosaic& mosaic, Image picture) {
  job.Post(std::move(picture), Format("Mosaic: %s", mosaic.sourcePath.c_str()));
  IncrementMosaicCount();
}

}  // namespace tessarix
