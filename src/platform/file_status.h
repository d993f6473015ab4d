#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessarix {

struct FileStatus {
  uint32_t modificationTime = 0;  // last write, seconds since 1970-01-01 UTC
  uint32_t creationTime = 0;      // birth time where the file system keeps one, else mtime
  uint32_t size = 0;              // low 32 bits of the size in bytes
};

// Status of an existing file (symlinks followed); none, with errno saying why, when it is missing
// or unreadable.
std::optional<FileStatus> StatFile(const std::string& path);

}  // namespace tessarix
