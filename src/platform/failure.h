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
};

// Why an operation failed, with every reason the layers below had: the file, the operating
// system's error number and the library's own words (libjpeg, FFmpeg), none of them lost on the
// way up.
struct Failure {
  FailureKind kind = FailureKind::kRefused;
  std::string path;     // the file concerned; empty when none
  int systemError = 0;  // errno of the failed call; 0 when the operating system was not asked
  std::string detail;   // the library's own message; empty when none

  // The operating system's words for systemError ("No space left on device").
  std::string SystemText() const;
};

// A value or the failure that prevented it. True when it holds the value.
template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: a value is a success
  Result(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: as is a failure

  explicit operator bool() const { return value_.has_value(); }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  // Only on a failed result.
  const Failure& Why() const { return *failure_; }

 private:
  std::optional<T> value_;
  std::optional<Failure> failure_;
};

// The result of an operation that gives nothing back but may fail. True on success.
template <>
class Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: a failure

  explicit operator bool() const { return !failure_.has_value(); }
  // Only on a failed result.
  const Failure& Why() const { return *failure_; }

 private:
  std::optional<Failure> failure_;
};

using Status = Result<void>;

}  // namespace tessarix
