#include "platform/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace tessarix {

namespace {

// umask() can only be read by changing it, and for that moment every file another thread creates
// gets the wrong permissions; the kernel reports the mask in /proc as well.
mode_t CurrentUmask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(status);
    if (found)
      return static_cast<mode_t>(mask);
  }
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

AtomicFile::AtomicFile(std::string targetPath) : target_(std::move(targetPath)) {}

AtomicFile::~AtomicFile() {
  Discard();
}

bool AtomicFile::Open() {
  Discard();
  const size_t slash = target_.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  std::string pattern = folder + "." + name + ".tmp-XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0)
    return false;
  stream_ = fdopen(fd, "wb");
  if (stream_ == nullptr) {
    close(fd);
    unlink(pattern.c_str());
    return false;
  }
  temporary_ = std::move(pattern);
  return true;
}

bool AtomicFile::Commit() {
  if (stream_ == nullptr)
    return false;
  bool ok = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
  // Only a file that replaces an existing one must reach the disk before the rename: otherwise a
  // crash could leave the person's old file replaced by an empty one. A new file has nothing to
  // lose, and syncing each of thousands of movie frames would cost more than encoding them.
  struct stat existing {};
  const bool replacing = stat(target_.c_str(), &existing) == 0;
  ok = ok && (!replacing || fsync(fileno(stream_)) == 0);
  ok = (std::fclose(stream_) == 0) && ok;
  stream_ = nullptr;
  // mkstemp creates the file readable by the owner only; give it the usual permissions.
  ok = ok && chmod(temporary_.c_str(), 0666 & ~CurrentUmask()) == 0;
  ok = ok && std::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!ok)
    unlink(temporary_.c_str());
  temporary_.clear();
  return ok;
}

void AtomicFile::Discard() {
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    temporary_.clear();
  }
}

}  // namespace tessarix
