#include "platform/file_identity.h"

#include <sys/stat.h>

namespace tessarix {
namespace {

FileIdentity IdentityOf(const struct stat& info) {
  FileIdentity identity;
  identity.device = static_cast<uint64_t>(info.st_dev);
  identity.inode = static_cast<uint64_t>(info.st_ino);
  identity.size = static_cast<int64_t>(info.st_size);
  identity.modifiedSeconds = static_cast<int64_t>(info.st_mtim.tv_sec);
  identity.modifiedNanoseconds = static_cast<int64_t>(info.st_mtim.tv_nsec);
  identity.regular = S_ISREG(info.st_mode);
  return identity;
}

}  // namespace

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0)
    return std::nullopt;
  return IdentityOf(info);
}

std::optional<FileIdentity> IdentifyOpenFile(int descriptor) {
  struct stat info {};
  if (fstat(descriptor, &info) != 0)
    return std::nullopt;
  return IdentityOf(info);
}

}  // namespace tessarix
