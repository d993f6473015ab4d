#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tessarix {

class MemoryAccount;

// A small fork-join pool: `threads - 1` workers that live as long as the pool, plus the calling
// thread, share the indexes of one ParallelFor at a time. Made for many short rounds (one per
// offered image in the matching, a fraction of a millisecond each): between rounds a worker
// spins briefly before it sleeps on a condition variable, so back-to-back rounds do not pay for a
// wake-up each. Each thread first works through its own contiguous share of the ranges and only
// then helps with the others': a thread that writes the same part of the results round after
// round keeps those cache lines instead of passing them to another core each round.
// Memory reserved from the budget during a round counts against the caller's account.
class WorkPool {
 public:
  explicit WorkPool(unsigned threads);
  ~WorkPool();
  WorkPool(const WorkPool&) = delete;
  WorkPool& operator=(const WorkPool&) = delete;

  unsigned Threads() const { return static_cast<unsigned>(workers_.size()) + 1; }

  // Calls body(begin, end) for consecutive ranges of at most `grain` indexes that together cover
  // [0, count) exactly once, on the workers and the calling thread; returns when all are done.
  // The caller's share is the first.
  // Not reentrant: call from one thread at a time, never from inside a body.
  void ParallelFor(size_t count, size_t grain, const std::function<void(size_t, size_t)>& body);

  // The same, telling the body which thread runs it (0 the caller, up to Threads() - 1). One
  // thread meets its ranges in increasing order within each share it works on.
  using ThreadBody = std::function<void(size_t begin, size_t end, unsigned thread)>;
  void ParallelFor(size_t count, size_t grain, const ThreadBody& body);

 private:
  void WorkerLoop(unsigned self);
  void RunRanges(unsigned self);

  // The ranges [next, end) of one thread's share not yet handed out; on a cache line of its own,
  // since its owner takes from it all the time.
  struct alignas(64) Share {
    std::atomic<size_t> next{0};
    size_t end = 0;
  };

  // The round's description: written by the caller before it publishes the round, read by the
  // workers after they see it, and left alone until every worker has reported back.
  const ThreadBody* body_ = nullptr;
  MemoryAccount* account_ = nullptr;  // the caller's: the round's memory is the caller's work's
  size_t count_ = 0;
  size_t grain_ = 1;

  std::vector<Share> shares_;  // one per thread, the caller's first

  std::atomic<uint64_t> round_{0};     // published rounds
  std::atomic<unsigned> finished_{0};  // workers done with the current round
  std::atomic<bool> quit_{false};
  std::mutex sleepLock_;  // only for sleeping workers and their wake-up
  std::condition_variable wake_;
  std::vector<std::thread> workers_;
};

}  // namespace tessarix
