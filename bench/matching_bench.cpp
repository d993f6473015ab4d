// The assignment of 3000 collection images to a mosaic of 2000 cells (50 x 40 tiles of 60 x 40)
// for each distance algorithm, without the rendering. Records are made from generated 12 x 8
// thumbnails (a base colour, a gradient and a little noise, fixed seed), so distances spread as
// they do for photos. "spaced" is the multi-use strategy with unlimited duplicates and D = 2 (the
// command line's defaults); "single" allows each image once; "threads" 1 is the sequential path.
// Counters: the images used and the cells filled, so the runs can be compared beyond their time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "color/color_info.h"
#include "engine/matching.h"

namespace tessarix {
namespace {

constexpr uint32_t kColumns = 50, kRows = 40, kCellW = 60, kCellH = 40;
constexpr uint32_t kEntries = 3000;

class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed) {}
  uint32_t Next(uint32_t range) {
    state_ = state_ * 1103515245u + 12345u;
    return (state_ >> 8) % range;
  }

 private:
  uint32_t state_;
};

ColorInfo MakeRecord(Random& random) {
  const int base[3] = {static_cast<int>(random.Next(256)), static_cast<int>(random.Next(256)),
                       static_cast<int>(random.Next(256))};
  const int dx = static_cast<int>(random.Next(17)) - 8;
  const int dy = static_cast<int>(random.Next(17)) - 8;
  Image thumbnail;
  thumbnail.Create(kThumbWidth, kThumbHeight, 0);
  for (uint32_t y = 0; y < kThumbHeight; ++y) {
    for (uint32_t x = 0; x < kThumbWidth; ++x) {
      uint32_t channel[3];
      for (int c = 0; c < 3; ++c) {
        const int noise = static_cast<int>(random.Next(21)) - 10;
        const int v = base[c] + dx * static_cast<int>(x) + dy * static_cast<int>(y) + noise;
        channel[c] = static_cast<uint32_t>(std::clamp(v, 0, 255));
      }
      thumbnail.At(x, y) = MakePixel(channel[0], channel[1], channel[2]);
    }
  }
  ColorInfo info;
  ComputeColorInfo(info, thumbnail);
  return info;
}

struct Fixture {
  ImageCollection collection;
  Mosaic mosaic;

  Fixture() {
    Random random(20240611);
    for (uint32_t e = 0; e < kEntries; ++e) {
      auto entry = std::make_unique<CollectionEntry>();
      entry->path = "/bench/tile" + std::to_string(e) + ".jpg";
      entry->info = MakeRecord(random);
      entry->portrait = random.Next(4) == 0 ? 1 : 0;
      collection.Add(std::move(entry));
    }
    for (uint32_t c = 0; c < kColumns; ++c) {
      for (uint32_t r = 0; r < kRows; ++r) {
        MosaicCell cell;
        cell.left = c * kCellW;
        cell.top = r * kCellH;
        cell.width = kCellW;
        cell.height = kCellH;
        cell.area = kCellW * kCellH;
        cell.info = MakeRecord(random);
        cell.hasInfo = 1;
        mosaic.cells.push_back(cell);
      }
    }
    mosaic.width = kColumns * kCellW;
    mosaic.height = kRows * kCellH;
    mosaic.collection = &collection;
    mosaic.params.modifyLimit = 10 * 255 / 100;
  }
};

Fixture& SharedFixture() {
  static Fixture fixture;
  return fixture;
}

void BM_AssignTiles(benchmark::State& state) {
  Fixture& fixture = SharedFixture();
  Mosaic& mosaic = fixture.mosaic;
  mosaic.params.algorithm = static_cast<uint32_t>(state.range(0));
  const bool single = state.range(1) != 0;
  mosaic.params.maxDuplicateCount = single ? 1 : 0;
  mosaic.params.minDuplicateDistance = 2;
  mosaic.params.threads = static_cast<uint32_t>(state.range(2));
  mosaic.params.parallelMatchingCells = 1;
  MosaicJob job;
  for (auto _ : state) {
    ResetAssignment(job, mosaic);
    benchmark::DoNotOptimize(AssignTiles(job, mosaic));
  }
  uint32_t used = 0, filled = 0;
  for (size_t e = 0; e < fixture.collection.Size(); ++e)
    used += fixture.collection.Entry(e).useCount > 0 ? 1 : 0;
  for (const MosaicCell& cell : mosaic.cells) filled += cell.assigned != nullptr ? 1 : 0;
  state.counters["images_used"] = used;
  state.counters["cells_filled"] = filled;
  state.SetLabel(std::string(single ? "single" : "spaced"));
}

BENCHMARK(BM_AssignTiles)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}, {1, 2}})
    ->ArgNames({"algorithm", "single", "threads"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace tessarix

BENCHMARK_MAIN();
