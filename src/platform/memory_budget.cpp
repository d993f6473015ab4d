#include "platform/memory_budget.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "platform/memory_limit.h"

namespace tessarix {

class MemoryAccount : public std::enable_shared_from_this<MemoryAccount> {};

namespace {

thread_local std::shared_ptr<MemoryAccount> ownAccount;
thread_local MemoryAccount* lentAccount = nullptr;

std::atomic<MemoryBudget*> testBudget{nullptr};

}  // namespace

MemoryAccount* CurrentMemoryAccount() {
  if (lentAccount != nullptr)
    return lentAccount;
  if (!ownAccount)
    ownAccount = std::make_shared<MemoryAccount>();
  return ownAccount.get();
}

MemoryAccountLoan::MemoryAccountLoan(MemoryAccount* account) : previous_(lentAccount) {
  lentAccount = account;
}

MemoryAccountLoan::~MemoryAccountLoan() {
  lentAccount = previous_;
}

MemoryReservation::MemoryReservation(MemoryReservation&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)),
      account_(std::move(other.account_)),
      bytes_(std::exchange(other.bytes_, 0)) {}

MemoryReservation& MemoryReservation::operator=(MemoryReservation&& other) noexcept {
  if (this != &other) {
    Release();
    budget_ = std::exchange(other.budget_, nullptr);
    account_ = std::move(other.account_);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

void MemoryReservation::Release() {
  if (budget_ != nullptr)
    budget_->GiveBack(account_.get(), bytes_);
  budget_ = nullptr;
  account_.reset();
  bytes_ = 0;
}

uint64_t MemoryBudget::HeldBy(const MemoryAccount* account) const {
  const auto found = held_.find(account);
  return found == held_.end() ? 0 : found->second;
}

std::optional<MemoryReservation> MemoryBudget::Reserve(uint64_t bytes) {
  if (bytes == 0)
    return MemoryReservation();
  MemoryAccount* const account = CurrentMemoryAccount();
  {
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
      // What anyone holds is within the total, so neither difference wraps.
      const uint64_t own = HeldBy(account);
      if (bytes > total_ - own)
        return std::nullopt;
      if (bytes <= total_ - used_)
        break;
      if (own != 0)
        return std::nullopt;
      room_.wait(lock);
    }
    used_ += bytes;
    peak_ = std::max(peak_, used_);
    held_[account] += bytes;
  }
  // A helper of this account waiting for room must now give up.
  room_.notify_all();
  MemoryReservation reservation;
  reservation.budget_ = this;
  reservation.account_ = account->shared_from_this();
  reservation.bytes_ = bytes;
  return reservation;
}

void MemoryBudget::GiveBack(const MemoryAccount* account, uint64_t bytes) {
  {
    std::lock_guard<std::mutex> lock(lock_);
    used_ -= bytes;
    const auto found = held_.find(account);
    found->second -= bytes;
    if (found->second == 0)
      held_.erase(found);
  }
  room_.notify_all();
}

uint64_t MemoryBudget::Peak() const {
  std::lock_guard<std::mutex> lock(lock_);
  return peak_;
}

MemoryBudget& ProcessMemoryBudget() {
  static MemoryBudget machine(AllocationLimit());
  MemoryBudget* const test = testBudget.load(std::memory_order_acquire);
  return test != nullptr ? *test : machine;
}

ScopedMemoryBudgetForTest::ScopedMemoryBudgetForTest(uint64_t total)
    : budget_(total), previous_(testBudget.exchange(&budget_, std::memory_order_acq_rel)) {}

ScopedMemoryBudgetForTest::~ScopedMemoryBudgetForTest() {
  testBudget.store(previous_, std::memory_order_release);
}

}  // namespace tessarix
