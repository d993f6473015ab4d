#include "platform/work_pool.h"

namespace tessarix {

WorkPool::WorkPool(unsigned threads) {
  for (unsigned i = 1; i < threads; ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

WorkPool::~WorkPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

// Takes ranges until the round has none left. The index is handed out under the lock: a round is
// hundreds of ranges at most, and the lock keeps the bookkeeping plain.
void WorkPool::RunRanges() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (next_ < count_) {
    const size_t begin = next_;
    const size_t end = count_ - begin > grain_ ? begin + grain_ : count_;
    next_ = end;
    const std::function<void(size_t, size_t)>& body = *body_;
    lock.unlock();
    body(begin, end);
    lock.lock();
  }
}

void WorkPool::WorkerLoop() {
  unsigned long seen = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return quit_ || round_ != seen; });
    if (quit_)
      return;
    seen = round_;
    ++busy_;
    lock.unlock();
    RunRanges();
    lock.lock();
    if (--busy_ == 0)
      done_.notify_all();
  }
}

void WorkPool::ParallelFor(size_t count, size_t grain,
                           const std::function<void(size_t, size_t)>& body) {
  if (count == 0)
    return;
  if (grain == 0)
    grain = 1;
  if (workers_.empty() || count <= grain) {
    for (size_t begin = 0; begin < count; begin += grain)
      body(begin, count - begin > grain ? begin + grain : count);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    body_ = &body;
    count_ = count;
    grain_ = grain;
    next_ = 0;
    ++round_;
  }
  wake_.notify_all();
  RunRanges();
  // Every range has been handed out; wait for the workers still inside one. A worker that wakes
  // only now finds nothing left and leaves at once.
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return busy_ == 0; });
  body_ = nullptr;
  count_ = 0;
  next_ = 0;
}

}  // namespace tessarix
