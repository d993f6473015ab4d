#pragma once

#include <string>

#include "platform/failure.h"

namespace tessarix {

// An exclusive advisory lock (flock) through which programs that read, change and save the same
// file take turns. Saves rename a new file over the path, so the lock is taken on the file the
// path names and kept only when the path still names that file once it is locked; a path that
// names no regular file (yet) is locked through the folder that holds it. Everyone who changes
// the file must hold the lock from before reading it until the new file has been renamed in.
class PathLock {
 public:
  PathLock() = default;
  ~PathLock() { Release(); }
  PathLock(const PathLock&) = delete;
  PathLock& operator=(const PathLock&) = delete;

  // One attempt, without waiting. A lock held before is released first. Afterwards Held()
  // tells whether the lock was taken or another holder has it (try again later). Fails when the
  // file or its folder cannot be opened or locked: the failure names what was opened and keeps
  // the operating system's error.
  Status TryLock(const std::string& path);
  void Release();
  // Held from a successful TryLock until Release or destruction.
  bool Held() const { return descriptor_ >= 0; }

 private:
  int descriptor_ = -1;
};

}  // namespace tessarix
