#include "engine/usage_counter.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/atomic_file.h"
#include "platform/text_format.h"

namespace tessarix {
namespace {

constexpr size_t kValueLimit = 255;

std::string ConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  // Relative values are to be ignored: they would depend on the current folder.
  if (xdg != nullptr && xdg[0] == '/')
    return std::string(xdg);
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0')
    return std::string(home) + "/.config";
  return std::string();
}

std::string TodayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return Format("%ld-%ld-%ld", static_cast<long>(local.tm_year) + 1900,
                static_cast<long>(local.tm_mon) + 1, static_cast<long>(local.tm_mday));
}

}  // namespace

std::string UsageFilePath() {
  const std::string folder = ConfigFolder();
  if (folder.empty())
    return std::string();
  return folder + "/tessarix/usage.ini";
}

UsageRecord ReadUsage() {
  UsageRecord record;
  const std::string path = UsageFilePath();
  if (path.empty())
    return record;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    const size_t equals = line.find('=');
    if (equals == std::string::npos)
      continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (value.size() > kValueLimit)
      continue;
    if (key == "MosaicCount")
      record.mosaicCount = ParseLeadingInt(value);
    if (key == "DateFirstMosaic")
      record.dateFirstMosaic = value;
  }
  return record;
}

Status IncrementMosaicCount() {
  const std::string path = UsageFilePath();
  if (path.empty())
    return Failure{FailureKind::kRefused, path, 0, {}};
  UsageRecord record = ReadUsage();
  if (record.mosaicCount == 0)
    record.dateFirstMosaic = TodayText();
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  AtomicFile file(path);
  if (Status opened = file.Open(); !opened)
    return opened;
  const std::string text = Format("[Usage]\nMosaicCount=%ld\nDateFirstMosaic=%s\n",
                                  record.mosaicCount + 1, record.dateFirstMosaic.c_str());
  std::fputs(text.c_str(), file.Stream());
  return file.Commit();
}

}  // namespace tessarix
