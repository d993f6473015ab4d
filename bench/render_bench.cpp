// The final rendering of a 3000 x 2000 mosaic of 400 cells (20 x 20 tiles of 150 x 100) from 40
// generated 1024 x 768 collection photos, with recolouring and flip codes as "Flip Horiz." does
// them, saved as JPEG, with one and two threads; against the floor of decoding each placed photo
// once and encoding the mosaic.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "collection/tile_analysis.h"
#include "engine/rendering.h"
#include "imaging/image.h"

namespace tessarix {
namespace {

constexpr uint32_t kTileFiles = 40;
constexpr uint32_t kColumns = 20, kRows = 20, kCellW = 150, kCellH = 100;

Image MakePhoto(uint32_t n) {
  Image image;
  image.Create(1024, 768, 0);
  uint32_t seed = 977 * n + 1;
  for (uint32_t y = 0; y < 768; ++y) {
    for (uint32_t x = 0; x < 1024; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) & 15) - 8;
      const double fx = x / (60.0 + n), fy = y / (45.0 + 2 * n);
      auto clamp = [noise](double v) {
        return static_cast<uint32_t>(std::min(255.0, std::max(0.0, v + noise)));
      };
      image.At(x, y) =
          MakePixel(clamp(128 + 100 * std::sin(fx + n)), clamp(120 + 80 * std::cos(fy - n)),
                    clamp(110 + 90 * std::sin(fx * fy * 0.1)));
    }
  }
  return image;
}

struct Fixture {
  std::filesystem::path folder;
  std::vector<std::unique_ptr<CollectionEntry>> entries;
  Mosaic mosaic;

  Fixture() {
    folder = std::filesystem::temp_directory_path() / "tessarix-render-bench";
    std::filesystem::create_directories(folder);
    // The renderer raises the usage counter after every save: keep it out of the user's home.
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    for (uint32_t n = 0; n < kTileFiles; ++n) {
      auto entry = std::make_unique<CollectionEntry>();
      entry->path = (folder / ("tile" + std::to_string(n) + ".jpg")).string();
      MakePhoto(n).SaveJpeg(entry->path, 90);
      AnalyseEntry(*entry);
      entries.push_back(std::move(entry));
    }
    mosaic.width = kColumns * kCellW;
    mosaic.height = kRows * kCellH;
    mosaic.params.algorithm = kFlipHorizontal;
    mosaic.params.modifyLimit = 25;
    mosaic.outputBase = (folder / "Bench").string();
    mosaic.sourcePath = (folder / "Bench.jpg").string();
    for (uint32_t c = 0; c < kColumns; ++c) {
      for (uint32_t r = 0; r < kRows; ++r) {
        MosaicCell& cell = mosaic.cells.emplace_back();
        cell.left = c * kCellW, cell.top = r * kCellH;
        cell.width = kCellW, cell.height = kCellH, cell.area = kCellW * kCellH;
        cell.assigned = entries[(c * kRows + r) % kTileFiles].get();
        cell.info = cell.assigned->info;
        cell.info.average = MakePixel(Red(cell.info.average) / 2 + 60, Green(cell.info.average),
                                      Blue(cell.info.average) / 2 + 40);
        cell.hasInfo = 1;
      }
    }
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_RenderFinalMosaic(benchmark::State& state) {
  Fixture& fixture = Shared();
  fixture.mosaic.params.threads = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    MosaicJob job;
    if (!RenderFinalMosaic(job, fixture.mosaic) || !job.TakeDisplayItem())
      state.SkipWithError("rendering failed");
  }
}
BENCHMARK(BM_RenderFinalMosaic)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// What no renderer can avoid: decoding every placed photo once and encoding the mosaic.
void BM_DecodePlacedAndEncode(benchmark::State& state) {
  Fixture& fixture = Shared();
  // The mosaic itself, since a flat picture would encode far faster than a real one.
  MosaicJob job;
  fixture.mosaic.params.threads = 1;
  std::optional<DisplayQueue::Item> rendered;
  if (!RenderFinalMosaic(job, fixture.mosaic) || !(rendered = job.TakeDisplayItem()) ||
      !rendered->image) {
    state.SkipWithError("rendering failed");
    return;
  }
  const Image& canvas = *rendered->image;
  const std::string output = fixture.mosaic.outputBase + " Floor.JPG";
  for (auto _ : state) {
    for (const auto& entry : fixture.entries) {
      Image image;
      image.LoadJpeg(entry->path);
      benchmark::DoNotOptimize(image.Pixels());
    }
    if (!canvas.SaveJpeg(output, 90))
      state.SkipWithError("saving failed");
  }
}
BENCHMARK(BM_DecodePlacedAndEncode)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LoadTilesAtCellSize(benchmark::State& state) {
  Fixture& fixture = Shared();
  for (auto _ : state) {
    for (MosaicCell& cell : fixture.mosaic.cells) {
      std::optional<Image> tile = LoadTile(*cell.assigned, cell.width, cell.height);
      benchmark::DoNotOptimize(tile);
    }
  }
}
BENCHMARK(BM_LoadTilesAtCellSize)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace tessarix

BENCHMARK_MAIN();
