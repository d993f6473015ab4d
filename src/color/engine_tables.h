#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessarix {

// Immutable lookup tables of the distances, built once on first use.
struct EngineTables {
  // ClampTable(x) for x = kClampLow..kClampHigh is clampByte[x - kClampLow]. A tile channel
  // (0..255) plus the largest shift (m + m / 2 <= 382 for m <= 255) reaches 637, so the table
  // reaches above 512 and every shifted channel indexes it without a range check.
  static constexpr int kClampLow = -512;
  static constexpr int kClampHigh = 1023;

  std::array<uint32_t, 1200> curve;        // C(s), s = 0..1199
  std::array<uint8_t, 96> flipHorizontal;  // 12 * row + (11 - col)
  std::array<uint8_t, 96> flipVertical;    // 12 * (7 - row) + col
  std::array<uint8_t, 96> flipBoth;        // 95 - i
  std::array<uint8_t, kClampHigh - kClampLow + 1> clampByte;

  // x clamped to 0..255; x must lie in kClampLow..kClampHigh.
  uint8_t Clamp(int x) const { return clampByte[static_cast<size_t>(x - kClampLow)]; }
};

const EngineTables& Tables();

}  // namespace tessarix
