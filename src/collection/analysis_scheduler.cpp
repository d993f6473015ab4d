#include "collection/analysis_scheduler.h"

#include <algorithm>

#include "collection/image_collection.h"
#include "collection/tile_analysis.h"
#include "platform/clock.h"

namespace tessarix {

void AnalysisScheduler::Start() {
  DropAhead();
  roundEntries_ = size_t{threads_} * 4;
  if (threads_ > 1 && (!pool_ || pool_->Threads() != threads_))
    pool_ = std::make_unique<WorkPool>(threads_);
  else if (threads_ <= 1)
    pool_.reset();
  decodeMemory_.resize(pool_ ? pool_->Threads() : 1);
}

bool AnalysisScheduler::AnalyseAt(const Entries& entries, size_t cursor) {
  CollectionEntry& entry = *entries[cursor];
  if (!pool_) {
    decodeMemory_.resize(1);  // also when called without Start
    return static_cast<bool>(AnalyseEntry(entry, &decodeMemory_[0]));
  }
  if (aheadNext_ < ahead_.size() && ahead_[aheadNext_].entry == &entry)
    return ahead_[aheadNext_++].ok;
  // Each entry is touched by one thread only, and nothing else touches the entries until the
  // round is over.
  const size_t count = std::min(entries.size() - cursor, roundEntries_);
  ahead_.assign(count, Ahead{nullptr, false});
  aheadNext_ = 0;
  const uint64_t started = TickMillis();
  pool_->ParallelFor(count, 1, [&](size_t begin, size_t end, unsigned thread) {
    for (size_t i = begin; i < end; ++i) {
      CollectionEntry& e = *entries[cursor + i];
      ahead_[i] = Ahead{&e, static_cast<bool>(AnalyseEntry(e, &decodeMemory_[thread]))};
    }
  });
  AdaptRoundSize(TickMillis() - started);
  return ahead_[aheadNext_++].ok;
}

// Every round ends with the threads waiting for the slowest photo: with small photos that wait
// comes round after round, so short rounds grow; a round of large photos must still leave the
// slice close to its length, so long rounds shrink.
void AnalysisScheduler::AdaptRoundSize(uint64_t roundMillis) {
  const size_t fewest = threads_, most = size_t{threads_} * 32;
  if (roundMillis < kAnalysisSliceMillis / 8)
    roundEntries_ = std::min(most, roundEntries_ * 2);
  else if (roundMillis > kAnalysisSliceMillis / 2)
    roundEntries_ = std::max(fewest, roundEntries_ / 2);
}

void ImageCollection::StartAnalysis() {
  cursor_ = 0;
  analysedCount_ = 0;
  analysisPercent = 0.0;
  analysing_ = true;
  scheduler_.Start();
}

bool ImageCollection::AnalyseSome() {
  const uint64_t t0 = TickMillis();
  while (cursor_ < entries_.size()) {
    CollectionEntry& entry = *entries_[cursor_];
    const bool ok = scheduler_.AnalyseAt(entries_, cursor_);
    ++cursor_;
    entry.valid = ok ? 1 : 0;
    ++analysedCount_;
    analysisPercent =
        static_cast<double>(analysedCount_) * 100.0 / static_cast<double>(entries_.size());
    if (cursor_ >= entries_.size())
      RemoveInvalid();
    if (TickMillis() - t0 >= kAnalysisSliceMillis)
      return true;
  }
  MarkFramesAndRequired();
  // The run leaves a usable collection; its line should say so rather than keep asking for one.
  SetLoadedDescription();
  analysing_ = false;
  scheduler_.Release();
  return false;
}

}  // namespace tessarix
