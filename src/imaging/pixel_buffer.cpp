#include "imaging/pixel_buffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <optional>
#include <utility>

namespace tessarix {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
// Below this a huge page would mostly be waste.
constexpr size_t kLargeBlock = size_t{4} << 20;

size_t RoundedToHugePages(size_t bytes) {
  return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

}  // namespace

void* AllocatePixelMemory(size_t bytes) {
  if (bytes < kLargeBlock)
    return std::malloc(bytes == 0 ? 1 : bytes);
  if (bytes > static_cast<size_t>(-1) - kHugePage)
    return nullptr;
  const size_t rounded = RoundedToHugePages(bytes);
  void* memory = std::aligned_alloc(kHugePage, rounded);
  // Only advice: where the kernel has no huge pages the block works as ordinary memory.
  if (memory != nullptr)
    madvise(memory, rounded, MADV_HUGEPAGE);
  return memory;
}

void FreePixelMemory(void* memory, size_t) {
  std::free(memory);
}

bool PixelMemoryShare::Take(uint64_t bytes) {
  reservation_.Release();
  std::optional<MemoryReservation> taken = ProcessMemoryBudget().Reserve(bytes);
  if (!taken)
    return false;
  reservation_ = std::move(*taken);
  return true;
}

}  // namespace tessarix
