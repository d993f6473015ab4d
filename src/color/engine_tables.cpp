#include "color/engine_tables.h"

#include <cmath>

namespace tessarix {
namespace {

// The powers go through double precision and are truncated, so that the curve is the same on
// every machine that rounds pow correctly (81^1.5 must be exactly 729, not 728.99...).
uint32_t Curve(uint32_t s) {
  uint32_t value = s;
  if (s >= 20)
    value += static_cast<uint32_t>(std::pow(static_cast<double>(s - 19), 1.5));
  if (s >= 100)
    value += static_cast<uint32_t>(std::pow(static_cast<double>(s - 99), 2.0));
  return value;
}

EngineTables Build() {
  EngineTables t{};
  for (uint32_t s = 0; s < t.curve.size(); ++s) t.curve[s] = Curve(s);
  for (uint32_t row = 0; row < 8; ++row) {
    for (uint32_t col = 0; col < 12; ++col) {
      const uint32_t i = 12 * row + col;
      t.flipHorizontal[i] = static_cast<uint8_t>(12 * row + (11 - col));
      t.flipVertical[i] = static_cast<uint8_t>(12 * (7 - row) + col);
      t.flipBoth[i] = static_cast<uint8_t>(95 - i);
    }
  }
  for (int x = EngineTables::kClampLow; x <= EngineTables::kClampHigh; ++x) {
    t.clampByte[static_cast<size_t>(x - EngineTables::kClampLow)] =
        static_cast<uint8_t>(x < 0 ? 0 : (x > 255 ? 255 : x));
  }
  return t;
}

}  // namespace

const EngineTables& Tables() {
  // Built on first use (thread-safe static initialisation) and never written again.
  static const EngineTables tables = Build();
  return tables;
}

}  // namespace tessarix
