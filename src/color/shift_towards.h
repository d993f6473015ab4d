#pragma once

#include <algorithm>
#include <cstdint>

#include "color/distance.h"
#include "imaging/pixel.h"

namespace tessarix {

inline int32_t SignedDifference(uint32_t a, uint32_t b) {
  return static_cast<int32_t>(a) - static_cast<int32_t>(b);
}

inline int32_t ClampSigned(int32_t v, int32_t m) {
  return v < -m ? -m : (v > m ? m : v);
}

// ComputeColorShift, for the distances' inner loops: called once per pair, a call costs more than
// the sum when that stops after a few samples, and its result came back through memory in pieces.
// Plain arithmetic without branches, so that loops over many cells can run it side by side.
[[gnu::always_inline]] inline ColorShift ShiftTowards(Pixel cellAverage, Pixel tileAverage,
                                                      uint32_t modifyLimit) {
  // Limits above 255 mean nothing for byte channels; capping them keeps every shifted channel
  // inside the clamp table.
  const int32_t m = static_cast<int32_t>(std::min<uint32_t>(modifyLimit, 255));
  const int32_t dr = SignedDifference(Red(cellAverage), Red(tileAverage));
  const int32_t dg = SignedDifference(Green(cellAverage), Green(tileAverage));
  const int32_t db = SignedDifference(Blue(cellAverage), Blue(tileAverage));
  const int32_t mean = (dr + dg + db) / 3;
  const int32_t common = ClampSigned(mean, m);
  ColorShift s;
  s.r = common + ClampSigned(2 * (dr - mean), m) / 2;
  s.g = common + ClampSigned(2 * (dg - mean), m) / 2;
  s.b = common + ClampSigned(2 * (db - mean), m) / 2;
  return s;
}

}  // namespace tessarix
