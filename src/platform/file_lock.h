#pragma once

#include <string>

namespace tessarix {

// An exclusive advisory lock (flock) through which programs that read, change and save the same
// file take turns. Saves rename a new file over the path, so the lock is taken on the file the
// path names and kept only when the path still names that file once it is locked; a path that
// names no regular file (yet) is locked through the folder that holds it. Everyone who changes
// the file must hold the lock from before reading it until the new file has been renamed in.
class PathLock {
 public:
  enum class Outcome {
    kLocked,  // held until Release or destruction
    kBusy,    // another holder has it: try again later
    kFailed,  // the file or its folder cannot be opened; Error() tells why
  };

  PathLock() = default;
  ~PathLock() { Release(); }
  PathLock(const PathLock&) = delete;
  PathLock& operator=(const PathLock&) = delete;

  // One attempt, without waiting. A lock held before is released first.
  Outcome TryLock(const std::string& path);
  void Release();
  bool Held() const { return descriptor_ >= 0; }
  // The errno of the last kFailed.
  int Error() const { return error_; }

 private:
  int descriptor_ = -1;
  int error_ = 0;
};

}  // namespace tessarix
