#include "imaging/dib.h"

#include <cstring>
#include <new>

#include "platform/atomic_file.h"
#include "platform/memory_limit.h"

namespace tessarix {
namespace {

constexpr size_t kFileHeaderSize = 14;

// Display, packed DIB and BMP file all store image row `row` the same way: B, G, R per pixel,
// zero bytes up to the stride.
void PackRow(const Image& image, uint32_t row, uint8_t* out) {
  const Pixel* in = image.Row(row);
  for (uint32_t x = 0; x < image.Width(); ++x, out += 3) {
    out[0] = static_cast<uint8_t>(Blue(in[x]));
    out[1] = static_cast<uint8_t>(Green(in[x]));
    out[2] = static_cast<uint8_t>(Red(in[x]));
  }
  const size_t padding = Dib::RowStride(image.Width()) - size_t{image.Width()} * 3;
  std::memset(out, 0, padding);
}

// Fills `image` (already width x height) from bottom-up rows starting at `rows`.
void UnpackRows(const uint8_t* rows, Image& image) {
  const size_t stride = Dib::RowStride(image.Width());
  const uint32_t height = image.Height();
  for (uint32_t r = 0; r < height; ++r) {
    const uint8_t* in = rows + r * stride;
    Pixel* out = image.Row(height - 1 - r);
    for (uint32_t x = 0; x < image.Width(); ++x, in += 3) out[x] = MakePixel(in[2], in[1], in[0]);
  }
}

void Put16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
  Put16(at, value);
  Put16(at + 2, value >> 16);
}

}  // namespace

std::optional<Dib> ToDib(const Image& image) {
  if (image.Empty())
    return std::nullopt;
  const size_t stride = Dib::RowStride(image.Width());
  const uint64_t size = SaturatingProduct(stride, image.Height());
  if (!CanAllocate(size))
    return std::nullopt;
  Dib dib;
  try {
    dib.bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  dib.width = image.Width();
  dib.height = image.Height();
  for (uint32_t r = 0; r < dib.height; ++r) {
    PackRow(image, dib.height - 1 - r, dib.bytes.data() + r * stride);
  }
  return dib;
}

std::optional<Image> FromDib(const Dib& dib) {
  if (dib.width == 0 || dib.height == 0)
    return std::nullopt;
  if (dib.bytes.size() / Dib::RowStride(dib.width) < dib.height)
    return std::nullopt;
  Image image;
  if (!image.Create(dib.width, dib.height, 0))
    return std::nullopt;
  UnpackRows(dib.bytes.data(), image);
  return image;
}

Status SaveBmp(const Image& image, const std::string& path) {
  const Failure refused{FailureKind::kRefused, path, 0, {}};
  if (image.Empty())
    return refused;
  const size_t stride = Dib::RowStride(image.Width());
  const uint64_t imageSize = SaturatingProduct(stride, image.Height());
  const uint64_t fileSize = kFileHeaderSize + kDibInfoHeaderSize + imageSize;
  // The size fields are 32 bits wide; a larger picture cannot be described.
  if (fileSize > UINT32_MAX)
    return refused;

  uint8_t headers[kFileHeaderSize + kDibInfoHeaderSize] = {};
  headers[0] = 'B';
  headers[1] = 'M';
  Put32(headers + 2, static_cast<uint32_t>(fileSize));
  Put32(headers + 10, kFileHeaderSize + kDibInfoHeaderSize);
  uint8_t* info = headers + kFileHeaderSize;
  Put32(info, kDibInfoHeaderSize);
  Put32(info + 4, image.Width());
  Put32(info + 8, image.Height());
  Put16(info + 12, 1);
  Put16(info + 14, 24);
  Put32(info + 20, static_cast<uint32_t>(imageSize));

  AtomicFile file(path);
  if (Status opened = file.Open(); !opened)
    return opened;
  if (std::fwrite(headers, sizeof headers, 1, file.Stream()) != 1)
    return file.Failed(FailureKind::kCannotWrite);
  std::vector<uint8_t> row(stride);
  for (uint32_t r = image.Height(); r-- > 0;) {
    PackRow(image, r, row.data());
    if (std::fwrite(row.data(), stride, 1, file.Stream()) != 1)
      return file.Failed(FailureKind::kCannotWrite);
  }
  return file.Commit();
}

}  // namespace tessarix
