#include "platform/work_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/thread_count.h"
#include "random_fixture.h"

namespace tessarix {
namespace {

// Over many rounds of one pool, also with fewer indexes than threads: every index is visited
// exactly once and is done when the round returns, ranges are as long as the grain allows, a
// thread number belongs to one thread alone (callers keep per-thread memory by it) and the
// caller's is 0. Each thread works through its own share first and wraps around at most once, so
// the caller's ranges only ever increase and a worker's decrease at most once.
TEST(WorkPoolTest, EveryIndexOnceInEveryRound) {
  for (const unsigned threads : {1u, 2u, 5u}) {
    WorkPool pool(threads);
    std::vector<std::thread::id> owner(threads);
    owner[0] = std::this_thread::get_id();
    for (const size_t count : {size_t{0}, size_t{1}, size_t{3}, size_t{64}, size_t{1001}}) {
      for (const size_t grain : {size_t{0}, size_t{1}, size_t{7}, size_t{64}, size_t{5000}}) {
        const size_t limit = grain == 0 ? 1 : grain;
        std::vector<int> visits(count);
        std::vector<std::vector<size_t>> seen(threads);
        std::mutex lock;
        pool.ParallelFor(count, grain, [&](size_t begin, size_t end, unsigned thread) {
          ASSERT_TRUE(thread < threads && begin < end && end <= count &&
                      (end - begin == limit || end == count))
              << thread << ": " << begin << "-" << end;
          std::lock_guard<std::mutex> hold(lock);
          if (owner[thread] == std::thread::id())
            owner[thread] = std::this_thread::get_id();
          ASSERT_EQ(owner[thread], std::this_thread::get_id()) << thread;
          seen[thread].push_back(begin);
          for (size_t i = begin; i < end; ++i) ++visits[i];
        });
        ASSERT_EQ(visits, std::vector<int>(count, 1)) << threads << " " << count << " " << grain;
        for (unsigned t = 0; t < threads; ++t) {
          int decreases = 0;
          for (size_t i = 1; i < seen[t].size(); ++i) decreases += seen[t][i] < seen[t][i - 1];
          EXPECT_LE(decreases, t == 0 ? 0 : 1) << threads << " " << count << " " << grain;
        }
      }
    }
  }
}

// More than one thread really takes part: each range waits up to 10 s for the other to start.
TEST(WorkPoolTest, WorkersRunBesideTheCaller) {
  WorkPool pool(2);
  std::atomic<int> inside{0}, met{0};
  pool.ParallelFor(2, 1, [&](size_t, size_t) {
    inside.fetch_add(1);
    for (int spin = 0; spin < 10000 && inside.load() < 2; ++spin)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    met.fetch_add(inside.load() == 2);
  });
  EXPECT_EQ(met.load(), 2);
}

// Plain counts 1..256 only; the environment's count wins over the hardware, and one that is no
// count falls back to the hardware, never to 0.
TEST(ThreadCountTest, PlainCountsFromTheEnvironmentOverTheHardware) {
  EXPECT_EQ(std::tuple(ParseThreadCount("1"), ParseThreadCount("19"), ParseThreadCount("256")),
            std::tuple(1u, 19u, 256u));
  for (const char* bad : {"0", "257", "", "-2", "2x", " 2", "99999999999"})
    EXPECT_EQ(ParseThreadCount(bad), std::nullopt) << bad;
  test::ScopedEnv count(kThreadCountVariable, "3");
  EXPECT_EQ(DefaultThreadCount(), 3u);
  test::ScopedEnv notACount(kThreadCountVariable, "zero");
  const unsigned hardware = std::thread::hardware_concurrency();
  EXPECT_EQ(DefaultThreadCount(), hardware == 0 ? 1u : hardware);
}

}  // namespace
}  // namespace tessarix
