// Seed inputs for the fuzz targets, written by the program's own writers so that the fuzzer
// starts from files the program really meets: fuzz_seeds <folder> makes <folder>/<target>/...
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "collection/collection_file.h"
#include "collection/image_collection.h"
#include "imaging/dib.h"
#include "imaging/image.h"
#include "imaging/jpeg_file.h"

using namespace tessarix;
namespace fs = std::filesystem;

namespace {

Image Gradient(uint32_t w, uint32_t h) {
  Image image;
  image.Create(w, h, 0);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) image.At(x, y) = MakePixel(x * 255 / w, y * 255 / h, 128);
  return image;
}

// Four flat quarters with a ring in the middle: borders, a hole and a thin area.
Image Mask(uint32_t w, uint32_t h) {
  Image image;
  image.Create(w, h, 0);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      Pixel p = MakePixel(x < w / 2 ? 250 : 10, y < h / 2 ? 250 : 10, 60);
      const int dx = static_cast<int>(x) - static_cast<int>(w / 2);
      const int dy = static_cast<int>(y) - static_cast<int>(h / 2);
      const int r2 = dx * dx + dy * dy;
      if (r2 > 16 && r2 < 64)
        p = MakePixel(0, 0, 255);
      image.At(x, y) = p;
    }
  }
  return image;
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The dib_fuzz input: width and height in two bytes each, then the rows.
std::vector<uint8_t> SizedDib(const Image& image) {
  const std::optional<Dib> dib = ToDib(image);
  std::vector<uint8_t> bytes;
  for (const uint32_t side : {image.Width(), image.Height()}) {
    bytes.push_back(static_cast<uint8_t>(side));
    bytes.push_back(static_cast<uint8_t>(side >> 8));
  }
  bytes.insert(bytes.end(), dib->bytes.begin(), dib->bytes.end());
  return bytes;
}

bool Collections(const fs::path& folder) {
  const std::string base = fs::absolute(folder).string() + "/";
  ImageCollection empty;
  empty.filePath = base + "empty.tzc";
  empty.imageFolder = base;
  if (!SaveCollection(empty))
    return false;

  ImageCollection some;
  some.filePath = base + "some.tzc";
  some.imageFolder = base;
  const std::string names[] = {"a.jpg", "Trip/b.JPG", "Movie_FRAMES00001/Movie00001.jpg",
                               "REQUIRED/c.jpeg", std::string(300, 'x') + ".jpg"};
  uint32_t k = 0;
  for (const std::string& name : names) {
    auto entry = std::make_unique<CollectionEntry>();
    entry->path = base + name;
    entry->modificationTime = 1700000000u + k;
    entry->fileSize = 1000 + k;
    entry->pixelWidth = 640;
    entry->pixelHeight = k % 2 == 0 ? 480 : 800;
    entry->portrait = k % 2;
    for (uint32_t i = 0; i < kThumbPixels; ++i)
      entry->info.grid[i] = MakePixel(i * 2, k * 40, 255 - i);
    RecomputeColorInfo(entry->info);
    some.Add(std::move(entry));
    ++k;
  }
  return static_cast<bool>(SaveCollection(some));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2)
    return 2;
  const fs::path root = argv[1];
  for (const char* target : {"collection_file_fuzz", "jpeg_fuzz", "dib_fuzz", "mask_fuzz"})
    fs::create_directories(root / target);

  bool ok = Collections(root / "collection_file_fuzz");

  const fs::path jpegs = root / "jpeg_fuzz";
  ok = ok && Gradient(16, 16).SaveJpeg((jpegs / "gradient.jpg").string(), 75);
  ok = ok && Gradient(33, 7).SaveJpeg((jpegs / "odd.jpg").string(), 100);
  ok = ok && Gradient(9, 40).SaveJpeg((jpegs / "portrait.jpg").string(), 10);
  // A copy cut short in the middle of the scan, as a half-copied photo is.
  const std::vector<uint8_t> whole = ReadFile(jpegs / "odd.jpg");
  ok = ok && WriteFile(jpegs / "truncated.jpg",
                       std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2));

  const fs::path dibs = root / "dib_fuzz";
  ok = ok && WriteFile(dibs / "gradient.dib", SizedDib(Gradient(5, 3)));
  ok = ok && WriteFile(dibs / "line.dib", SizedDib(Gradient(1, 1)));

  const fs::path masks = root / "mask_fuzz";
  ok = ok && Mask(40, 30).SaveJpeg((masks / "mask.jpg").string(), 100);
  std::vector<uint8_t> raw = {20, 14};
  for (uint32_t i = 0; i < 21 * 15; ++i) raw.push_back(static_cast<uint8_t>((i % 21) / 7 + 3));
  ok = ok && WriteFile(masks / "raw_stripes", raw);
  return ok ? 0 : 1;
}
