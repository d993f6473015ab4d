#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/pixel.h"

namespace tessarix {

class AtomicFile;

// Packed 24-bit RGB: width * height * 3 bytes, rows top first, no padding, bytes R, G, B.
struct RgbBuffer {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> bytes;

  bool Empty() const { return bytes.empty(); }
};

// Decodes a JPEG file at full size. Colour files come out as RGB, grey files with the value in
// all three channels, CMYK files converted with R = (C * K + 127) / 255 and so on. A missing
// file, corrupt data or a picture too large to hold give an empty buffer; only the last shows a
// message ("JpegFile :\nOut of memory"). Library warnings do not stop a decode.
RgbBuffer ReadRgb(const std::string& path);

// The same decode straight into 32-bit pixels (T = 0) without the packed buffer in between, for
// the top of the picture or all of it: `reserve(width, height, rows)` is asked once, may lower
// `rows` (which comes in as height; 0 counts as height) and returns room for width * rows
// pixels, rows top first, or null when it cannot have it (then "JpegFile :\nOut of memory" is
// shown). The rows are exactly a full decode's first rows; the rest of the file is not decoded.
// Same colours, same failures as ReadRgb; false on any failure, after which the reserved pixels
// mean nothing.
bool ReadTopPixels(
    const std::string& path,
    const std::function<Pixel*(uint32_t width, uint32_t height, uint32_t& rows)>& reserve);

// ReadTopPixels that also reads the EXIF orientation (kUpright when there is none or it is
// damaged) into `orientation` before `reserve` is asked, so that a caller can ask for every row
// of a picture it must turn. The pixels are the stored ones, not turned.
bool ReadTopPixels(
    const std::string& path,
    const std::function<Pixel*(uint32_t width, uint32_t height, uint32_t& rows)>& reserve,
    int& orientation);

// Writes a baseline RGB JPEG of `quality` (1..100). False without a message for an empty buffer;
// "JpegFile :\nCan't open %s\n" followed by the operating system's reason when the file cannot be
// created, "JpegFile :\nCan't write %s\n" and the reason when it cannot be completed (a full
// disk). The target is replaced only by a complete new file.
bool WriteRgb(const std::string& path, const RgbBuffer& buffer, int quality);

// WriteRgb from 32-bit pixels, `width` per row, rows top first; the transparency is ignored.
// The same file WriteRgb makes of the pixels' red, green and blue, without a packed copy of them.
bool WritePixels(const std::string& path, const Pixel* pixels, uint32_t width, uint32_t height,
                 int quality);

// The same into `file`, which is opened here and left finished but not renamed, for a caller
// that puts it in place together with other files; the same messages.
bool WritePixels(AtomicFile& file, const Pixel* pixels, uint32_t width, uint32_t height,
                 int quality);

}  // namespace tessarix
