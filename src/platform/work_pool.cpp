#include "platform/work_pool.h"

#include <algorithm>

#include "platform/memory_budget.h"

namespace tessarix {
namespace {

// Spinning this many times covers the gap between two rounds of the matching; longer gaps put
// the worker to sleep, so an idle pool costs nothing.
constexpr int kSpins = 20000;

void Relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

}  // namespace

WorkPool::WorkPool(unsigned threads) : shares_(std::max(1u, threads)) {
  for (unsigned i = 1; i < threads; ++i) workers_.emplace_back([this, i] { WorkerLoop(i); });
}

WorkPool::~WorkPool() {
  {
    std::lock_guard<std::mutex> lock(sleepLock_);
    quit_.store(true);
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void WorkPool::RunRanges(unsigned self) {
  const size_t shares = shares_.size();
  for (size_t k = 0; k < shares; ++k) {
    Share& share = shares_[(self + k) % shares];
    for (;;) {
      const size_t range = share.next.fetch_add(1, std::memory_order_relaxed);
      if (range >= share.end)
        break;
      const size_t begin = range * grain_;
      (*body_)(begin, count_ - begin > grain_ ? begin + grain_ : count_, self);
    }
  }
}

void WorkPool::WorkerLoop(unsigned self) {
  uint64_t seen = 0;
  for (;;) {
    bool published = false;
    for (int spin = 0; spin < kSpins && !published; ++spin) {
      published = round_.load(std::memory_order_acquire) != seen || quit_.load();
      if (!published)
        Relax();
    }
    if (!published) {
      std::unique_lock<std::mutex> lock(sleepLock_);
      wake_.wait(lock, [&] { return quit_.load() || round_.load() != seen; });
    }
    if (quit_.load())
      return;
    seen = round_.load(std::memory_order_acquire);
    const MemoryAccountLoan loan(account_);
    RunRanges(self);
    finished_.fetch_add(1, std::memory_order_acq_rel);
  }
}

void WorkPool::ParallelFor(size_t count, size_t grain,
                           const std::function<void(size_t, size_t)>& body) {
  ParallelFor(count, grain, [&body](size_t begin, size_t end, unsigned) { body(begin, end); });
}

void WorkPool::ParallelFor(size_t count, size_t grain, const ThreadBody& body) {
  if (count == 0)
    return;
  if (grain == 0)
    grain = 1;
  if (workers_.empty() || count <= grain) {
    for (size_t begin = 0; begin < count; begin += grain)
      body(begin, count - begin > grain ? begin + grain : count, 0);
    return;
  }
  body_ = &body;
  account_ = CurrentMemoryAccount();
  count_ = count;
  grain_ = grain;
  const size_t ranges = (count + grain - 1) / grain;
  const size_t shares = shares_.size();
  for (size_t s = 0; s < shares; ++s) {
    shares_[s].next.store(ranges * s / shares, std::memory_order_relaxed);
    shares_[s].end = ranges * (s + 1) / shares;
  }
  finished_.store(0, std::memory_order_relaxed);
  {
    // Under the lock, so that a worker about to sleep either sees the new round or is woken.
    std::lock_guard<std::mutex> lock(sleepLock_);
    round_.fetch_add(1, std::memory_order_acq_rel);
  }
  wake_.notify_all();
  RunRanges(0);
  // Every worker reports back, even one that found nothing left, before the round's description
  // may change again.
  const unsigned workers = static_cast<unsigned>(workers_.size());
  for (int spin = 0; finished_.load(std::memory_order_acquire) != workers; ++spin) {
    if (spin < kSpins)
      Relax();
    else
      std::this_thread::yield();
  }
  body_ = nullptr;
}

}  // namespace tessarix
