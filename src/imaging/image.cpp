#include "imaging/image.h"

#include <new>

#include "imaging/jpeg_file.h"
#include "platform/memory_limit.h"
#include "platform/text_format.h"
#include "platform/user_prompt.h"

namespace tessarix {
namespace {

// Allocates `count` pixels set to `value`; false when the memory cannot reasonably be had.
bool Allocate(std::vector<Pixel>& pixels, uint64_t count, Pixel value) {
  if (!CanAllocate(SaturatingProduct(count, sizeof(Pixel)))) return false;
  try {
    pixels.assign(static_cast<size_t>(count), value);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

void Image::Release() {
  pixels_ = std::vector<Pixel>();
  width_ = 0;
  height_ = 0;
}

bool Image::Create(uint32_t width, uint32_t height, uint8_t fill) {
  Release();
  if (width == 0 || height == 0) return false;
  if (!Allocate(pixels_, uint64_t{width} * height, Pixel{fill} * 0x01010101u)) {
    Prompt().ShowMessage(
        Format("Out Of Memory while creating an Image made with %ldx%ld Pixels",
               static_cast<long>(width), static_cast<long>(height)),
        MessageIcon::Warning);
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

bool Image::CreateTransparent(uint32_t width, uint32_t height) {
  if (!Create(width, height, 0)) return false;
  std::fill(pixels_.begin(), pixels_.end(), kTransparentBlack);
  return true;
}

bool Image::TakeOver(std::optional<Image>&& other) {
  if (!other) return false;
  *this = std::move(*other);
  other.reset();
  return true;
}

bool Image::LoadJpeg(const std::string& path) {
  Release();
  const RgbBuffer rgb = ReadRgb(path);
  if (rgb.Empty()) return false;
  const uint64_t count = uint64_t{rgb.width} * rgb.height;
  if (!Allocate(pixels_, count, 0)) {
    Prompt().ShowMessage(Format("Out Of Memory while converting an Image made with %ld Pixels",
                                static_cast<long>(count)),
                         MessageIcon::Warning);
    return false;
  }
  const uint8_t* in = rgb.bytes.data();
  for (Pixel& p : pixels_) {
    p = MakePixel(in[0], in[1], in[2]);
    in += 3;
  }
  width_ = rgb.width;
  height_ = rgb.height;
  return true;
}

bool Image::SaveJpeg(const std::string& path, int quality) const {
  if (Empty()) return false;
  RgbBuffer rgb;
  rgb.width = width_;
  rgb.height = height_;
  try {
    rgb.bytes.resize(pixels_.size() * 3);
  } catch (const std::bad_alloc&) {
    Prompt().ShowMessage(Format("Out Of Memory while converting an Image made with %ld Pixels",
                                static_cast<long>(pixels_.size())),
                         MessageIcon::Warning);
    return false;
  }
  uint8_t* out = rgb.bytes.data();
  for (Pixel p : pixels_) {
    out[0] = static_cast<uint8_t>(Red(p));
    out[1] = static_cast<uint8_t>(Green(p));
    out[2] = static_cast<uint8_t>(Blue(p));
    out += 3;
  }
  return WriteRgb(path, rgb, quality);
}

}  // namespace tessarix
