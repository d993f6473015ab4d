#include "engine/replace_check.h"

#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <vector>

namespace tessarix {
namespace {

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The first `count` lines of a regular file (line ends removed), read from its first 64 KB.
std::vector<std::string> FirstLines(const std::string& path, size_t count) {
  std::vector<std::string> lines;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return lines;
  std::string head(64 * 1024, '\0');
  head.resize(std::fread(head.data(), 1, head.size(), file));
  std::fclose(file);
  size_t start = 0;
  while (lines.size() < count && start < head.size()) {
    size_t end = head.find('\n', start);
    if (end == std::string::npos)
      end = head.size();
    std::string line = head.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

bool MayReplace(const std::string& path, size_t lineCount,
                const std::function<bool(const std::string& line)>& ours) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0)
    return true;  // nothing there, or nothing reachable: the write says which
  if (S_ISDIR(status.st_mode))
    return true;
  if (!S_ISREG(status.st_mode))
    return false;  // never opened: a pipe would block the batch
  for (const std::string& line : FirstLines(path, lineCount)) {
    if (ours(line))
      return true;
  }
  return false;
}

}  // namespace

bool MayReplaceReport(const std::string& path) {
  return MayReplace(path, 1, [](const std::string& line) {
    return StartsWith(line, "Number of tiles in the Mosaic:");
  });
}

bool MayReplaceWebPage(const std::string& path) {
  return MayReplace(path, 3, [](const std::string& line) {
    return StartsWith(line, "<title>") && EndsWith(line, " created by Tessarix</title>");
  });
}

}  // namespace tessarix
