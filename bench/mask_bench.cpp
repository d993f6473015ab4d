// Mask segmentation on a 6000 x 4000 mask of a few hundred flat areas with irregular borders,
// against the time it takes only to decode that mask. Masks have no size limit, so the
// segmentation must stay a small multiple of the decode. The generated mask is left in the
// temporary folder (its path is printed).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/mask_cells.h"
#include "imaging/image.h"

namespace tessarix {
namespace {

constexpr uint32_t kWidth = 6000;
constexpr uint32_t kHeight = 4000;
constexpr uint32_t kCell = 300;  // 20 x 14 jittered seeds: about 280 areas

uint32_t Hash(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352dU;
  v ^= v >> 15;
  v *= 0x846ca68bU;
  v ^= v >> 16;
  return v;
}

// Each pixel takes the colour of its nearest seed; seeds are jittered inside a regular grid so
// that only the nine surrounding grid cells need looking at.
Image MakeMask() {
  const uint32_t cols = (kWidth + kCell - 1) / kCell;
  const uint32_t rows = (kHeight + kCell - 1) / kCell;
  auto seedX = [&](uint32_t c, uint32_t r) { return c * kCell + Hash(r * cols + c) % kCell; };
  auto seedY = [&](uint32_t c, uint32_t r) {
    return r * kCell + Hash(r * cols + c + 100000) % kCell;
  };
  Image image;
  image.Create(kWidth, kHeight, 0);
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      const int64_t gc = x / kCell;
      const int64_t gr = y / kCell;
      int64_t best = INT64_MAX;
      uint32_t id = 0;
      for (int64_t r = gr - 1; r <= gr + 1; ++r) {
        for (int64_t c = gc - 1; c <= gc + 1; ++c) {
          if (r < 0 || c < 0 || r >= rows || c >= cols)
            continue;
          const int64_t dx = int64_t{seedX(c, r)} - x;
          const int64_t dy = int64_t{seedY(c, r)} - y;
          if (dx * dx + dy * dy < best) {
            best = dx * dx + dy * dy;
            id = static_cast<uint32_t>(r * cols + c);
          }
        }
      }
      const uint32_t h = Hash(id + 7);
      image.At(x, y) = MakePixel(h & 0xFF, (h >> 8) & 0xFF, (h >> 16) & 0xFF);
    }
  }
  return image;
}

const std::string& MaskFile() {
  static const std::string path = [] {
    const std::string file =
        (std::filesystem::temp_directory_path() / "tessarix_bench_mask.jpg").string();
    MakeMask().SaveJpeg(file, 100);
    std::fprintf(stderr, "mask: %s\n", file.c_str());
    return file;
  }();
  return path;
}

void BM_DecodeMask(benchmark::State& state) {
  const std::string& path = MaskFile();
  for (auto _ : state) {
    Image mask;
    benchmark::DoNotOptimize(mask.LoadJpeg(path));
  }
}
BENCHMARK(BM_DecodeMask)->Unit(benchmark::kMillisecond);

// Decode plus segmentation, as the mask mode pays it for every photo.
void BM_BuildMaskCells(benchmark::State& state) {
  const std::string& path = MaskFile();
  std::vector<MosaicCell> cells;
  for (auto _ : state) {
    const MaskSegmentation s = BuildMaskCells(cells, path);
    if (!s.status)
      state.SkipWithError("segmentation failed");
  }
  state.counters["cells"] = static_cast<double>(cells.size());
}
BENCHMARK(BM_BuildMaskCells)->Unit(benchmark::kMillisecond);

// The segmentation alone, on a mask already decoded (the copy is not timed).
void BM_SegmentMask(benchmark::State& state) {
  Image decoded;
  decoded.LoadJpeg(MaskFile());
  std::vector<MosaicCell> cells;
  for (auto _ : state) {
    state.PauseTiming();
    Image copy = decoded;
    state.ResumeTiming();
    SegmentMask(cells, std::move(copy));
  }
  state.counters["cells"] = static_cast<double>(cells.size());
}
BENCHMARK(BM_SegmentMask)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessarix

BENCHMARK_MAIN();
