#include "platform/thread_count.h"

#include <atomic>
#include <cstdlib>
#include <thread>

namespace tessarix {

std::optional<unsigned> ParseThreadCount(const std::string& text) {
  if (text.empty() || text.size() > 4)
    return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > kMaxThreadCount)
    return std::nullopt;
  return value;
}

namespace {

std::atomic<unsigned> chosen_count{0};

}  // namespace

void SetThreadCount(unsigned count) {
  if (count >= 1 && count <= kMaxThreadCount)
    chosen_count = count;
}

unsigned DefaultThreadCount() {
  if (const unsigned chosen = chosen_count; chosen != 0)
    return chosen;
  if (const char* text = std::getenv(kThreadCountVariable)) {
    if (const std::optional<unsigned> count = ParseThreadCount(text))
      return *count;
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  if (hardware == 0)
    return 1;
  return hardware < kMaxThreadCount ? hardware : kMaxThreadCount;
}

}  // namespace tessarix
