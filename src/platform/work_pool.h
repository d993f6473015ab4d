#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tessarix {

// A small fork-join pool: `threads - 1` workers that live as long as the pool, plus the calling
// thread, share the indexes of one ParallelFor at a time. Made for many short rounds (one per
// offered image in the matching), so the workers sleep on a condition variable between rounds
// instead of being started for each.
class WorkPool {
 public:
  explicit WorkPool(unsigned threads);
  ~WorkPool();
  WorkPool(const WorkPool&) = delete;
  WorkPool& operator=(const WorkPool&) = delete;

  unsigned Threads() const { return static_cast<unsigned>(workers_.size()) + 1; }

  // Calls body(begin, end) for consecutive ranges of at most `grain` indexes that together cover
  // [0, count) exactly once, on the workers and the calling thread; returns when all are done.
  // Not reentrant: call from one thread at a time, never from inside a body.
  void ParallelFor(size_t count, size_t grain, const std::function<void(size_t, size_t)>& body);

 private:
  void WorkerLoop();
  void RunRanges();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  // The round being worked on; guarded by mutex_.
  const std::function<void(size_t, size_t)>* body_ = nullptr;
  size_t count_ = 0;
  size_t grain_ = 1;
  size_t next_ = 0;
  size_t busy_ = 0;          // workers inside the current round
  unsigned long round_ = 0;  // increases for every round, so a worker joins each round once
  bool quit_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace tessarix
