#include "engine/output_names.h"

namespace tessarix {
namespace {

size_t FileNameStart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

bool ContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string OutputBase(const std::string& sourcePath) {
  const size_t nameStart = FileNameStart(sourcePath);
  // Characters, not bytes: cutting into a UTF-8 sequence would leave a name no folder shows.
  size_t end = sourcePath.size();
  for (int cut = 0; cut < 4; ++cut) {
    if (end == nameStart)
      return sourcePath;
    --end;
    while (end > nameStart && ContinuationByte(sourcePath[end])) --end;
  }
  return end == nameStart ? sourcePath : sourcePath.substr(0, end);
}

std::string MosaicFileName(const std::string& base) {
  return base + kMosaicSuffix;
}

std::string ReportFileName(const std::string& base) {
  return base + " Report.TXT";
}

std::string WebPageBase(const std::string& base) {
  const size_t nameStart = FileNameStart(base);
  const size_t last = base.find_last_not_of(' ');
  if (last == std::string::npos || last < nameStart)
    return base;
  return base.substr(0, last + 1);
}

std::string WebPageFileName(const std::string& base) {
  return WebPageBase(base) + ".html";
}

}  // namespace tessarix
