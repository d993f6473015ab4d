#include "platform/work_pool.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread_count.h"

namespace tessarix {
namespace {

// Every index of every round is visited exactly once, whatever the grain, also when a round has
// fewer indexes than threads and over many rounds of the same pool.
TEST(WorkPoolTest, EveryIndexOnceInEveryRound) {
  for (const unsigned threads : {1u, 2u, 5u}) {
    WorkPool pool(threads);
    EXPECT_EQ(pool.Threads(), threads);
    for (const size_t count : {size_t{0}, size_t{1}, size_t{3}, size_t{64}, size_t{1001}}) {
      for (const size_t grain : {size_t{0}, size_t{1}, size_t{7}, size_t{64}, size_t{5000}}) {
        std::vector<std::atomic<int>> visits(count);
        pool.ParallelFor(count, grain, [&](size_t begin, size_t end) {
          ASSERT_LT(begin, end);
          ASSERT_LE(end, count);
          ASSERT_LE(end - begin, grain == 0 ? size_t{1} : grain);
          for (size_t i = begin; i < end; ++i) visits[i].fetch_add(1);
        });
        for (size_t i = 0; i < count; ++i)
          ASSERT_EQ(visits[i].load(), 1) << threads << " " << count << " " << grain << " " << i;
      }
    }
  }
}

// The round only returns when every range is finished: the sums written by the workers are all
// there when the caller reads them, round after round.
TEST(WorkPoolTest, ResultsAreCompleteWhenTheRoundReturns) {
  WorkPool pool(3);
  std::vector<uint64_t> out(300);
  for (uint64_t round = 1; round <= 200; ++round) {
    pool.ParallelFor(out.size(), 4, [&](size_t begin, size_t end) {
      for (size_t i = begin; i < end; ++i) out[i] = round * 1000 + i;
    });
    uint64_t sum = 0;
    for (const uint64_t v : out) sum += v;
    // 300 * round * 1000 + (0 + ... + 299) = 300000 * round + 44850
    ASSERT_EQ(sum, 300000 * round + 44850);
  }
}

// Each thread starts on its own share and moves on share by share, wrapping around at most once:
// the caller's ranges only ever increase, a worker's decrease at most once. A thread number
// belongs to one thread alone (the matching keeps per-thread state by it), the caller's is 0.
TEST(WorkPoolTest, ThreadsMeetTheirRangesInOrder) {
  WorkPool pool(3);
  std::vector<std::thread::id> owner(3);
  for (int round = 0; round < 50; ++round) {
    std::vector<std::vector<size_t>> seen(3);
    std::mutex lock;
    pool.ParallelFor(400, 7, [&](size_t begin, size_t, unsigned thread) {
      ASSERT_LT(thread, 3u);
      std::lock_guard<std::mutex> hold(lock);
      if (owner[thread] == std::thread::id())
        owner[thread] = std::this_thread::get_id();
      ASSERT_EQ(owner[thread], std::this_thread::get_id()) << thread;
      seen[thread].push_back(begin);
    });
    if (owner[0] != std::thread::id()) {
      EXPECT_EQ(owner[0], std::this_thread::get_id());
    }
    size_t ranges = 0;
    for (unsigned t = 0; t < 3; ++t) {
      int decreases = 0;
      for (size_t i = 1; i < seen[t].size(); ++i) decreases += seen[t][i] < seen[t][i - 1];
      EXPECT_LE(decreases, t == 0 ? 0 : 1) << "thread " << t << " round " << round;
      ranges += seen[t].size();
    }
    EXPECT_EQ(ranges, 58u);  // 400 / 7, rounded up
  }
}

// More than one thread really takes part when the work waits for it.
TEST(WorkPoolTest, WorkersRunBesideTheCaller) {
  WorkPool pool(2);
  std::atomic<int> inside{0};
  std::atomic<bool> met{false};
  pool.ParallelFor(2, 1, [&](size_t, size_t) {
    inside.fetch_add(1);
    for (int spin = 0; spin < 2000 && inside.load() < 2; ++spin)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (inside.load() == 2)
      met.store(true);
  });
  EXPECT_TRUE(met.load());
}

TEST(ThreadCountTest, ParsesOnlyPlainCountsInRange) {
  EXPECT_EQ(ParseThreadCount("1"), 1u);
  EXPECT_EQ(ParseThreadCount("16"), 16u);
  EXPECT_EQ(ParseThreadCount("256"), 256u);
  EXPECT_EQ(ParseThreadCount("0"), std::nullopt);
  EXPECT_EQ(ParseThreadCount("257"), std::nullopt);
  EXPECT_EQ(ParseThreadCount(""), std::nullopt);
  EXPECT_EQ(ParseThreadCount("-2"), std::nullopt);
  EXPECT_EQ(ParseThreadCount("2x"), std::nullopt);
  EXPECT_EQ(ParseThreadCount(" 2"), std::nullopt);
  EXPECT_EQ(ParseThreadCount("99999999999"), std::nullopt);
}

TEST(ThreadCountTest, EnvironmentOverridesTheHardware) {
  std::optional<std::string> saved;
  if (const char* old = std::getenv(kThreadCountVariable))
    saved = old;
  setenv(kThreadCountVariable, "3", 1);
  EXPECT_EQ(DefaultThreadCount(), 3u);
  // A value that is no count falls back to the hardware, never to 0.
  setenv(kThreadCountVariable, "zero", 1);
  const unsigned hardware = std::thread::hardware_concurrency();
  EXPECT_EQ(DefaultThreadCount(), hardware == 0 ? 1u : hardware);
  unsetenv(kThreadCountVariable);
  EXPECT_GE(DefaultThreadCount(), 1u);
  if (saved)
    setenv(kThreadCountVariable, saved->c_str(), 1);
}

}  // namespace
}  // namespace tessarix
