#include "color/distance.h"

#include <algorithm>
#include <cstdlib>

#include "color/engine_tables.h"
#include "color/shift_towards.h"

namespace tessarix {
namespace {

constexpr std::array<uint8_t, kThumbPixels> MakeIdentity() {
  std::array<uint8_t, kThumbPixels> map{};
  for (uint32_t i = 0; i < kThumbPixels; ++i) map[i] = static_cast<uint8_t>(i);
  return map;
}
constexpr std::array<uint8_t, kThumbPixels> kIdentity = MakeIdentity();

// The "Standard" sum of one orientation: cell index i against tile index map[i], the tile shifted
// by `s`, visited from 95 down to 0 and abandoned as soon as it exceeds `limit`.
uint32_t ShiftedSum(const ColorInfo& cell, const ColorInfo& tile, const uint8_t* map,
                    const ColorShift& s, uint32_t limit, const EngineTables& t) {
  uint32_t sum = 0;
  for (int i = static_cast<int>(kThumbPixels) - 1; i >= 0; --i) {
    const Pixel c = cell.grid[static_cast<size_t>(i)];
    const Pixel p = tile.grid[map[i]];
    const uint32_t e = static_cast<uint32_t>(
        std::abs(static_cast<int>(Red(c)) - t.Clamp(static_cast<int>(Red(p)) + s.r)) +
        std::abs(static_cast<int>(Green(c)) - t.Clamp(static_cast<int>(Green(p)) + s.g)) +
        std::abs(static_cast<int>(Blue(c)) - t.Clamp(static_cast<int>(Blue(p)) + s.b)));
    uint32_t v = t.curve[e];
    const uint32_t transparency = Transparency(c);
    if (transparency != 0) {
      v -= static_cast<uint32_t>((uint64_t{v} * transparency) / 255);
    }
    sum += v;
    if (sum > limit)
      return sum;
  }
  return sum;
}

uint32_t StandardDistance(const ColorInfo& cell, const ColorInfo& tile, uint32_t bound,
                          uint32_t modifyLimit) {
  const ColorShift s = ShiftTowards(cell.average, tile.average, modifyLimit);
  return ShiftedSum(cell, tile, kIdentity.data(), s, bound, Tables());
}

uint32_t MaxDistance(const ColorInfo& cell, const ColorInfo& tile, uint32_t bound) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < kThumbPixels; ++i) {
    const Pixel c = cell.grid[i];
    const Pixel p = tile.grid[i];
    const uint32_t largest = static_cast<uint32_t>(std::max(
        {std::abs(SignedDifference(Red(c), Red(p))), std::abs(SignedDifference(Green(c), Green(p))),
         std::abs(SignedDifference(Blue(c), Blue(p)))}));
    sum += (255 - Transparency(c)) * largest / 255;
    if (sum > bound)
      return sum;
  }
  return sum;
}

uint32_t SquaredDifference(Pixel a, Pixel b) {
  const int32_t dr = SignedDifference(Red(a), Red(b));
  const int32_t dg = SignedDifference(Green(a), Green(b));
  const int32_t db = SignedDifference(Blue(a), Blue(b));
  return static_cast<uint32_t>(dr * dr + dg * dg + db * db);
}

uint32_t ExponentialDistance(const ColorInfo& cell, const ColorInfo& tile, uint32_t bound) {
  // The averages alone reject most pairs before the grid is touched.
  const uint32_t q = kThumbPixels * SquaredDifference(cell.average, tile.average);
  if (q > bound)
    return q;
  uint32_t sum = 0;
  for (uint32_t i = 0; i < kThumbPixels; ++i) {
    const Pixel c = cell.grid[i];
    sum += (255 - Transparency(c)) * SquaredDifference(c, tile.grid[i]) / 255;
    if (sum > bound)
      return sum;
  }
  return sum;
}

}  // namespace

ColorShift ComputeColorShift(Pixel cellAverage, Pixel tileAverage, uint32_t modifyLimit) {
  return ShiftTowards(cellAverage, tileAverage, modifyLimit);
}

uint32_t DistanceFlip(const ColorInfo& cell, const ColorInfo& tile, uint32_t bound,
                      bool horizontalOnly, Orientation* orientation, uint32_t modifyLimit) {
  const EngineTables& t = Tables();
  const ColorShift s = ShiftTowards(cell.average, tile.average, modifyLimit);
  struct Candidate {
    const uint8_t* map;
    Orientation code;
  };
  const Candidate candidates[4] = {{kIdentity.data(), Orientation::AsStored},
                                   {t.flipHorizontal.data(), Orientation::MirroredLeftRight},
                                   {t.flipVertical.data(), Orientation::MirroredTopBottom},
                                   {t.flipBoth.data(), Orientation::Rotated180}};
  const int count = horizontalOnly ? 2 : 4;
  uint32_t limit = bound;
  Orientation code = Orientation::None;
  for (int k = 0; k < count; ++k) {
    const uint32_t sum = ShiftedSum(cell, tile, candidates[k].map, s, limit, t);
    // "At or below" on purpose: a later orientation with the same sum takes over.
    if (sum <= limit) {
      limit = sum;
      code = candidates[k].code;
    }
  }
  if (orientation != nullptr)
    *orientation = code;
  return code == Orientation::None ? kNoDistance : limit;
}

uint32_t Distance(const ColorInfo& cell, const ColorInfo& tile, bool tilePortrait, uint32_t bound,
                  const EngineParameters& params) {
  switch (params.algorithm) {
    case kExponential:
      return ExponentialDistance(cell, tile, bound);
    case kFlipHorizontal:
      // Portrait images are stored turned, so for them every orientation is a fair match.
      return DistanceFlip(cell, tile, bound, !tilePortrait, nullptr, params.modifyLimit);
    case kFlipHorizontalVertical:
      return DistanceFlip(cell, tile, bound, false, nullptr, params.modifyLimit);
    case kMax:
      return MaxDistance(cell, tile, bound);
    case kStandard:
    default:
      // Index 5 passes the parameter check without naming an algorithm; it is measured like the
      // default rather than giving every pair the same meaningless value.
      return StandardDistance(cell, tile, bound, params.modifyLimit);
  }
}

}  // namespace tessarix
