#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tessarix {
namespace {

// Each attempt that finds the path renamed under it looks again; a path that keeps changing this
// often counts as busy.
constexpr int kAttempts = 8;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool NamesRegularFile(const std::string& path, struct stat& info) {
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// After the lock: a locked file must still be the one the path names, a locked folder must still
// hold no regular file under that name.
bool StillNames(int descriptor, const std::string& path, bool lockedFile) {
  struct stat named {};
  if (!NamesRegularFile(path, named))
    return !lockedFile;
  struct stat held {};
  return lockedFile && fstat(descriptor, &held) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

Status PathLock::TryLock(const std::string& path) {
  Release();
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    struct stat named {};
    // Only a regular file is opened: opening a FIFO would wake or wait for its writer.
    const bool lockFile = NamesRegularFile(path, named);
    const std::string opened = lockFile ? path : FolderOf(path);
    const int descriptor = open(opened.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
      if (lockFile && errno == ENOENT)
        continue;  // renamed away between the look and the open
      return Failure{FailureKind::kCannotRead, opened, errno, {}};
    }
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      close(descriptor);
      if (error == EWOULDBLOCK)
        return {};  // busy
      return Failure{FailureKind::kCannotRead, opened, error, {}};
    }
    if (StillNames(descriptor, path, lockFile)) {
      descriptor_ = descriptor;
      return {};
    }
    close(descriptor);
  }
  return {};  // busy
}

void PathLock::Release() {
  if (descriptor_ < 0)
    return;
  close(descriptor_);
  descriptor_ = -1;
}

}  // namespace tessarix
