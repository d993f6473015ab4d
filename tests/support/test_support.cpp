#include "test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace tessarix::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tessarix-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot create a temporary folder";
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

Image MakeFlatImage(uint32_t width, uint32_t height, Pixel colour) {
  return MakeImage(width, height, [colour](uint32_t, uint32_t) { return colour; });
}

Image Noise(uint32_t width, uint32_t height) {
  return MakeImage(width, height, [](uint32_t x, uint32_t y) {
    const uint32_t v = x * 2654435761u ^ y * 40503u;
    return MakePixel(v & 0xFF, (v >> 8) & 0xFF, (x * 7 + y * 3) & 0xFF);
  });
}

Image Blocks(uint32_t width, uint32_t height) {
  return MakeImage(width, height, [width](uint32_t x, uint32_t y) {
    const uint32_t level = (16 + 24 * ((y / 8) * (width / 8) + x / 8)) % 256;
    return MakePixel(level, level, level);
  });
}

void WriteJpeg(const Image& image, const std::string& path, int quality) {
  ASSERT_TRUE(image.SaveJpeg(path, quality)) << path;
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  if (!std::filesystem::is_regular_file(path))  // a folder throws when read as a stream
    return {};
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteClaimingSize(const std::string& path, uint16_t width, uint16_t height) {
  WriteJpeg(MakeFlatImage(16, 16, MakePixel(128, 128, 128)), path);
  std::vector<unsigned char> jpeg = ReadBytes(path);
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      // FF C0, length (2), precision (1), height (2), width (2), big-endian.
      jpeg[i + 5] = static_cast<unsigned char>(height >> 8);
      jpeg[i + 6] = static_cast<unsigned char>(height);
      jpeg[i + 7] = static_cast<unsigned char>(width >> 8);
      jpeg[i + 8] = static_cast<unsigned char>(width);
      return WriteBytes(path, jpeg);
    }
  }
  ADD_FAILURE() << "no baseline frame header in " << path;
}

void TagOrientation(const std::string& path, uint16_t orientation, size_t keep) {
  // "Exif", then a big-endian TIFF header and one directory holding one SHORT entry, 0x0112.
  std::vector<unsigned char> exif = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8,
                                     0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1,
                                     static_cast<unsigned char>(orientation >> 8),
                                     static_cast<unsigned char>(orientation & 0xFF),
                                     0, 0, 0, 0, 0, 0};
  exif.resize(std::min(keep, exif.size()));
  const size_t length = exif.size() + 2;
  std::vector<unsigned char> bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 2u);
  std::vector<unsigned char> segment = {0xFF, 0xE1, static_cast<unsigned char>(length >> 8),
                                        static_cast<unsigned char>(length & 0xFF)};
  segment.insert(segment.end(), exif.begin(), exif.end());
  bytes.insert(bytes.begin() + 2, segment.begin(), segment.end());
  WriteBytes(path, bytes);
}

Image Turned(const Image& image, int quarterTurns, bool mirror) {
  Image result = image;
  for (int i = 0; i < quarterTurns; ++i) {
    const Image before = result;
    const uint32_t h = before.Height();
    result = MakeImage(h, before.Width(), [&](uint32_t x, uint32_t y) {
      return before.At(y, h - 1 - x);
    });
  }
  if (!mirror)
    return result;
  const Image before = result;
  return MakeImage(before.Width(), before.Height(), [&](uint32_t x, uint32_t y) {
    return before.At(before.Width() - 1 - x, y);
  });
}

}  // namespace tessarix::test
