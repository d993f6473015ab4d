#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "collection/collection_entry.h"
#include "imaging/image.h"
#include "platform/work_pool.h"

namespace tessarix {

// A time-sliced analysis gives the window back after about this long.
constexpr uint64_t kAnalysisSliceMillis = 400;

// Decides which thread analyses which entry of a collection analysis. With one thread the entry
// at the cursor is analysed on the calling thread; with more, the entries from the cursor on are
// analysed ahead in rounds on a pool, and their results are handed out one by one in list order.
class AnalysisScheduler {
 public:
  using Entries = std::vector<std::unique_ptr<CollectionEntry>>;

  // 0 counts as 1.
  void SetThreadCount(unsigned threads) { threads_ = threads == 0 ? 1 : threads; }
  // Sets up the threads and their decode memory for an analysis from the first entry.
  void Start();
  // Whether entries[cursor] could be analysed (see AnalyseEntry): taken from the round analysed
  // ahead, or analysed now together with a new round from the cursor on. Touches no entry before
  // the cursor.
  bool AnalyseAt(const Entries& entries, size_t cursor);
  // Forgets the entries analysed ahead: the list changed under them.
  void DropAhead() {
    ahead_.clear();
    aheadNext_ = 0;
  }
  // Ends the threads and frees the memory an analysis keeps between photos.
  void Release() {
    pool_.reset();
    decodeMemory_.clear();
  }

 private:
  void AdaptRoundSize(uint64_t roundMillis);

  struct Ahead {
    const CollectionEntry* entry;
    bool ok;  // what AnalyseEntry returned
  };
  unsigned threads_ = 1;
  std::unique_ptr<WorkPool> pool_;   // while an analysis with more than one thread runs
  std::vector<Image> decodeMemory_;  // per thread, while an analysis runs
  std::vector<Ahead> ahead_;         // entries from the cursor on that are analysed but not counted
  size_t roundEntries_ = 1;          // entries the next round analyses ahead
  size_t aheadNext_ = 0;
};

}  // namespace tessarix
