#include "imaging/image.h"

#include <algorithm>
#include <new>

#include "imaging/jpeg_file.h"
#include "imaging/orientation.h"
#include "platform/memory_limit.h"
#include "platform/text_format.h"
#include "platform/user_prompt.h"

namespace tessarix {
namespace {

// Allocates `count` pixels set to `value`; false when the memory cannot reasonably be had.
bool Allocate(PixelVector& pixels, uint64_t count, Pixel value) {
  if (!CanAllocate(SaturatingProduct(count, sizeof(Pixel))))
    return false;
  try {
    pixels.assign(static_cast<size_t>(count), value);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Room for `count` pixels whose values the caller writes next.
bool AllocateUnset(PixelVector& pixels, uint64_t count) {
  if (!CanAllocate(SaturatingProduct(count, sizeof(Pixel))))
    return false;
  try {
    pixels.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

void Image::Release() {
  pixels_ = PixelVector();
  share_.Release();
  width_ = 0;
  height_ = 0;
}

Status Image::Create(uint32_t width, uint32_t height, uint8_t fill) {
  return CreateFilled(width, height, Pixel{fill} * 0x01010101u, false);
}

Status Image::CreateTransparent(uint32_t width, uint32_t height) {
  return CreateFilled(width, height, kTransparentBlack, false);
}

Status Image::CreateTransparentInBudget(uint32_t width, uint32_t height) {
  return CreateFilled(width, height, kTransparentBlack, true);
}

Status Image::CreateFilled(uint32_t width, uint32_t height, Pixel value, bool inBudget) {
  Release();
  if (width == 0 || height == 0)
    return Failure{FailureKind::kRefused, {}, 0, {}};
  const uint64_t count = uint64_t{width} * height;
  if ((inBudget && !share_.Take(SaturatingProduct(count, sizeof(Pixel)))) ||
      !Allocate(pixels_, count, value)) {
    share_.Release();
    Prompt().ShowMessage(Format("Out Of Memory while creating an Image made with %ldx%ld Pixels",
                                static_cast<long>(width), static_cast<long>(height)),
                         MessageIcon::Warning);
    return Failure{FailureKind::kOutOfMemory, {}, 0, {}};
  }
  width_ = width;
  height_ = height;
  return {};
}

bool Image::TakeOver(std::optional<Image>&& other) {
  if (!other)
    return false;
  *this = std::move(*other);
  other.reset();
  return true;
}

Status Image::LoadJpeg(const std::string& path) {
  uint32_t fullHeight = 0;
  return LoadJpegTop(
      path, [](uint32_t, uint32_t height) { return height; }, fullHeight);
}

Status Image::LoadJpegTop(
    const std::string& path,
    const std::function<uint32_t(uint32_t width, uint32_t height)>& rowsWanted,
    uint32_t& fullHeight) {
  pixels_.clear();
  width_ = 0;
  height_ = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  // Decoded straight into the pixels: one buffer, one pass. A picture stored turned is decoded
  // whole, since its upright top rows may come from anywhere in the stored picture.
  int orientation = kUpright;
  const auto reserve = [&](uint32_t w, uint32_t h, uint32_t& rows) -> Pixel* {
    rows = orientation == kUpright ? std::clamp<uint32_t>(rowsWanted(w, h), 1, h) : h;
    if (!RoomForDecode(uint64_t{w} * rows))
      return nullptr;
    width = w;
    height = rows;
    fullHeight = h;
    return pixels_.data();
  };
  const Status decoded = ReadTopPixels(path, reserve, orientation);
  if (!decoded) {
    Release();
    return decoded;
  }
  width_ = width;
  height_ = height;
  // The turned copy's own shortage has been said by the image operation that made it.
  if (orientation != kUpright && !KeepUprightTop(orientation, rowsWanted, fullHeight))
    return Failure{FailureKind::kRefused, path, 0, {}};
  return {};
}

// Replaces the stored picture by the top rows of its upright view, in the same memory: the
// upright picture has as many pixels as the stored one.
bool Image::KeepUprightTop(
    int orientation, const std::function<uint32_t(uint32_t width, uint32_t height)>& rowsWanted,
    uint32_t& fullHeight) {
  const std::optional<Image> upright = Upright(*this, orientation);
  if (!upright) {
    Release();
    return false;
  }
  const uint32_t rows =
      std::clamp<uint32_t>(rowsWanted(upright->Width(), upright->Height()), 1, upright->Height());
  pixels_.resize(size_t{upright->Width()} * rows);
  std::copy(upright->Pixels(), upright->Pixels() + pixels_.size(), pixels_.begin());
  width_ = upright->Width();
  height_ = rows;
  fullHeight = upright->Height();
  return true;
}

// Memory already paid for is kept when it is large enough; otherwise it is given back before a
// larger share is asked, so that a decode holding nothing else may wait for room.
bool Image::RoomForDecode(uint64_t count) {
  const uint64_t bytes = SaturatingProduct(count, sizeof(Pixel));
  if (share_.Bytes() < bytes) {
    Release();
    if (!share_.Take(bytes))
      return false;
  }
  return AllocateUnset(pixels_, count);
}

Status Image::SaveJpeg(const std::string& path, int quality) const {
  if (Empty())
    return Failure{FailureKind::kRefused, path, 0, {}};
  return WritePixels(path, pixels_.data(), width_, height_, quality);
}

}  // namespace tessarix
