#pragma once

#include <sys/types.h>

#include <cstdio>
#include <span>
#include <string>

#include "platform/failure.h"

namespace tessarix {

// Writes a file so that the target is either left as it was or replaced whole: the bytes go to a
// hidden temporary file in the target's folder, which `Commit` flushes to disk and renames over
// the target. A writer destroyed without a successful `Commit` removes its temporary file, so a
// failed or interrupted write never leaves a half-written file under the target's name; neither
// does a program ended from a signal handler through `ExitRemovingTemporaries`.
class AtomicFile {
 public:
  explicit AtomicFile(std::string targetPath);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file; kCannotCreate when the folder does not exist or is not writable,
  // or a folder stands where the target should go (EISDIR).
  Status Open();

  // The stream to write to; null before a successful `Open` and after `Finish`.
  std::FILE* Stream() const { return stream_; }

  // Flushes and closes the temporary file (syncing it to disk first when it replaces an existing
  // file) and gives it the usual permissions; it keeps its temporary name until `Commit`.
  // kCannotWrite (and the temporary removed) when any write failed on the way.
  Status Finish();

  // `Finish` when not done yet, then renames the temporary file over the target. kCannotWrite
  // (and the target untouched) when any write failed on the way or the rename is refused.
  Status Commit();

  // Drops the temporary file; the target stays as it was.
  void Discard();

  // The failure so far as `kind`: the target and the operating system's error number of the
  // first failure (0 while none happened): ENOSPC on a full disk, EFBIG past the file size
  // limit, EISDIR for a folder.
  Failure Failed(FailureKind kind) const;
  bool Committed() const { return committed_; }
  const std::string& TargetPath() const { return target_; }

  // Removes the temporary file of every writer that has neither committed nor discarded it.
  // Async-signal-safe: the names are kept in fixed storage for this.
  static void RemoveTemporaries() noexcept;

 private:
  static ssize_t WriteToFile(void* self, const char* data, size_t size);
  void Fail(int error);
  void ReleaseName();

  std::string target_;
  std::string temporary_;
  std::FILE* stream_ = nullptr;
  int fd_ = -1;
  int slot_ = -1;  // where a signal handler finds the temporary name; -1 when it has none
  int error_ = 0;
  bool finished_ = false;
  bool committed_ = false;
};

// Puts every file in place or none: finishes each, and only when all are complete renames them
// in the order given under an `ExitHold`. When one fails, it and every file not yet renamed are
// dropped, their targets left as they were. Success when all are in place; otherwise the failure
// of the file that failed, and `Committed` names the files renamed before it (only a rename
// refused midway leaves some in place, so the file most worth keeping goes last).
Status CommitTogether(std::span<AtomicFile* const> files);

// Ends the program with `status` after removing every temporary file still in flight, at once,
// or, while an ExitHold lives, as soon as the last one ends. Async-signal-safe: for the handler
// of a signal that must end the program now.
void ExitRemovingTemporaries(int status) noexcept;

// Held while several files are renamed into place as one set: an exit asked for through
// `ExitRemovingTemporaries` waits until the last hold ends, so it never leaves half a set
// renamed. An exit asked for before the hold is taken happens in its constructor.
class ExitHold {
 public:
  ExitHold();
  ~ExitHold();
  ExitHold(const ExitHold&) = delete;
  ExitHold& operator=(const ExitHold&) = delete;
};

}  // namespace tessarix
