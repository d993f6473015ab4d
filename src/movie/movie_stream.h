#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imaging/dib.h"
#include "platform/failure.h"

namespace tessarix {

// The first video stream of a movie file, decoded with FFmpeg into packed 24-bit bottom-up DIBs.
// Frame n is the frame displayed at n / frame rate after the first frame. Requests for frames a
// little ahead of the last one decode forward; anything else seeks to the key frame before n and
// decodes forward from there, so every frame can be asked for in any order and reading the
// frames in order is one sequential decode. Only one decoded frame and one DIB are held at a
// time, whatever the number of frames read.
class MovieStream {
 public:
  MovieStream();
  ~MovieStream();
  MovieStream(const MovieStream&) = delete;
  MovieStream& operator=(const MovieStream&) = delete;

  // Opens the first video stream of `path`; a failure leaves the stream closed and names the
  // file. Its kind tells how far the opening came: kCannotRead when the file cannot be opened or
  // read as a movie with a video stream, kDamaged when the stream cannot be decoded, kRefused
  // when the stream tells no frame size, rate or length. FFmpeg's error number is kept in
  // libraryError (0 when FFmpeg gave none) and its words in detail; an error FFmpeg took from
  // the operating system also gives its errno in systemError.
  Status Open(const std::string& path);

  // Closes the decoder and the file; closing a closed stream does nothing.
  void Close();

  bool IsOpen() const;

  // Length in frames, frame rate as rate / scale, frame rectangle; all 0 when not open.
  uint32_t FrameCount() const;
  uint32_t Rate() const;
  uint32_t Scale() const;
  uint32_t Width() const;
  uint32_t Height() const;

  // Frame n (0-based), or null when it cannot be had (not open, n out of range, beyond the end
  // of a truncated file, undecodable). The DIB stays valid until the next call or Close().
  const Dib* Frame(int64_t n);

  // How many times the file was sought since it was opened (for tests and measurements).
  uint64_t SeekCount() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The rounded frame rate: rate / scale + 0.5 rounded down, 0 when the scale is 0.
uint32_t RoundedFrameRate(uint32_t rate, uint32_t scale);

}  // namespace tessarix
