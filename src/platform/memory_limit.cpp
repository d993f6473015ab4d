#include "platform/memory_limit.h"

#include <unistd.h>

#include <limits>

namespace tessarix {

uint64_t AllocationLimit() {
  static const uint64_t limit = [] {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page_size <= 0) return uint64_t{1} << 32;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size) / 4;
  }();
  return limit;
}

uint64_t SaturatingProduct(uint64_t a, uint64_t b) {
  if (a != 0 && b > std::numeric_limits<uint64_t>::max() / a) {
    return std::numeric_limits<uint64_t>::max();
  }
  return a * b;
}

bool CanAllocate(uint64_t bytes) { return bytes <= AllocationLimit(); }

}  // namespace tessarix
