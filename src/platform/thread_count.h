#pragma once

#include <optional>
#include <string>

namespace tessarix {

// Environment variable that sets how many threads decode and match: a positive number.
inline constexpr const char* kThreadCountVariable = "TESSARIX_THREADS";

// Reads a thread count typed by a person: digits only, 1..kMaxThreadCount; none otherwise.
std::optional<unsigned> ParseThreadCount(const std::string& text);

inline constexpr unsigned kMaxThreadCount = 256;

// The number of threads a batch or an analysis uses: the count last set by SetThreadCount, else
// TESSARIX_THREADS when it holds a valid count, else the number of hardware threads (at least
// 1). 1 keeps every path sequential.
unsigned DefaultThreadCount();

// A count a person chose for this process (1..kMaxThreadCount; others are ignored), ahead of
// the environment. Call it before any work starts.
void SetThreadCount(unsigned count);

}  // namespace tessarix
