#pragma once

#include <chrono>
#include <cstdint>

namespace tessarix {

// Milliseconds on a monotonic clock: the program's tick counter for slices and batch timing.
inline uint64_t TickMillis() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace tessarix
