#include "platform/memory_budget.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/memory_limit.h"
#include "platform/work_pool.h"

namespace tessarix {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Runs `request` in a budget of 100 while the calling thread's work holds `own` bytes and another
// thread's work `others`, asked on the caller or on a pool thread helping it. Both holdings are
// given back after 0.2 s, so a wait shows as a late grant rather than as a test that never ends.
std::string Outcome(uint64_t own, uint64_t others, uint64_t request, bool onHelper) {
  ScopedMemoryBudgetForTest scope(100);
  std::optional<MemoryReservation> ownHolding = ProcessMemoryBudget().Reserve(own);
  std::optional<MemoryReservation> otherHolding;
  std::thread([&] { otherHolding = ProcessMemoryBudget().Reserve(others); }).join();
  std::thread releaser([&] {
    std::this_thread::sleep_for(milliseconds(200));
    ownHolding.reset();
    otherHolding.reset();
  });
  std::string outcome;
  const auto ask = [&] {
    const auto start = steady_clock::now();
    const bool granted = ProcessMemoryBudget().Reserve(request).has_value();
    const bool quick = steady_clock::now() - start < milliseconds(100);
    outcome = std::string(granted ? "granted" : "refused") + (quick ? " at once" : " late");
  };
  if (onHelper) {
    // The caller's share is the first index; it dawdles so that the worker takes the second.
    WorkPool pool(2);
    pool.ParallelFor(2, 1, [&](size_t begin, size_t) {
      if (begin == 1)
        ask();
      else
        std::this_thread::sleep_for(milliseconds(50));
    });
  } else {
    ask();
  }
  releaser.join();
  return outcome;
}

TEST(MemoryBudget, OnlyWorkHoldingNothingWaitsAndNeverForItself) {
  struct Row {
    uint64_t own, others, request;
    bool onHelper;
    const char* expected;
  } const rows[] = {
      {0, 0, 101, false, "refused at once"},  // more than the whole budget
      {60, 0, 41, false, "refused at once"},  // more than is left beside the work's own holdings
      {60, 0, 40, false, "granted at once"},
      {0, 60, 41, false, "granted late"},      // holds nothing: waits for the other work
      {10, 60, 31, false, "refused at once"},  // holds something: does not wait
      {60, 0, 41, true, "refused at once"},    // a pool thread's holdings are its caller's
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Outcome(row.own, row.others, row.request, row.onHelper), row.expected)
        << row.own << " + " << row.others << " held, " << row.request << " asked, on helper "
        << row.onHelper;
  }
}

// Picture sizes from hostile headers are multiplied before they are checked.
TEST(SaturatingProduct, LargestValueInsteadOfWrapping) {
  const uint64_t two32 = uint64_t{1} << 32;
  EXPECT_EQ(SaturatingProduct(two32, two32 - 1), (two32 - 1) << 32);
  EXPECT_EQ(SaturatingProduct(two32, two32), UINT64_MAX);
  EXPECT_EQ(SaturatingProduct(0, UINT64_MAX), 0u);
}

}  // namespace
}  // namespace tessarix
