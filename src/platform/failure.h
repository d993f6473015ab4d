#pragma once

#include <optional>
#include <string>
#include <utility>

namespace tessarix {

// What kind of thing went wrong; the person's words for it are chosen at the edge that shows it.
enum class FailureKind {
  kCannotRead,    // a file could not be opened for reading
  kCannotCreate,  // a file could not be created (missing or read-only folder, a folder in the way)
  kCannotWrite,   // a file could not be completed or put in place (full disk, refused rename)
  kNotAFile,      // a folder, FIFO, device or socket stands where a file is wanted
  kDamaged,       // the contents are cut short, inconsistent or refused by the decoder
  kWrongVersion,  // a file of another format or version
  kOutOfMemory,   // the memory for the work could not be had
  kRefused,       // the input itself cannot be handled (an empty picture, a text too long)
  kStopped,       // the person asked the work to stop before it was done
  kTooSmall,      // a picture too small for the work asked of it (lower than one row of tiles)
  kEmpty,         // the input holds nothing to work with (a mask without colour areas)
};

// Why an operation failed, with every reason the layers below had: the file, the operating
// system's error number and the library's own words (libjpeg, FFmpeg), none of them lost on the
// way up.
struct Failure {
  FailureKind kind = FailureKind::kRefused;
  std::string path;     // the file concerned; empty when none
  int systemError = 0;  // errno of the failed call; 0 when the operating system was not asked
  std::string detail;   // the library's own message; empty when none
  int libraryError = 0;  // the library's own error number (FFmpeg's), 0 when none

  // The operating system's words for systemError ("No space left on device").
  std::string SystemText() const;
};

// The result of an operation that gives nothing back but may fail. True on success.
class Status {
 public:
  Status() = default;
  Status(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: a failure is a status

  explicit operator bool() const { return !failure_.has_value(); }
  // Only on a failed status.
  const Failure& Why() const { return *failure_; }

 private:
  std::optional<Failure> failure_;
};

}  // namespace tessarix
