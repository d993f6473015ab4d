// Building a collection from photo-sized tiles: the full analysis of 300 generated 2000 x 1500
// JPEGs on 1 and 2 threads, against plain decoding of the same files in this process with
// libjpeg-turbo and with djpeg (the floor for any analysis that decodes every file), and an
// update over the unchanged folder, which should cost file-status queries only.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "collection/image_collection.h"

extern char** environ;

namespace tessarix {
namespace {

constexpr int kTiles = 300;
constexpr uint32_t kWidth = 2000;
constexpr uint32_t kHeight = 1500;

// A folder of generated tiles, made once and removed when the program ends.
class TileFolder {
 public:
  TileFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tessarix-collection-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
      return;
    folder_ = pattern + "/";
    Image image;
    image.Create(kWidth, kHeight, 0);
    for (int k = 0; k < kTiles; ++k) {
      Fill(image, k);
      char name[32];
      std::snprintf(name, sizeof name, "tile%03d.jpg", k);
      files_.push_back(folder_ + name);
      image.SaveJpeg(files_.back(), 90);
    }
  }
  ~TileFolder() {
    std::error_code ignored;
    if (!folder_.empty())
      std::filesystem::remove_all(folder_, ignored);
  }
  const std::string& Folder() const { return folder_; }
  const std::vector<std::string>& Files() const { return files_; }

 private:
  // Shading that differs from tile to tile plus sensor-like noise: compresses like a photo.
  static void Fill(Image& image, int k) {
    uint32_t seed = 977u * static_cast<uint32_t>(k) + 1;
    const double phase = k * 0.37;
    for (uint32_t y = 0; y < kHeight; ++y) {
      for (uint32_t x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int noise = static_cast<int>((seed >> 16) & 15) - 8;
        const int r = static_cast<int>(128 + 90 * std::sin(x / 300.0 + phase));
        const int g = static_cast<int>(110 + 70 * std::cos(y / 200.0 - phase));
        const int b = static_cast<int>(100 + 80 * std::sin((x + y) / 500.0 + 2 * phase));
        auto clamp = [noise](int v) { return std::min(255, std::max(0, v + noise)); };
        image.At(x, y) = MakePixel(clamp(r), clamp(g), clamp(b));
      }
    }
  }

  std::string folder_;
  std::vector<std::string> files_;
};

const TileFolder& Tiles() {
  static const TileFolder tiles;
  return tiles;
}

void AnalyseAll(ImageCollection& collection) {
  collection.Rescan();
  collection.StartAnalysis();
  while (collection.AnalyseSome()) {
  }
}

void BM_AnalyseNewCollection(benchmark::State& state) {
  const TileFolder& tiles = Tiles();
  for (auto _ : state) {
    ImageCollection collection;
    collection.SetThreadCount(static_cast<unsigned>(state.range(0)));
    collection.imageFolder = tiles.Folder();
    AnalyseAll(collection);
    if (collection.Size() != static_cast<size_t>(kTiles))
      state.SkipWithError("tiles lost");
  }
  state.counters["tiles/s"] = benchmark::Counter(static_cast<double>(kTiles),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

// Decodes one file to RGB rows the plainest way libjpeg-turbo offers, into a reused row buffer;
// false when it cannot be opened (the bench makes only valid files).
bool PlainDecode(const std::string& path, std::vector<JSAMPLE>& rows) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return false;
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  const size_t stride = size_t{info.output_width} * info.output_components;
  rows.resize(stride * info.rec_outbuf_height);
  JSAMPROW pointers[16];
  for (int k = 0; k < info.rec_outbuf_height && k < 16; ++k) pointers[k] = &rows[k * stride];
  while (info.output_scanline < info.output_height)
    jpeg_read_scanlines(&info, pointers, static_cast<JDIMENSION>(info.rec_outbuf_height));
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  return true;
}

void BM_PlainDecodeAll(benchmark::State& state) {
  const TileFolder& tiles = Tiles();
  std::vector<JSAMPLE> rows;
  for (auto _ : state) {
    for (const std::string& file : tiles.Files()) {
      if (!PlainDecode(file, rows)) {
        state.SkipWithError("tile lost");
        return;
      }
    }
    benchmark::DoNotOptimize(rows.data());
  }
}

// CPU time of all waited-for child processes: djpeg's own decoding cost, free of the load that
// other programs put on the machine.
double ChildCpuMillis() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void BM_DjpegDecodeAll(benchmark::State& state) {
  const TileFolder& tiles = Tiles();
  const double childStart = ChildCpuMillis();
  for (auto _ : state) {
    for (const std::string& file : tiles.Files()) {
      const char* argv[] = {"djpeg", "-outfile", "/dev/null", file.c_str(), nullptr};
      pid_t pid = 0;
      if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, const_cast<char* const*>(argv), environ) !=
          0) {
        state.SkipWithError("djpeg not found");
        return;
      }
      int status = 0;
      waitpid(pid, &status, 0);
    }
  }
  state.counters["djpeg_cpu_ms"] = (ChildCpuMillis() - childStart) / state.iterations();
  state.counters["tiles/s"] = benchmark::Counter(static_cast<double>(kTiles),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

void BM_UpdateUnchangedCollection(benchmark::State& state) {
  ImageCollection collection;
  collection.imageFolder = Tiles().Folder();
  AnalyseAll(collection);
  for (auto _ : state) {
    AnalyseAll(collection);
    benchmark::DoNotOptimize(collection.Size());
  }
}

BENCHMARK(BM_AnalyseNewCollection)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_PlainDecodeAll)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DjpegDecodeAll)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_UpdateUnchangedCollection)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessarix

BENCHMARK_MAIN();
