#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "imaging/pixel.h"
#include "platform/failure.h"

namespace tessarix {

class AtomicFile;

// The stored size and the EXIF orientation (see OrientationOfMarkers) of a JPEG file, from its
// header alone: no pixel is decoded. A file that cannot be opened is kCannotRead with the
// operating system's error, a header libjpeg refuses kDamaged with libjpeg's words.
Status ReadJpegHeader(const std::string& path, uint32_t& width, uint32_t& height, int& orientation);

// Decodes a JPEG file into 32-bit pixels (T = 0), the top of the picture or all of it. Colour
// files come out as RGB, grey files with the value in all three channels, CMYK files converted
// with R = (C * K + 127) / 255 and so on. `reserve(width, height, rows)` is asked once, may lower
// `rows` (which comes in as height; 0 counts as height) and returns room for width * rows
// pixels, rows top first, or null when it cannot have it (kOutOfMemory, as for a picture too
// large to hold). The rows are exactly a full decode's first rows; the rest of the file is not
// decoded. A file that cannot be opened is kCannotRead with the operating system's error,
// corrupt data kDamaged with libjpeg's words; after any failure the reserved pixels mean
// nothing. Library warnings do not stop a decode.
Status ReadTopPixels(
    const std::string& path,
    const std::function<Pixel*(uint32_t width, uint32_t height, uint32_t& rows)>& reserve);

// ReadTopPixels that also reads the EXIF orientation (kUpright when there is none or it is
// damaged) into `orientation` before `reserve` is asked, so that a caller can ask for every row
// of a picture it must turn. The pixels are the stored ones, not turned.
Status ReadTopPixels(
    const std::string& path,
    const std::function<Pixel*(uint32_t width, uint32_t height, uint32_t& rows)>& reserve,
    int& orientation);

// Where ReadRows puts a picture's rows, for a caller that takes them one at a time instead of
// holding the whole picture.
class RowReceiver {
 public:
  virtual ~RowReceiver() = default;
  // The stored picture is width x height: sets `rows`, how many from the top to decode (1..height;
  // 0 counts as height), and returns true; or returns false to decode nothing.
  virtual bool Begin(uint32_t width, uint32_t height, uint32_t& rows) = 0;
  // Room for row y's width pixels; rows are asked top first, each once. Null stops the decode as
  // kOutOfMemory.
  virtual Pixel* Row(uint32_t y) = 0;
  // Row y now holds its pixels, as ReadTopPixels would give them.
  virtual void Filled(uint32_t y) = 0;
};

// ReadTopPixels row by row into `receiver`, the EXIF orientation read into `orientation` before
// Begin is asked. A receiver that declines in Begin gets a success without rows. The same
// failures; after one, the rows handed over mean nothing.
Status ReadRows(const std::string& path, RowReceiver& receiver, int& orientation);

// Writes a baseline RGB JPEG of `quality` (1..100) from 32-bit pixels, `width` per row, rows top
// first; the transparency is ignored. kRefused for no pixels, a zero size or a picture the
// library refuses (its words kept); kCannotCreate with the operating system's error when the
// file cannot be created, kCannotWrite when it cannot be completed (a full disk). The target is
// replaced only by a complete new file.
Status WritePixels(const std::string& path, const Pixel* pixels, uint32_t width, uint32_t height,
                   int quality);

// The same into `file`, which is opened here and left finished but not renamed, for a caller
// that puts it in place together with other files; the same failures.
Status WritePixels(AtomicFile& file, const Pixel* pixels, uint32_t width, uint32_t height,
                   int quality);

// The person's words for a JPEG file's failure: "JpegFile :\nOut of memory" for a picture too
// large to hold, "JpegFile :\nCan't open %s\n" or "JpegFile :\nCan't write %s\n" followed by the
// operating system's reason for a file that cannot be created or completed. None for the
// failures that are not said (a missing or corrupt file to read, a picture the library refuses).
std::optional<std::string> JpegFailureText(const Failure& failure);

// Shows JpegFailureText through the prompt, when there is one (out of memory as a stop, the
// others as a warning), at the moment the failure happens.
void SayJpegFailure(const Failure& failure);

// `result`, after saying its failure as SayJpegFailure does: for a caller that shows a JPEG
// file's failure where it happens and carries on.
Status WithJpegMessage(Status result);

}  // namespace tessarix
