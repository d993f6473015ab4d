#pragma once

#include <cstdio>
#include <string>

namespace tessarix {

// Writes a file so that the target is either left as it was or replaced whole: the bytes go to a
// hidden temporary file in the target's folder, which `Commit` flushes to disk and renames over
// the target. A writer destroyed without a successful `Commit` removes its temporary file, so a
// failed or interrupted write never leaves a half-written file under the target's name.
class AtomicFile {
 public:
  explicit AtomicFile(std::string targetPath);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file; false when the folder does not exist or is not writable.
  bool Open();

  // The stream to write to; null before a successful `Open`.
  std::FILE* Stream() const { return stream_; }

  // Flushes and closes the temporary file (syncing it to disk first when it replaces an existing
  // file) and renames it over the target. False (and the
  // target untouched) when any write failed on the way or the rename is refused.
  bool Commit();

  // Drops the temporary file; the target stays as it was.
  void Discard();

  const std::string& TargetPath() const { return target_; }

 private:
  std::string target_;
  std::string temporary_;
  std::FILE* stream_ = nullptr;
};

}  // namespace tessarix
