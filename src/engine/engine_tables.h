#pragma once

#include <array>
#include <cstdint>

namespace tessarix {

// Immutable lookup tables of the distances, built once on first use.
struct EngineTables {
  std::array<uint32_t, 1200> curve;          // C(s), s = 0..1199
  std::array<uint8_t, 96> flipHorizontal;    // 12 * row + (11 - col)
  std::array<uint8_t, 96> flipVertical;      // 12 * (7 - row) + col
  std::array<uint8_t, 96> flipBoth;          // 95 - i
  // ClampTable(x) for x = -512..512 is clampByte[x + 512].
  std::array<uint8_t, 1025> clampByte;
};

const EngineTables& Tables();

}  // namespace tessarix
