#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "imaging/pixel.h"
#include "platform/memory_budget.h"

namespace tessarix {

// Raw memory for pixel arrays. Pictures run to tens of megabytes and are written in full right
// after they are made, so the cost of a large one is mostly page faults: large blocks are
// aligned for, and offered to, the kernel's huge pages. Null when the memory cannot be had.
void* AllocatePixelMemory(size_t bytes);
void FreePixelMemory(void* memory, size_t bytes);

// Allocator of the pixel array. `resize` leaves new pixels uninitialised (every caller writes
// them all at once: a fill, a decode, an operation's result); `assign` and the fill constructor
// set them as usual.
template <typename T>
struct PixelAllocator {
  using value_type = T;

  PixelAllocator() = default;
  template <typename U>
  PixelAllocator(const PixelAllocator<U>&) noexcept {}

  T* allocate(size_t count) {
    if (count > static_cast<size_t>(-1) / sizeof(T))
      throw std::bad_array_new_length();
    void* memory = AllocatePixelMemory(count * sizeof(T));
    if (memory == nullptr)
      throw std::bad_alloc();
    return static_cast<T*>(memory);
  }
  void deallocate(T* memory, size_t count) noexcept { FreePixelMemory(memory, count * sizeof(T)); }

  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }

  friend bool operator==(const PixelAllocator&, const PixelAllocator&) { return true; }
};

using PixelVector = std::vector<Pixel, PixelAllocator<Pixel>>;

// The share of the process's memory budget that pays for a pixel array's memory. It goes with the
// memory, not with the pixel values: a copy of the array is new memory and pays nothing, values
// assigned into an array keep its memory and its share, a moved array takes its share along.
// Shares always compare equal, so comparing pictures compares their pixels.
class PixelMemoryShare {
 public:
  PixelMemoryShare() = default;
  PixelMemoryShare(const PixelMemoryShare&) noexcept {}
  PixelMemoryShare& operator=(const PixelMemoryShare&) noexcept { return *this; }
  PixelMemoryShare(PixelMemoryShare&&) noexcept = default;
  PixelMemoryShare& operator=(PixelMemoryShare&&) noexcept = default;

  uint64_t Bytes() const { return reservation_.Bytes(); }
  // Gives back the current share and reserves `bytes` (MemoryBudget::Reserve, which may wait);
  // false, holding nothing, when refused.
  bool Take(uint64_t bytes);
  void Release() { reservation_.Release(); }

  friend bool operator==(const PixelMemoryShare&, const PixelMemoryShare&) { return true; }

 private:
  MemoryReservation reservation_;
};

}  // namespace tessarix
