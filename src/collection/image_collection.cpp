#include "collection/image_collection.h"

#include <algorithm>

#include "platform/text_format.h"

namespace tessarix {
namespace {

// std::string compares through char_traits<char>, which orders bytes as unsigned char: the byte
// order the index is sorted by.
auto LowerBound(const std::vector<CollectionEntry*>& index, const std::string& path) {
  return std::lower_bound(
      index.begin(), index.end(), path,
      [](const CollectionEntry* e, const std::string& p) { return e->path < p; });
}

}  // namespace

ImageCollection::ImageCollection() = default;

void ImageCollection::Clear() {
  ClearEntries();
  description = kNoCollectionText;
  filePath.clear();
  imageFolder.clear();
  analysisPercent = 0.0;
  fileSeen.reset();
  fileUnreadable = false;
}

void ImageCollection::ClearEntries() {
  scheduler_.DropAhead();
  scheduler_.Release();
  index_.clear();
  entries_.clear();
  cursor_ = 0;
  analysing_ = false;
  analysedCount_ = 0;
  grey = false;
}

CollectionEntry* ImageCollection::FindByPath(const std::string& path) const {
  const auto it = LowerBound(index_, path);
  if (it != index_.end() && (*it)->path == path)
    return *it;
  return nullptr;
}

CollectionEntry& ImageCollection::Add(std::unique_ptr<CollectionEntry> entry) {
  scheduler_.DropAhead();
  CollectionEntry* raw = entry.get();
  index_.insert(LowerBound(index_, raw->path), raw);
  entries_.push_back(std::move(entry));
  return *raw;
}

void ImageCollection::Remove(const CollectionEntry* entry) {
  if (entry == nullptr)
    return;
  scheduler_.DropAhead();
  // A collection file may hold the same path twice; removing by path alone would take out the
  // other entry's index element and leave this one's pointer dangling. Among equal paths, take
  // the element that is this very entry.
  for (auto it = LowerBound(index_, entry->path); it != index_.end() && (*it)->path == entry->path;
       ++it) {
    if (*it == entry) {
      index_.erase(it);
      break;
    }
  }
  const auto pos = std::find_if(entries_.begin(), entries_.end(),
                                [entry](const auto& e) { return e.get() == entry; });
  if (pos == entries_.end())
    return;
  const size_t at = static_cast<size_t>(pos - entries_.begin());
  entries_.erase(pos);
  if (cursor_ > at)
    --cursor_;
}

void ImageCollection::RemoveInvalid() {
  scheduler_.DropAhead();
  // One pass over each array rather than one search per removed entry: an update after moving a
  // folder away may drop thousands of entries.
  std::erase_if(index_, [](const CollectionEntry* e) { return e->valid == 0; });
  size_t kept = 0;
  size_t newCursor = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (i == cursor_)
      newCursor = kept;
    if (entries_[i]->valid != 0)
      entries_[kept++] = std::move(entries_[i]);
  }
  if (cursor_ >= entries_.size())
    newCursor = kept;
  entries_.resize(kept);
  cursor_ = newCursor;
}

void ImageCollection::MarkFramesAndRequired() {
  for (auto& e : entries_) {
    e->sequenceNumber = 0;
    e->required = false;
  }
  for (size_t i = 0; i < index_.size(); ++i) {
    const std::string upper = UpperAscii(index_[i]->path);
    if (upper.find("FRAMES") != std::string::npos) {
      index_[i]->sequenceNumber = static_cast<uint32_t>(i + 1);
    }
    if (upper.find("/REQUIRED") != std::string::npos)
      index_[i]->required = true;
  }
}

void ImageCollection::MakeBlackAndWhite() {
  for (auto& e : entries_) {
    for (Pixel& p : e->info.grid) {
      const uint32_t g = (Red(p) + Green(p) + Blue(p)) / 3;
      p = MakePixel(g, g, g, Transparency(p));
    }
    RecomputeColorInfo(e->info);
  }
  grey = true;
}

void ImageCollection::SetLoadedDescription() {
  description = Format("The %sCollection contains %d Images.", "", static_cast<int>(Size()));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  // No folder part: nothing to prepend. A path directly under the root keeps the root.
  if (slash == std::string::npos)
    return std::string();
  if (slash == 0)
    return "/";
  return path.substr(0, slash + 1);
}

}  // namespace tessarix
