#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "imaging/pixel.h"
#include "imaging/pixel_buffer.h"
#include "platform/failure.h"

namespace tessarix {

// The one raster type. Invariant: either empty (0 x 0, no pixels) or exactly width x height
// pixels, row-major, top row first, no padding; pixel (x, y) is element y * width + x.
// Operations that make a new picture return std::optional<Image>; none means failure.
class Image {
 public:
  Image() = default;

  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }
  bool Empty() const { return pixels_.empty(); }
  size_t PixelCount() const { return pixels_.size(); }

  Pixel* Pixels() { return pixels_.data(); }
  const Pixel* Pixels() const { return pixels_.data(); }
  Pixel& At(uint32_t x, uint32_t y) { return pixels_[size_t{y} * width_ + x]; }
  Pixel At(uint32_t x, uint32_t y) const { return pixels_[size_t{y} * width_ + x]; }
  Pixel* Row(uint32_t y) { return pixels_.data() + size_t{y} * width_; }
  const Pixel* Row(uint32_t y) const { return pixels_.data() + size_t{y} * width_; }

  // Releases the pixels; the image becomes empty.
  void Release();

  // width x height pixels whose every byte is `fill` (fill 0: opaque black). kRefused for a zero
  // size; kOutOfMemory when the memory cannot be had, after the "Out Of Memory while creating an
  // Image made with %ldx%ld Pixels" message has been shown (the work usually goes on without the
  // picture). On failure the image is empty.
  Status Create(uint32_t width, uint32_t height, uint8_t fill);

  // Like Create, every pixel fully transparent black (0xFF000000).
  Status CreateTransparent(uint32_t width, uint32_t height);

  // CreateTransparent for a picture a whole job builds on (the mosaic's canvas): its memory is
  // paid from the process's memory budget while the image keeps it, and a refusal of the budget
  // (MemoryBudget::Reserve) is kOutOfMemory with the same message.
  Status CreateTransparentInBudget(uint32_t width, uint32_t height);

  // Adopts `other`'s size and pixels. Returns false and changes nothing when `other` is none.
  bool TakeOver(std::optional<Image>&& other);

  // Decodes a JPEG file (T = 0 everywhere) into its upright view: a picture whose EXIF orientation
  // says it is stored turned or mirrored is turned back; one without the tag, with tag 1 or with a
  // damaged tag is taken as stored. On any failure the image is empty and the failure is
  // ReadTopPixels's; nothing is said here (see SayJpegFailure). The decoded pixels' memory is
  // paid from the process's memory budget while the image keeps it; a picture the budget refuses
  // (MemoryBudget::Reserve) is a memory shortage, found before any of it is decoded. The pixels'
  // memory is kept for the new picture when it is large enough, so decoding many photos in turn
  // through one image takes fresh memory (and its page faults) and a new share of the budget only
  // for a larger one.
  Status LoadJpeg(const std::string& path);

  // LoadJpeg for the top rows only, as many as `rowsWanted(width, height)` asks once the file's
  // upright size is known (kept within 1..height): the image is width x those rows, the same
  // pixels as the full decode's, and `fullHeight` receives the upright picture's height. The rest
  // is not decoded, except of a picture stored turned, which is decoded whole.
  Status LoadJpegTop(const std::string& path,
                     const std::function<uint32_t(uint32_t width, uint32_t height)>& rowsWanted,
                     uint32_t& fullHeight);

  // Writes the pixels (T dropped) as a baseline JPEG of `quality` 1..100. kRefused for an empty
  // image, else the failures of WritePixels; an existing file at `path` is replaced only by a
  // complete new one.
  Status SaveJpeg(const std::string& path, int quality) const;

  friend bool operator==(const Image&, const Image&) = default;

 private:
  Status CreateFilled(uint32_t width, uint32_t height, Pixel value, bool inBudget);
  bool RoomForDecode(uint64_t count);
  bool KeepUprightTop(int orientation,
                      const std::function<uint32_t(uint32_t width, uint32_t height)>& rowsWanted,
                      uint32_t& fullHeight);

  uint32_t width_ = 0;
  uint32_t height_ = 0;
  PixelMemoryShare share_;  // declared first: an image ends by freeing its pixels, then its share
  PixelVector pixels_;
};

}  // namespace tessarix
