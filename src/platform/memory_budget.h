#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace tessarix {

// Whose memory a reservation is: one thread's work, together with the pool threads helping it.
class MemoryAccount;

// The account the calling thread's reservations count against: its own, or the one lent to it by
// a MemoryAccountLoan.
MemoryAccount* CurrentMemoryAccount();

// While it lives, the calling thread's reservations count against `account`. A pool thread doing
// a round of another thread's work borrows that thread's account: the work's holdings are one, so
// a helper never waits for memory its own caller holds while the caller waits for the helper.
class MemoryAccountLoan {
 public:
  explicit MemoryAccountLoan(MemoryAccount* account);
  ~MemoryAccountLoan();
  MemoryAccountLoan(const MemoryAccountLoan&) = delete;
  MemoryAccountLoan& operator=(const MemoryAccountLoan&) = delete;

 private:
  MemoryAccount* previous_;
};

class MemoryBudget;

// Bytes taken from a MemoryBudget, given back by Release or the destructor, on whatever thread.
// A default-made reservation holds nothing.
class MemoryReservation {
 public:
  MemoryReservation() = default;
  MemoryReservation(MemoryReservation&& other) noexcept;
  MemoryReservation& operator=(MemoryReservation&& other) noexcept;
  ~MemoryReservation() { Release(); }

  uint64_t Bytes() const { return bytes_; }
  void Release();

 private:
  friend class MemoryBudget;

  MemoryBudget* budget_ = nullptr;
  std::shared_ptr<const MemoryAccount> account_;  // keeps the account's identity while it holds
  uint64_t bytes_ = 0;
};

// One amount of memory for the large buffers of the whole process, shared by all its threads.
// Thread-safe.
class MemoryBudget {
 public:
  explicit MemoryBudget(uint64_t total) : total_(total) {}
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  // `bytes` counted against the calling thread's account. None at once when they exceed what the
  // total leaves beside the account's own holdings, or when they do not fit now while the account
  // holds anything. Otherwise waits until they fit; a wait ends in none as soon as the account
  // comes to hold something. So only work that holds nothing waits, and never for itself.
  std::optional<MemoryReservation> Reserve(uint64_t bytes);

  uint64_t Total() const { return total_; }
  // The most ever reserved at one time.
  uint64_t Peak() const;

 private:
  friend class MemoryReservation;
  void GiveBack(const MemoryAccount* account, uint64_t bytes);
  uint64_t HeldBy(const MemoryAccount* account) const;

  const uint64_t total_;
  mutable std::mutex lock_;
  std::condition_variable room_;
  uint64_t used_ = 0;
  uint64_t peak_ = 0;
  std::unordered_map<const MemoryAccount*, uint64_t> held_;  // accounts holding more than 0
};

// The process's budget: a quarter of the physical memory (AllocationLimit), or a test's.
MemoryBudget& ProcessMemoryBudget();

// For its lifetime ProcessMemoryBudget() is a fresh budget of `total` bytes; the one before comes
// back afterwards. Every reservation taken from it must be given back before it ends.
class ScopedMemoryBudgetForTest {
 public:
  explicit ScopedMemoryBudgetForTest(uint64_t total);
  ~ScopedMemoryBudgetForTest();
  ScopedMemoryBudgetForTest(const ScopedMemoryBudgetForTest&) = delete;
  ScopedMemoryBudgetForTest& operator=(const ScopedMemoryBudgetForTest&) = delete;

  const MemoryBudget& Budget() const { return budget_; }

 private:
  MemoryBudget budget_;
  MemoryBudget* previous_;
};

}  // namespace tessarix
