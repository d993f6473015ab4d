#include "window_logic/source_list.h"

#include <algorithm>
#include <cctype>

#include "collection/folder_scan.h"
#include "collection/image_collection.h"
#include "engine/output_names.h"
#include "imaging/image.h"
#include "imaging/jpeg_file.h"
#include "platform/file_status.h"

namespace tessarix {
namespace {

int FoldedCompare(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb)
      return ca < cb ? -1 : 1;
  }
  if (a.size() != b.size())
    return a.size() < b.size() ? -1 : 1;
  return 0;
}

// Alphabetical as a person reads a list: "b.jpg" stays between "A.jpg" and "C.jpg".
bool SortsBefore(const std::string& a, const std::string& b) {
  const int folded = FoldedCompare(a, b);
  if (folded != 0)
    return folded < 0;
  return a < b;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

std::optional<std::string> SourceList::First() const {
  if (entries_.empty())
    return std::nullopt;
  return entries_.front();
}

size_t SourceList::Add(const std::string& path) {
  const auto at = std::upper_bound(entries_.begin(), entries_.end(), path, SortsBefore);
  const size_t index = static_cast<size_t>(at - entries_.begin());
  entries_.insert(at, path);
  return index;
}

bool SkipForDirectory(const std::string& path) {
  if (Contains(path, kMosaicSuffix) || Contains(path, " MaskInfo.JPG") ||
      Contains(path, " FotoInfo.JPG"))
    return true;
  const std::optional<FileStatus> photo = StatFile(path);
  if (!photo)
    return true;
  const std::string mosaic = MosaicFileName(OutputBase(path));
  const std::optional<FileStatus> made = StatFile(mosaic);
  return made && photo->creationTime <= made->creationTime;
}

size_t SourceList::AddDirectory(const std::string& anyFile) {
  std::vector<std::string> found;
  ListFiles(FolderOf(anyFile), "*.JPG", false, found);
  size_t added = 0;
  for (const std::string& path : found) {
    if (SkipForDirectory(path))
      continue;
    Add(path);
    ++added;
  }
  return added;
}

size_t SourceList::AddDropped(const std::vector<std::string>& paths) {
  size_t added = 0;
  for (const std::string& path : paths) {
    if (path.empty() || path.size() > kMaxDroppedPath)
      continue;
    const bool listed = std::any_of(entries_.begin(), entries_.end(), [&](const std::string& e) {
      return FoldedCompare(e, path) == 0;
    });
    if (listed)
      continue;
    Add(path);
    ++added;
  }
  return added;
}

bool SourceList::Remove(std::vector<size_t> indices) {
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  const bool firstRemoved = !indices.empty() && indices.front() == 0 && !entries_.empty();
  // From the back, so the indices still to come keep pointing at the same entries.
  for (auto it = indices.rbegin(); it != indices.rend(); ++it)
    if (*it < entries_.size())
      entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*it));
  return firstRemoved;
}

std::optional<SourceSize> MeasureSource(const std::string& path) {
  Image image;
  if (!WithJpegMessage(image.LoadJpeg(path)))
    return std::nullopt;
  return SourceSize{image.Width(), image.Height()};
}

}  // namespace tessarix
