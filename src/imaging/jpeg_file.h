#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/pixel.h"

namespace tessarix {

class AtomicFile;

// Decodes a JPEG file into 32-bit pixels (T = 0), the top of the picture or all of it. Colour
// files come out as RGB, grey files with the value in all three channels, CMYK files converted
// with R = (C * K + 127) / 255 and so on. `reserve(width, height, rows)` is asked once, may lower
// `rows` (which comes in as height; 0 counts as height) and returns room for width * rows
// pixels, rows top first, or null when it cannot have it. The rows are exactly a full decode's
// first rows; the rest of the file is not decoded. False on any failure, after which the reserved
// pixels mean nothing: a missing file or corrupt data quietly, a picture too large to hold (or
// no room reserved) with the message "JpegFile :\nOut of memory". Library warnings do not stop a
// decode.
bool ReadTopPixels(
    const std::string& path,
    const std::function<Pixel*(uint32_t width, uint32_t height, uint32_t& rows)>& reserve);

// Writes a baseline RGB JPEG of `quality` (1..100) from 32-bit pixels, `width` per row, rows top
// first; the transparency is ignored. False without a message for no pixels or a zero size;
// "JpegFile :\nCan't open %s\n" followed by the operating system's reason when the file cannot be
// created, "JpegFile :\nCan't write %s\n" and the reason when it cannot be completed (a full
// disk). The target is replaced only by a complete new file.
bool WritePixels(const std::string& path, const Pixel* pixels, uint32_t width, uint32_t height,
                 int quality);

// The same into `file`, which is opened here and left finished but not renamed, for a caller
// that puts it in place together with other files; the same messages.
bool WritePixels(AtomicFile& file, const Pixel* pixels, uint32_t width, uint32_t height,
                 int quality);

}  // namespace tessarix
