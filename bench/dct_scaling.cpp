// `bench_dct_scaling FOLDER TW TH [LIMIT]`: what libjpeg's DCT scaling would bring to LoadTile.
// Every photo*.jpg of FOLDER is made into a TW x TH tile twice: the way LoadTile does it (full
// decode, turn, centre crop, one resample) and with the decoder scaling by 1/2, 1/4 or 1/8 first
// (the smallest scale that keeps the decoded picture at least twice the tile's size, so the
// resample still averages), then the same turn, crop and resample. Prints both times and the mean
// absolute difference per channel between the two tiles. Measurement only: LoadTile does not
// scale.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "collection/tile_analysis.h"
#include "imaging/image_ops.h"

namespace {
using namespace tessarix;

struct ErrorExit {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void OnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorExit*>(info->err)->jump, 1);
}

// Decodes at 1/denom of the size chosen so that both sides stay >= twice the target's.
std::optional<Image> DecodeScaled(const std::string& path, uint32_t tw, uint32_t th) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return std::nullopt;
  jpeg_decompress_struct info;
  ErrorExit error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = OnError;
  Image image;
  std::vector<JSAMPLE> row;  // before the jump point: a jump back must not skip its destructor
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return std::nullopt;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  // The tile may be turned: compare the short side with the short side.
  const uint32_t shortSide = std::min(info.image_width, info.image_height);
  const uint32_t longSide = std::max(info.image_width, info.image_height);
  const uint32_t targetShort = std::min(tw, th), targetLong = std::max(tw, th);
  unsigned denom = 1;
  for (const unsigned d : {8u, 4u, 2u}) {
    if (shortSide / d >= 2 * targetShort && longSide / d >= 2 * targetLong) {
      denom = d;
      break;
    }
  }
  info.scale_num = 1;
  info.scale_denom = denom;
  jpeg_start_decompress(&info);
  image.Create(info.output_width, info.output_height, 0);
  row.resize(size_t{info.output_width} * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows[1] = {row.data()};
    const uint32_t y = info.output_scanline;
    jpeg_read_scanlines(&info, rows, 1);
    for (uint32_t x = 0; x < info.output_width; ++x)
      image.At(x, y) = MakePixel(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  return image;
}

// LoadTile's turn, crop and resample on an already decoded picture.
std::optional<Image> ToTile(Image image, uint32_t tw, uint32_t th) {
  uint32_t w = image.Width(), h = image.Height();
  if ((tw < th) != (w < h) && tw != th) {
    if (!image.TakeOver(Rotate(image, -90)))
      return std::nullopt;
    std::swap(w, h);
  }
  uint32_t cropW = w;
  uint32_t cropH = std::max<uint32_t>(1, static_cast<uint32_t>(uint64_t{w} * th / tw));
  if (cropH > h) {
    cropW = std::max<uint32_t>(1, static_cast<uint32_t>(uint64_t{h} * tw / th));
    cropH = h;
  }
  return Resample(image, tw, th, cropW, cropH, (w - cropW) / 2, (h - cropH) / 2);
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_dct_scaling FOLDER TW TH [LIMIT]\n");
    return 2;
  }
  const uint32_t tw = static_cast<uint32_t>(std::atoi(argv[2]));
  const uint32_t th = static_cast<uint32_t>(std::atoi(argv[3]));
  const size_t limit = argc > 4 ? static_cast<size_t>(std::atoi(argv[4])) : 100;
  std::vector<std::string> files;
  for (const auto& item : std::filesystem::directory_iterator(argv[1])) {
    const std::string name = item.path().filename().string();
    if (name.rfind("photo", 0) == 0 && item.path().extension() == ".jpg")
      files.push_back(item.path().string());
  }
  std::sort(files.begin(), files.end());
  if (files.size() > limit)
    files.resize(limit);
  if (tw == 0 || th == 0 || files.empty()) {
    std::fprintf(stderr, "nothing to measure\n");
    return 2;
  }
  std::chrono::steady_clock::duration full{}, scaled{};
  uint64_t difference = 0, samples = 0;
  for (const std::string& path : files) {
    CollectionEntry entry;
    entry.path = path;
    auto t0 = std::chrono::steady_clock::now();
    const std::optional<Image> a = LoadTile(entry, tw, th);
    auto t1 = std::chrono::steady_clock::now();
    std::optional<Image> decoded = DecodeScaled(path, tw, th);
    std::optional<Image> b = decoded ? ToTile(std::move(*decoded), tw, th) : std::nullopt;
    auto t2 = std::chrono::steady_clock::now();
    if (!a || !b) {
      std::fprintf(stderr, "cannot load %s\n", path.c_str());
      return 1;
    }
    full += t1 - t0;
    scaled += t2 - t1;
    for (uint32_t y = 0; y < th; ++y) {
      for (uint32_t x = 0; x < tw; ++x) {
        const Pixel p = a->At(x, y), q = b->At(x, y);
        difference += static_cast<uint64_t>(std::abs(int(Red(p)) - int(Red(q))) +
                                            std::abs(int(Green(p)) - int(Green(q))) +
                                            std::abs(int(Blue(p)) - int(Blue(q))));
        samples += 3;
      }
    }
  }
  std::printf(
      "%zu photos to %ux%u: full decode %.2f s, DCT-scaled %.2f s, speed-up %.2fx, "
      "mean tile difference %.2f per channel\n",
      files.size(), tw, th, Seconds(full), Seconds(scaled),
      Seconds(full) / std::max(1e-9, Seconds(scaled)),
      static_cast<double>(difference) / static_cast<double>(samples));
  return 0;
}
