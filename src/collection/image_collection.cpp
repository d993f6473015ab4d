#include "collection/image_collection.h"

#include <algorithm>

#include "collection/tile_analysis.h"
#include "platform/clock.h"
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

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

constexpr uint64_t kSliceMillis = 400;

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
  DropAhead();
  ReleaseWorkers();
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
  DropAhead();
  CollectionEntry* raw = entry.get();
  index_.insert(LowerBound(index_, raw->path), raw);
  entries_.push_back(std::move(entry));
  return *raw;
}

void ImageCollection::Remove(const CollectionEntry* entry) {
  if (entry == nullptr)
    return;
  DropAhead();
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
  DropAhead();
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

bool ImageCollection::Rescan() {
  // An empty folder would mean the current working folder; there is nothing to rescan.
  if (imageFolder.empty())
    return false;
  for (auto& e : entries_) e->valid = 0;
  ScanFolder(imageFolder, kExtensions, true);
  RemoveInvalid();
  return true;
}

void ImageCollection::MarkFramesAndRequired() {
  for (auto& e : entries_) {
    e->sequenceNumber = 0;
    e->required = 0;
  }
  for (size_t i = 0; i < index_.size(); ++i) {
    const std::string upper = UpperAscii(index_[i]->path);
    if (upper.find("FRAMES") != std::string::npos) {
      index_[i]->sequenceNumber = static_cast<uint32_t>(i + 1);
    }
    if (upper.find("/REQUIRED") != std::string::npos)
      index_[i]->required = 1;
  }
}

void ImageCollection::StartAnalysis() {
  cursor_ = 0;
  analysedCount_ = 0;
  analysisPercent = 0.0;
  analysing_ = true;
  DropAhead();
  roundEntries_ = size_t{threads_} * 4;
  if (threads_ > 1 && (!pool_ || pool_->Threads() != threads_))
    pool_ = std::make_unique<WorkPool>(threads_);
  else if (threads_ <= 1)
    pool_.reset();
  decodeMemory_.resize(pool_ ? pool_->Threads() : 1);
}

bool ImageCollection::AnalyseAtCursor() {
  CollectionEntry& entry = *entries_[cursor_];
  if (!pool_) {
    decodeMemory_.resize(1);  // also when called without StartAnalysis
    return AnalyseEntry(entry, &decodeMemory_[0]);
  }
  if (aheadNext_ < ahead_.size() && ahead_[aheadNext_].entry == &entry)
    return ahead_[aheadNext_++].ok != 0;
  // Each entry is touched by one thread only, and nothing else touches the entries until the
  // round is over.
  const size_t count = std::min(entries_.size() - cursor_, roundEntries_);
  ahead_.assign(count, Ahead{nullptr, 0});
  aheadNext_ = 0;
  const size_t first = cursor_;
  const uint64_t started = TickMillis();
  pool_->ParallelFor(count, 1, [&](size_t begin, size_t end, unsigned thread) {
    for (size_t i = begin; i < end; ++i) {
      CollectionEntry& e = *entries_[first + i];
      ahead_[i] = Ahead{&e, static_cast<uint8_t>(AnalyseEntry(e, &decodeMemory_[thread]) ? 1 : 0)};
    }
  });
  AdaptRoundSize(TickMillis() - started);
  return ahead_[aheadNext_++].ok != 0;
}

// Every round ends with the threads waiting for the slowest photo: with small photos that wait
// comes round after round, so short rounds grow; a round of large photos must still leave the
// slice close to its 400 ms, so long rounds shrink.
void ImageCollection::AdaptRoundSize(uint64_t roundMillis) {
  const size_t fewest = threads_, most = size_t{threads_} * 32;
  if (roundMillis < kSliceMillis / 8)
    roundEntries_ = std::min(most, roundEntries_ * 2);
  else if (roundMillis > kSliceMillis / 2)
    roundEntries_ = std::max(fewest, roundEntries_ / 2);
}

bool ImageCollection::AnalyseSome() {
  const uint64_t t0 = TickMillis();
  while (cursor_ < entries_.size()) {
    CollectionEntry& entry = *entries_[cursor_];
    const bool ok = AnalyseAtCursor();
    ++cursor_;
    entry.valid = ok ? 1 : 0;
    ++analysedCount_;
    analysisPercent =
        static_cast<double>(analysedCount_) * 100.0 / static_cast<double>(entries_.size());
    if (cursor_ >= entries_.size())
      RemoveInvalid();
    if (TickMillis() - t0 >= kSliceMillis)
      return true;
  }
  MarkFramesAndRequired();
  // The run leaves a usable collection; its line should say so rather than keep asking for one.
  SetLoadedDescription();
  analysing_ = false;
  ReleaseWorkers();
  return false;
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
