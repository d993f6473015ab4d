#include "platform/link_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace tessarix {
namespace {

// The kernel gives up after 40 links as well.
constexpr int kMaxLinks = 40;

// What the link at `path` points to; none when `path` is no link or cannot be read.
std::optional<std::string> ReadLink(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
    return std::nullopt;
  // Some file systems report no size for their links: grow until the text fits.
  std::string target(info.st_size > 0 ? static_cast<size_t>(info.st_size) + 1 : 256, '\0');
  for (;;) {
    const ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n < 0)
      return std::nullopt;
    if (static_cast<size_t>(n) < target.size()) {
      target.resize(static_cast<size_t>(n));
      return target;
    }
    target.resize(target.size() * 2);
  }
}

}  // namespace

std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int links = 0; links < kMaxLinks; ++links) {
    const std::optional<std::string> target = ReadLink(current);
    if (!target)
      return current;
    if (target->empty() || target->front() == '/') {
      current = *target;
      continue;
    }
    // A relative target is relative to the folder that holds the link.
    const size_t slash = current.rfind('/');
    current = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + *target;
  }
  return path;
}

}  // namespace tessarix
