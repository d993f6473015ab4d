#include "engine/mask_cells.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "engine/source_analysis.h"
#include "imaging/image_ops.h"
#include "imaging/jpeg_file.h"
#include "imaging/pixel_buffer.h"
#include "platform/memory_limit.h"

namespace tessarix {
namespace {

// Two mask pixels belong to the same area when their squared RGB distance is at most 9; JPEG
// noise on a flat area stays well inside that.
bool Similar(Pixel a, Pixel b) {
  const int dr = static_cast<int>(Red(a)) - static_cast<int>(Red(b));
  const int dg = static_cast<int>(Green(a)) - static_cast<int>(Green(b));
  const int db = static_cast<int>(Blue(a)) - static_cast<int>(Blue(b));
  return dr * dr + dg * dg + db * db <= 9;
}

// Labels joined into areas. A join makes the smaller root the parent of the larger, so the root
// of every area is its smallest label and parent[l] < l for every non-root. Path halving keeps
// the chains short without changing any root, so the areas come out as without it.
class LabelForest {
 public:
  uint32_t NewLabel() {
    parent_.push_back(0);
    return static_cast<uint32_t>(parent_.size() - 1);
  }

  uint32_t Root(uint32_t label) {
    while (parent_[label] != 0) {
      const uint32_t up = parent_[label];
      if (parent_[up] != 0)
        parent_[label] = parent_[up];
      label = up;
    }
    return label;
  }

  // Joins the areas of a and b; returns the root of the joined area.
  uint32_t Join(uint32_t a, uint32_t b) {
    const uint32_t ra = Root(a);
    const uint32_t rb = Root(b);
    if (ra == rb)
      return ra;
    const auto [low, high] = std::minmax(ra, rb);
    parent_[high] = low;
    return low;
  }

  // Turns the parent table into a root table: entry l becomes the root of l (l for a root).
  // Parents are smaller than their children, so one ascending pass sees every parent resolved.
  std::vector<uint32_t> TakeRoots() {
    for (size_t l = 1; l < parent_.size(); ++l)
      parent_[l] = parent_[l] == 0 ? static_cast<uint32_t>(l) : parent_[parent_[l]];
    return std::move(parent_);
  }

 private:
  std::vector<uint32_t> parent_{0};  // entry 0 stands for "no label"
};

// One label per mask pixel, row-major, 0 = none. The first pass writes every entry, so the
// buffer is left uninitialised rather than cleared for nothing, and it lives in the pixel memory
// (huge pages) because first touching 4 bytes for every mask pixel otherwise costs more than the
// segmentation itself.
class LabelMap {
 public:
  explicit LabelMap(size_t count) { data_.resize(count); }

  uint32_t* data() { return data_.data(); }
  const uint32_t* data() const { return data_.data(); }
  size_t size() const { return data_.size(); }
  uint32_t& operator[](size_t i) { return data_[i]; }
  uint32_t operator[](size_t i) const { return data_[i]; }
  uint32_t* begin() { return data_.data(); }
  uint32_t* end() { return data_.data() + data_.size(); }

 private:
  std::vector<uint32_t, PixelAllocator<uint32_t>> data_;
};

// The first labelling pass: every pixel gets a label, runs of similar colour along a row share
// one, and similar pixels above and below have their labels joined. Returns the root table.
std::vector<uint32_t> LabelRows(const Image& mask, LabelMap& labels) {
  const uint32_t w = mask.Width();
  const uint32_t h = mask.Height();
  LabelForest forest;
  uint32_t running = forest.NewLabel();
  Pixel previous = mask.At(0, 0);
  for (uint32_t y = 0; y < h; ++y) {
    const Pixel* row = mask.Row(y);
    uint32_t* lab = labels.data() + size_t{y} * w;
    // The row above through its own pointers: x - w in unsigned arithmetic wraps, and a wrapped
    // index is undefined behaviour on a pointer even when the sum lands inside the buffer.
    const Pixel* rowAbove = y > 0 ? mask.Row(y - 1) : nullptr;
    const uint32_t* labAbove = y > 0 ? lab - w : nullptr;
    if (y > 0) {
      running = labAbove[0];
      previous = rowAbove[0];
    }
    for (uint32_t x = 0; x < w; ++x) {
      const Pixel p = row[x];
      if (!Similar(p, previous))
        running = forest.NewLabel();
      lab[x] = running;
      previous = p;
      if (y > 0) {
        const uint32_t aboveLabel = labAbove[x];
        if (aboveLabel != running && Similar(p, rowAbove[x]))
          running = forest.Join(aboveLabel, running);
      }
    }
  }
  return forest.TakeRoots();
}

// One narrowing pass in place: a label survives only where all four neighbours carry it too
// (beyond the edge counts as equal). Two row copies stand in for the previous pass's labels.
void Narrow(LabelMap& labels, uint32_t w, uint32_t h) {
  std::vector<uint32_t> above(w), current(w);
  for (uint32_t y = 0; y < h; ++y) {
    uint32_t* row = labels.data() + size_t{y} * w;
    std::copy(row, row + w, current.begin());
    const uint32_t* below = y + 1 < h ? row + w : nullptr;
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t l = current[x];
      if (l == 0)
        continue;
      const bool keep = (x == 0 || current[x - 1] == l) && (x + 1 == w || current[x + 1] == l) &&
                        (y == 0 || above[x] == l) && (below == nullptr || below[x] == l);
      if (!keep)
        row[x] = 0;
    }
    std::swap(above, current);
  }
}

// The label an unlabelled pixel grows back from its neighbours: the most frequent non-zero one,
// ties to the first met in the order left, right, upper, lower; 0 when all four are 0.
uint32_t Regrown(const LabelMap& labels, uint32_t w, uint32_t h, uint32_t x, uint32_t y) {
  const size_t i = size_t{y} * w + x;
  const uint32_t n[4] = {x > 0 ? labels[i - 1] : 0u, x + 1 < w ? labels[i + 1] : 0u,
                         y > 0 ? labels[i - w] : 0u, y + 1 < h ? labels[i + w] : 0u};
  uint32_t best = 0;
  int bestCount = 0;
  for (int k = 0; k < 4; ++k) {
    if (n[k] == 0)
      continue;
    int count = 0;
    for (int j = 0; j < 4; ++j) count += n[j] == n[k];
    if (count > bestCount) {
      best = n[k];
      bestCount = count;
    }
  }
  return best;
}

// Regrowing passes until no pixel is 0. A pixel can only gain a labelled neighbour when one of
// its neighbours was regrown in the pass before, so after a first full scan each pass visits only
// the neighbours of the pixels just regrown: the work is linear in the mask, however wide the
// gaps. False when a pass regrows nothing while unlabelled pixels remain (nothing left to grow
// from).
bool Regrow(LabelMap& labels, uint32_t w, uint32_t h) {
  const size_t count = labels.size();
  // Indices fit in 32 bits: the caller refuses masks of 2^32 pixels or more.
  std::vector<std::pair<uint32_t, uint32_t>> changes;
  size_t zeros = 0;
  for (uint32_t y = 0; y < h; ++y) {
    const uint32_t* row = labels.data() + size_t{y} * w;
    for (uint32_t x = 0; x < w; ++x) {
      if (row[x] != 0)
        continue;
      ++zeros;
      if (const uint32_t l = Regrown(labels, w, h, x, y))
        changes.emplace_back(y * w + x, l);
    }
  }
  if (zeros == 0)
    return true;
  std::vector<bool> queued(count);
  std::vector<uint32_t> frontier;
  while (true) {
    if (changes.empty())
      return false;
    for (const auto& [i, l] : changes) labels[i] = l;
    zeros -= changes.size();
    if (zeros == 0)
      return true;
    frontier.clear();
    auto visit = [&](uint32_t j) {
      if (labels[j] == 0 && !queued[j]) {
        queued[j] = true;
        frontier.push_back(j);
      }
    };
    for (const auto& change : changes) {
      const uint32_t i = change.first;
      const uint32_t x = i % w;
      if (x > 0)
        visit(i - 1);
      if (x + 1 < w)
        visit(i + 1);
      if (i >= w)
        visit(i - w);
      if (size_t{i} + w < count)
        visit(i + w);
    }
    changes.clear();
    for (const uint32_t j : frontier) {
      queued[j] = false;
      const uint32_t x = j % w;
      const uint32_t y = j / w;
      if (const uint32_t l = Regrown(labels, w, h, x, y))
        changes.emplace_back(j, l);
    }
  }
}

struct AreaBounds {
  uint32_t left = std::numeric_limits<uint32_t>::max();
  uint32_t top = std::numeric_limits<uint32_t>::max();
  uint32_t right = 0;   // inclusive
  uint32_t bottom = 0;  // inclusive
  uint32_t pixels = 0;
};

// Calls run(y, x0, x1, label) for every run of equal labels in the rows, x1 exclusive.
template <typename Fn>
void ForEachRun(const LabelMap& labels, uint32_t w, uint32_t h, Fn run) {
  for (uint32_t y = 0; y < h; ++y) {
    const uint32_t* row = labels.data() + size_t{y} * w;
    uint32_t x = 0;
    while (x < w) {
      const uint32_t l = row[x];
      const uint32_t x0 = x;
      while (x < w && row[x] == l) ++x;
      run(y, x0, x, l);
    }
  }
}

// One cell per surviving area, in ascending label order (the raster order in which the areas
// were first met). `roots` is reused as the table from label to cell number. Areas are flat, so
// the passes go by runs of one label rather than by pixels.
void MakeCells(std::vector<MosaicCell>& cells, const LabelMap& labels, std::vector<uint32_t>& roots,
               uint32_t w, uint32_t h) {
  std::fill(roots.begin(), roots.end(), 0u);
  ForEachRun(labels, w, h, [&](uint32_t, uint32_t, uint32_t, uint32_t l) { roots[l] = 1; });
  uint32_t areas = 0;
  for (size_t l = 1; l < roots.size(); ++l)
    if (roots[l] != 0)
      roots[l] = ++areas;

  std::vector<AreaBounds> bounds(areas);
  ForEachRun(labels, w, h, [&](uint32_t y, uint32_t x0, uint32_t x1, uint32_t l) {
    AreaBounds& b = bounds[roots[l] - 1];
    b.left = std::min(b.left, x0);
    b.right = std::max(b.right, x1 - 1);
    b.top = std::min(b.top, y);
    b.bottom = std::max(b.bottom, y);
    b.pixels += x1 - x0;
  });

  cells.resize(areas);
  for (uint32_t a = 0; a < areas; ++a) {
    const AreaBounds& b = bounds[a];
    MosaicCell& cell = cells[a];
    cell.left = b.left;
    cell.top = b.top;
    cell.width = b.right - b.left + 1;
    cell.height = b.bottom - b.top + 1;
    cell.area = b.pixels;
    // Other areas inside the rectangle (a hole, a neighbour's corner) need a shape.
    if (uint64_t{cell.width} * cell.height != cell.area)
      cell.shape.assign(size_t{cell.width} * cell.height, false);
  }
  ForEachRun(labels, w, h, [&](uint32_t y, uint32_t x0, uint32_t x1, uint32_t l) {
    MosaicCell& cell = cells[roots[l] - 1];
    if (cell.shape.empty())
      return;
    const auto first = cell.shape.begin() +
                       static_cast<ptrdiff_t>(size_t{y - cell.top} * cell.width + (x0 - cell.left));
    std::fill(first, first + (x1 - x0), true);
  });
}

}  // namespace

MaskSegmentation SegmentMask(std::vector<MosaicCell>& cells, Image mask) {
  cells.clear();
  MaskSegmentation result;
  const uint32_t w = mask.Width();
  const uint32_t h = mask.Height();
  const uint64_t count = uint64_t{w} * h;
  if (mask.Empty()) {
    result.status = Unnamed(FailureKind::kRefused);
    return result;
  }
  result.status = Unnamed(FailureKind::kOutOfMemory);
  // Labels never outnumber pixels, so they fit in 32 bits whenever the pixel count does.
  if (count >= std::numeric_limits<uint32_t>::max() ||
      !CanAllocate(SaturatingProduct(count, sizeof(uint32_t))))
    return result;
  try {
    LabelMap labels(static_cast<size_t>(count));
    std::vector<uint32_t> roots = LabelRows(mask, labels);
    mask.Release();
    for (uint32_t& l : labels) l = roots[l];
    Narrow(labels, w, h);
    Narrow(labels, w, h);
    if (!Regrow(labels, w, h)) {
      result.status = Unnamed(FailureKind::kEmpty);
      return result;
    }
    MakeCells(cells, labels, roots, w, h);
  } catch (const std::bad_alloc&) {
    cells.clear();
    return result;
  }
  result.status = {};
  result.maskWidth = w;
  result.maskHeight = h;
  return result;
}

MaskSegmentation BuildMaskCells(std::vector<MosaicCell>& cells, const std::string& maskPath) {
  Image mask;
  MaskSegmentation result;
  result.status = WithJpegMessage(mask.LoadJpeg(maskPath));
  if (!result.status) {
    cells.clear();
    return result;
  }
  result = SegmentMask(cells, std::move(mask));
  if (!result.status && result.status.Why().kind == FailureKind::kEmpty)
    result.status = Failure{FailureKind::kEmpty, maskPath, 0, {}};
  return result;
}

namespace {

__extension__ using Wide = unsigned __int128;

// Fills every cell's neighbour list with the cells whose top-left corners lie closer than
// sqrt(q), in list order. Cells are looked up through a list sorted by top so that only cells
// in reach are measured. False on a stop request.
bool FindNeighbours(MosaicJob& job, std::vector<MosaicCell>& cells, uint64_t q) {
  const size_t n = cells.size();
  std::vector<uint32_t> byTop(n);
  for (size_t i = 0; i < n; ++i) byTop[i] = static_cast<uint32_t>(i);
  std::stable_sort(byTop.begin(), byTop.end(),
                   [&](uint32_t a, uint32_t b) { return cells[a].top < cells[b].top; });
  // reach = the largest d with d * d < q.
  uint64_t reach = static_cast<uint64_t>(std::sqrt(static_cast<double>(q)));
  while (reach > 0 && Wide{reach} * reach >= q) --reach;
  while (Wide{reach + 1} * (reach + 1) < q) ++reach;

  for (size_t a = 0; a < n; ++a) {
    if (job.StopRequested())
      return false;
    job.AddStageProgress(1);
    MosaicCell& cell = cells[a];
    cell.neighbours.clear();
    const uint64_t lowTop = cell.top > reach ? cell.top - reach : 0;
    const uint64_t highTop = uint64_t{cell.top} + reach;
    auto first = std::lower_bound(byTop.begin(), byTop.end(), lowTop,
                                  [&](uint32_t i, uint64_t t) { return cells[i].top < t; });
    for (auto it = first; it != byTop.end() && cells[*it].top <= highTop; ++it) {
      if (*it == a)
        continue;
      const MosaicCell& other = cells[*it];
      const uint64_t dt = cell.top > other.top ? cell.top - other.top : other.top - cell.top;
      const uint64_t dl = cell.left > other.left ? cell.left - other.left : other.left - cell.left;
      const Wide d2 = Wide{dt} * dt + Wide{dl} * dl;
      if (d2 < q)
        cell.neighbours.push_back(*it);
    }
    std::sort(cell.neighbours.begin(), cell.neighbours.end());
  }
  return true;
}

}  // namespace

Status AnalyseSourceMask(MosaicJob& job, Mosaic& mosaic, const Image& image,
                         const std::string& maskPath, ImageCollection& collection) {
  if (image.Empty() || collection.IsEmpty())
    return Unnamed(FailureKind::kRefused);
  job.BeginStage(4, 1.0);
  const MaskSegmentation segmentation = BuildMaskCells(mosaic.cells, maskPath);
  if (!segmentation.status)
    return segmentation.status;
  job.EndStage();
  const Failure withoutAreas{FailureKind::kEmpty, maskPath, 0, {}};
  if (mosaic.cells.empty())
    return withoutAreas;

  const CellExtent extent = MeasureCells(mosaic.cells);
  const double scale = AnalysisScale(extent);
  const std::optional<Size2> size =
      FitAspect(extent.width, extent.height, image.Width(), image.Height());
  if (!size)
    return withoutAreas;
  mosaic.width = size->width;
  mosaic.height = size->height;

  const uint32_t sw = static_cast<uint32_t>(std::floor(size->width * scale));
  const uint32_t sh = static_cast<uint32_t>(std::floor(size->height * scale));
  const std::optional<Image> scaled = FitWithin(image, sw, sh);
  if (!scaled)
    return Unnamed(FailureKind::kOutOfMemory);
  if (Status analysed = AnalyseCells(job, mosaic, *scaled, scale, sw, sh); !analysed)
    return analysed;

  const size_t n = mosaic.cells.size();
  job.BeginStage(0, static_cast<double>(n));
  job.SetStatus("Calculating Tile Distance...");
  const uint64_t perCell = uint64_t{mosaic.width} * mosaic.height / n;
  const uint64_t d = mosaic.params.minDuplicateDistance;
  const uint64_t q = SaturatingProduct(perCell, d * d);
  if (q > 0) {
    if (!FindNeighbours(job, mosaic.cells, q))
      return Unnamed(FailureKind::kStopped);
  } else {
    for (MosaicCell& cell : mosaic.cells) cell.neighbours.clear();
  }
  job.EndStage();
  mosaic.collection = &collection;
  return {};
}

std::optional<Image> RenderMaskInfo(const std::vector<MosaicCell>& cells) {
  uint64_t width = 0;
  uint64_t height = 0;
  for (const MosaicCell& cell : cells) {
    if (cell.area == 0)
      continue;
    width = std::max(width, uint64_t{cell.left} + cell.width);
    height = std::max(height, uint64_t{cell.top} + cell.height);
  }
  constexpr uint64_t kSideLimit = std::numeric_limits<uint32_t>::max();
  if (width > kSideLimit || height > kSideLimit)
    return std::nullopt;
  Image picture;
  if (!picture.CreateTransparent(static_cast<uint32_t>(width), static_cast<uint32_t>(height)))
    return std::nullopt;

  // Colours spread evenly down from white, far enough apart to tell neighbours apart.
  const uint64_t step = 16777215 / (2 * uint64_t{cells.size()} + 1);
  uint64_t color = 16777215;
  for (const MosaicCell& cell : cells) {
    const Pixel value = static_cast<Pixel>(color);
    color -= step;
    if (cell.area == 0)
      continue;
    Image piece;
    if (!piece.CreateTransparent(cell.width, cell.height))
      continue;
    Pixel* pixels = piece.Pixels();
    for (size_t i = 0; i < piece.PixelCount(); ++i)
      if (InsideShape(cell, i))
        pixels[i] = value;
    Paste(picture, cell.left, static_cast<int32_t>(cell.top), piece, PasteMode::Blend);
  }
  return picture;
}

}  // namespace tessarix
