#include "platform/file_status.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace tessarix {

std::optional<FileStatus> StatFile(const std::string& path) {
  struct statx info {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_MTIME | STATX_SIZE | STATX_BTIME, &info) != 0) {
    return std::nullopt;
  }
  FileStatus status;
  status.modificationTime = static_cast<uint32_t>(info.stx_mtime.tv_sec);
  status.creationTime = (info.stx_mask & STATX_BTIME)
                            ? static_cast<uint32_t>(info.stx_btime.tv_sec)
                            : status.modificationTime;
  status.size = static_cast<uint32_t>(info.stx_size);
  return status;
}

}  // namespace tessarix
