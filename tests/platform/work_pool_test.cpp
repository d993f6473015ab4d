#include "platform/work_pool.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread_count.h"

namespace tessarix {
namespace {

// Over many rounds of one pool, also with fewer indexes than threads: every index is visited
// exactly once and is done when the round returns and ranges are as long as the grain allows.
// Each thread works through its own share first and wraps around at most once, so the caller's
// ranges only ever increase and a worker's decrease at most once.
TEST(WorkPoolTest, EveryIndexOnceInEveryRound) {
  for (const unsigned threads : {1u, 2u, 5u}) {
    WorkPool pool(threads);
    for (const size_t count : {size_t{0}, size_t{1}, size_t{3}, size_t{64}, size_t{1001}}) {
      for (const size_t grain : {size_t{0}, size_t{1}, size_t{7}, size_t{64}, size_t{5000}}) {
        const size_t limit = grain == 0 ? 1 : grain;
        std::vector<int> visits(count);
        std::map<std::thread::id, std::vector<size_t>> seen;
        std::mutex lock;
        pool.ParallelFor(count, grain, [&](size_t begin, size_t end) {
          ASSERT_LT(begin, end);
          ASSERT_LE(end, count);
          ASSERT_TRUE(end - begin == limit || end == count);
          std::lock_guard<std::mutex> hold(lock);
          seen[std::this_thread::get_id()].push_back(begin);
          for (size_t i = begin; i < end; ++i) ++visits[i];
        });
        for (size_t i = 0; i < count; ++i)
          ASSERT_EQ(visits[i], 1) << threads << " " << count << " " << grain << " " << i;
        ASSERT_LE(seen.size(), threads);
        for (const auto& [id, begins] : seen) {
          int decreases = 0;
          for (size_t i = 1; i < begins.size(); ++i) decreases += begins[i] < begins[i - 1];
          const bool caller = id == std::this_thread::get_id();
          EXPECT_LE(decreases, caller ? 0 : 1) << threads << " " << count << " " << grain;
        }
      }
    }
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
  EXPECT_EQ(ParseThreadCount("256"), 256u);
  for (const char* bad : {"0", "257", "", "-2", "2x", " 2", "99999999999"})
    EXPECT_EQ(ParseThreadCount(bad), std::nullopt) << bad;
}

TEST(ThreadCountTest, EnvironmentOverridesTheHardware) {
  const char* old = std::getenv(kThreadCountVariable);
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  setenv(kThreadCountVariable, "3", 1);
  EXPECT_EQ(DefaultThreadCount(), 3u);
  // A value that is no count falls back to the hardware, never to 0.
  setenv(kThreadCountVariable, "zero", 1);
  const unsigned hardware = std::thread::hardware_concurrency();
  EXPECT_EQ(DefaultThreadCount(), hardware == 0 ? 1u : hardware);
  if (saved)
    setenv(kThreadCountVariable, saved->c_str(), 1);
  else
    unsetenv(kThreadCountVariable);
}

}  // namespace
}  // namespace tessarix
