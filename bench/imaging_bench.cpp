// The imaging core on photo-sized input: decoding a 12-megapixel JPEG, the two resamples every
// tile load does, and the wallpaper cross-fade. The generated JPEG is left in the temporary
// folder (its path is printed) so the decoder can be timed against djpeg on the same file.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "imaging/image.h"
#include "imaging/image_ops.h"

namespace tessarix {
namespace {

constexpr uint32_t kWidth = 4000;
constexpr uint32_t kHeight = 3000;

// Smooth shading, a few hard edges and sensor-like noise: compresses like a photograph.
Image MakePhoto() {
  Image image;
  image.Create(kWidth, kHeight, 0);
  uint32_t seed = 12345;
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) & 15) - 8;
      const double fx = x / 400.0;
      const double fy = y / 300.0;
      int r = static_cast<int>(128 + 90 * std::sin(fx) * std::cos(fy * 0.7));
      int g = static_cast<int>(110 + 70 * std::cos(fx * 0.5 + fy));
      int b = static_cast<int>(100 + 80 * std::sin(fy * 1.3));
      if ((x / 500 + y / 375) % 3 == 0)
        r = 255 - r;  // blocks with hard edges
      auto clamp = [noise](int v) { return std::min(255, std::max(0, v + noise)); };
      image.At(x, y) = MakePixel(clamp(r), clamp(g), clamp(b));
    }
  }
  return image;
}

const Image& Photo() {
  static const Image photo = MakePhoto();
  return photo;
}

const std::string& PhotoFile() {
  static const std::string path = [] {
    const std::string file =
        (std::filesystem::temp_directory_path() / "tessarix-bench-photo.jpg").string();
    Photo().SaveJpeg(file, 90);
    std::fprintf(stderr, "bench photo: %s\n", file.c_str());
    return file;
  }();
  return path;
}

void BM_LoadJpeg(benchmark::State& state) {
  const std::string& path = PhotoFile();
  for (auto _ : state) {
    Image image;
    if (!image.LoadJpeg(path))
      state.SkipWithError("cannot load");
    benchmark::DoNotOptimize(image.Pixels());
  }
}
BENCHMARK(BM_LoadJpeg)->Unit(benchmark::kMillisecond);

void BM_Resample(benchmark::State& state) {
  const Image& photo = Photo();
  const auto dw = static_cast<uint32_t>(state.range(0));
  const auto dh = static_cast<uint32_t>(state.range(1));
  for (auto _ : state) {
    auto small = Resample(photo, dw, dh, kWidth, kHeight, 0, 0);
    benchmark::DoNotOptimize(small->Pixels());
  }
}
BENCHMARK(BM_Resample)->Args({150, 100})->Args({12, 8})->Unit(benchmark::kMillisecond);

// A mosaic tile from a 1024 x 768 photo: its centre 1024 x 683 to 150 x 100, about seven source
// rows per tile row, so the partly covered rows weigh more than in the cases above.
void BM_ResampleTile(benchmark::State& state) {
  const Image& photo = Photo();
  for (auto _ : state) {
    auto tile = Resample(photo, 150, 100, 1024, 683, 0, 42);
    benchmark::DoNotOptimize(tile->Pixels());
  }
}
BENCHMARK(BM_ResampleTile)->Unit(benchmark::kMicrosecond);

void BM_ResampleTransparent(benchmark::State& state) {
  const Image& photo = Photo();
  for (auto _ : state) {
    auto small = ResampleTransparent(photo, 150, 100, kWidth, kHeight, 0, 0);
    benchmark::DoNotOptimize(small->Pixels());
  }
}
BENCHMARK(BM_ResampleTransparent)->Unit(benchmark::kMillisecond);

void BM_MakeSeamless(benchmark::State& state) {
  const Image& photo = Photo();
  for (auto _ : state) {
    auto tile = MakeSeamless(photo, 400, 300);
    benchmark::DoNotOptimize(tile->Pixels());
  }
}
BENCHMARK(BM_MakeSeamless)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessarix

BENCHMARK_MAIN();
