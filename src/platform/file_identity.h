#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessarix {

// Which file a path names and which state of it: a file renamed over the path, or a write to the
// file, gives an identity different from the one seen before.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modifiedSeconds = 0;
  int64_t modifiedNanoseconds = 0;
  bool regular = false;  // a plain file, not a folder, FIFO, device or socket

  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file `path` names (symbolic links followed) without opening it; none, with
// errno telling why, when there is no such file or it cannot be looked at.
std::optional<FileIdentity> IdentifyFile(const std::string& path);

// The identity of an open file; none (errno set) when the descriptor is not valid.
std::optional<FileIdentity> IdentifyOpenFile(int descriptor);

}  // namespace tessarix
