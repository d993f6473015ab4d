#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/image.h"

namespace tessarix {

// A packed 24-bit device-independent bitmap: rows bottom-up (the image's last row first), each
// row width * 3 bytes stored B, G, R, padded with zero bytes to a multiple of 4.
struct Dib {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> bytes;

  // Bytes per stored row: width * 3 rounded up to a multiple of 4.
  static size_t RowStride(uint32_t width) { return (size_t{width} * 3 + 3) & ~size_t{3}; }
};

// Size of the 40-byte information header that leads a packed DIB and follows a BMP file header.
inline constexpr size_t kDibInfoHeaderSize = 40;

// The display form of an image; none for an empty image.
std::optional<Dib> ToDib(const Image& image);

// The image held by a packed 24-bit bottom-up DIB (T = 0); none when the buffer is too short for
// the stated size or the size is 0.
std::optional<Image> FromDib(const Dib& dib);

// Writes the image as a 24-bit BMP file (BITMAPFILEHEADER + 40-byte info header + DIB rows).
// kRefused for an empty image or one too large for the format's 32-bit sizes, else the
// failures of AtomicFile with the operating system's error.
Status SaveBmp(const Image& image, const std::string& path);

}  // namespace tessarix
