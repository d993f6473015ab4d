#include "platform/atomic_file.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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

// The temporary names a signal handler may have to remove. A slot is claimed (Filling), given its
// name and published (Ready); the handler takes a Ready slot for good (Removing) before it reads
// the name, so it never reads one being rewritten. Enough slots for every file written at once:
// a mosaic's three outputs, a collection, frames on every thread.
enum class SlotState { Free, Filling, Ready, Removing };
// The signal handler may only touch atomics that need no lock.
static_assert(std::atomic<SlotState>::is_always_lock_free);
struct TemporaryName {
  std::atomic<SlotState> state{SlotState::Free};
  char path[PATH_MAX];
};
constexpr int kSlots = 64;
TemporaryName temporaryNames[kSlots];

int RememberName(const std::string& path) {
  if (path.size() >= PATH_MAX)
    return -1;
  for (int i = 0; i < kSlots; ++i) {
    SlotState expected = SlotState::Free;
    if (temporaryNames[i].state.compare_exchange_strong(expected, SlotState::Filling)) {
      std::memcpy(temporaryNames[i].path, path.c_str(), path.size() + 1);
      temporaryNames[i].state.store(SlotState::Ready);
      return i;
    }
  }
  return -1;  // written all the same, only not removed by a program ended from a signal
}

// -1 while no exit has been asked for.
std::atomic<int> pendingExit{-1};
std::atomic<int> exitHolds{0};

[[noreturn]] void ExitNow(int status) {
  AtomicFile::RemoveTemporaries();
  _exit(status);
}

}  // namespace

AtomicFile::AtomicFile(std::string targetPath) : target_(std::move(targetPath)) {}

AtomicFile::~AtomicFile() {
  Discard();
}

void AtomicFile::Fail(int error) {
  if (error_ == 0)
    error_ = error;
}

ssize_t AtomicFile::WriteToFile(void* self, const char* data, size_t size) {
  auto* file = static_cast<AtomicFile*>(self);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(file->fd_, data + done, size - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      // The stream only learns that the write fell short; the reason is kept here.
      file->Fail(n < 0 ? errno : ENOSPC);
      break;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

Failure AtomicFile::Failed(FailureKind kind) const {
  return Failure{kind, target_, error_, {}};
}

Status AtomicFile::Open() {
  Discard();
  error_ = 0;
  finished_ = committed_ = false;
  struct stat existing {};
  if (stat(target_.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
    Fail(EISDIR);  // the rename would be refused after all the writing
    return Failed(FailureKind::kCannotCreate);
  }
  const size_t slash = target_.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  std::string pattern = folder + "." + name + ".tmp-XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) {
    Fail(errno);
    return Failed(FailureKind::kCannotCreate);
  }
  fd_ = fd;
  temporary_ = std::move(pattern);
  slot_ = RememberName(temporary_);
  // Through a stream of its own the first failed write's reason survives for `Error`.
  stream_ = fopencookie(this, "wb", cookie_io_functions_t{nullptr, WriteToFile, nullptr, nullptr});
  if (stream_ == nullptr) {
    Fail(errno);
    Discard();
    return Failed(FailureKind::kCannotCreate);
  }
  return {};
}

Status AtomicFile::Finish() {
  if (finished_)
    return {};
  if (stream_ == nullptr)
    return Failed(FailureKind::kCannotWrite);
  bool ok = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
  if (!ok)
    Fail(EIO);  // only when no write said why
  // Only a file that replaces an existing one must reach the disk before the rename: otherwise a
  // crash could leave the person's old file replaced by an empty one. A new file has nothing to
  // lose, and syncing each of thousands of movie frames would cost more than encoding them.
  struct stat existing {};
  const bool replacing = stat(target_.c_str(), &existing) == 0;
  const auto step = [this, &ok](bool done) {
    if (ok && !done)
      Fail(errno);
    ok = ok && done;
  };
  if (ok && replacing)
    step(fsync(fd_) == 0);
  // mkstemp creates the file readable by the owner only; give it the usual permissions.
  if (ok)
    step(fchmod(fd_, 0666 & ~CurrentUmask()) == 0);
  std::fclose(stream_);
  stream_ = nullptr;
  step(close(fd_) == 0);
  fd_ = -1;
  if (!ok) {
    Discard();
    return Failed(FailureKind::kCannotWrite);
  }
  finished_ = true;
  return {};
}

Status AtomicFile::Commit() {
  if (Status finished = Finish(); !finished)
    return finished;
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    Fail(errno);
    Discard();
    return Failed(FailureKind::kCannotWrite);
  }
  ReleaseName();
  temporary_.clear();
  finished_ = false;
  committed_ = true;
  return {};
}

void AtomicFile::Discard() {
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    temporary_.clear();
  }
  ReleaseName();
  finished_ = false;
}

void AtomicFile::ReleaseName() {
  if (slot_ < 0)
    return;
  // A slot a signal handler has taken stays taken: the program is ending.
  SlotState expected = SlotState::Ready;
  temporaryNames[slot_].state.compare_exchange_strong(expected, SlotState::Free);
  slot_ = -1;
}

void AtomicFile::RemoveTemporaries() noexcept {
  for (TemporaryName& name : temporaryNames) {
    SlotState expected = SlotState::Ready;
    if (name.state.compare_exchange_strong(expected, SlotState::Removing))
      unlink(name.path);
  }
}

Status CommitTogether(std::span<AtomicFile* const> files) {
  const auto dropAll = [files](Status failed) {
    for (AtomicFile* file : files) file->Discard();
    return failed;
  };
  for (AtomicFile* file : files) {
    if (Status finished = file->Finish(); !finished)
      return dropAll(finished);
  }
  ExitHold hold;
  // A refused rename ends the renames: the files after it keep their earlier versions.
  for (AtomicFile* file : files) {
    if (Status committed = file->Commit(); !committed)
      return dropAll(committed);
  }
  return {};
}

void ExitRemovingTemporaries(int status) noexcept {
  pendingExit.store(status);
  if (exitHolds.load() == 0)
    ExitNow(status);
}

ExitHold::ExitHold() {
  exitHolds.fetch_add(1);
  if (const int status = pendingExit.load(); status >= 0)
    ExitNow(status);
}

ExitHold::~ExitHold() {
  if (exitHolds.fetch_sub(1) == 1) {
    if (const int status = pendingExit.load(); status >= 0)
      ExitNow(status);
  }
}

}  // namespace tessarix
