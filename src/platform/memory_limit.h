#pragma once

#include <cstdint>

namespace tessarix {

// Whether one buffer of `bytes` can reasonably be had. Linux over-commits memory, so a huge
// allocation "succeeds" and the process is killed later when the pages are touched; anything
// beyond a quarter of the physical memory (or not representable) is therefore refused up front.
bool CanAllocate(uint64_t bytes);

// That bound: a quarter of the physical memory (4 GB where the size cannot be learnt).
uint64_t AllocationLimit();

// Multiplies without wrapping; UINT64_MAX when the product does not fit.
uint64_t SaturatingProduct(uint64_t a, uint64_t b);

}  // namespace tessarix
