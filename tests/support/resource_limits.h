#pragma once

// Full disks and small memories, simulated: the work runs in a forked child under a resource
// limit. Under RLIMIT_FSIZE (SIGXFSZ ignored) a write past the limit fails with EFBIG instead of
// killing the process, as on a full disk; under RLIMIT_AS allocations fail. The child reports
// back through a pipe as text, since test assertions made in the child never reach the parent.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tessarix::test {

struct LimitedRun {
  bool exited = false;  // the child ended normally (no crash, no signal)
  std::string report;   // what the child's work returned
};

// Runs `work` (a callable returning std::string) in a forked child under the limit `limitBytes`
// of `resource` (setrlimit).
template <typename Work>
LimitedRun RunWithLimit(int resource, uint64_t limitBytes, Work work) {
  LimitedRun run;
  int fds[2];
  if (pipe(fds) != 0)
    return run;
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return run;
  }
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
    if (setrlimit(resource, &limit) != 0)
      _exit(3);
    // A blocking write to a pipe returns only when all of it is written. No destructors, no
    // atexit handlers: the parent owns the fixtures.
    const std::string report = work();
    _exit(write(fds[1], report.data(), report.size()) == ssize_t(report.size()) ? 0 : 4);
  }
  close(fds[1]);
  char buffer[4096];
  for (ssize_t n = 0; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
    run.report.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  run.exited = waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

// Every file the work writes is limited to `limitBytes`: a disk that is full beyond that.
template <typename Work>
LimitedRun RunWithFileSizeLimit(uint64_t limitBytes, Work work) {
  return RunWithLimit(RLIMIT_FSIZE, limitBytes, work);
}

// The process's address space may grow by at most `extraBytes` while the work runs: proof that
// the work's memory stays bounded. Sanitizer builds reserve terabytes of shadow memory and cannot
// run under such a limit; there the work runs unbounded, and MemoryLimitWorks() says so.
inline bool MemoryLimitWorks() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return false;
#elif defined(__has_feature)
  return !(__has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||
           __has_feature(memory_sanitizer));
#else
  return true;
#endif
}

template <typename Work>
LimitedRun RunWithMemoryLimit(uint64_t extraBytes, Work work) {
  if (!MemoryLimitWorks())  // still in a child, still reporting; only the bound is lost
    return RunWithLimit(RLIMIT_CORE, 0, work);
  uint64_t pages = 0;  // the address space's size so far
  std::ifstream("/proc/self/statm") >> pages;
  return RunWithLimit(RLIMIT_AS, pages * sysconf(_SC_PAGESIZE) + extraBytes, work);
}

// Names in `folder` that a writer left behind: hidden temporary files of the atomic writer.
inline std::vector<std::string> LeftoverTemporaries(const std::filesystem::path& folder) {
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
    if (entry.path().filename().string().find(".tmp-") != std::string::npos)
      found.push_back(entry.path().string());
  return found;
}

}  // namespace tessarix::test
