#include "color/distance_floor.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "color/shift_towards.h"

namespace tessarix {
namespace {

constexpr uint32_t kPixels = kThumbPixels;
constexpr uint32_t kMostDifference = kPixels * 3 * 255;

uint32_t ChannelOf(Pixel p, int channel) {
  return (p >> (8 * channel)) & 0xFF;
}

// The floor for every total difference, in increasing order: worked out once.
const std::vector<uint32_t>& FloorTable() {
  static const std::vector<uint32_t> table = [] {
    std::vector<uint32_t> t(kMostDifference + 1);
    for (uint32_t d = 0; d <= kMostDifference; ++d) t[d] = FloorOfDifference(d);
    return t;
  }();
  return table;
}

// The largest total difference whose floor stays within `bound`.
uint32_t MostWithin(uint32_t bound) {
  const std::vector<uint32_t>& table = FloorTable();
  return static_cast<uint32_t>(std::upper_bound(table.begin(), table.end(), bound) -
                               table.begin()) - 1;
}

int32_t AbsoluteDifference(int32_t a, int32_t b) {
  return a > b ? a - b : b - a;
}

// The cells' arrays from the first cell of a test on.
struct CellRun {
  const Pixel* __restrict average;
  const int32_t* __restrict sum[3];
  const uint32_t* __restrict most;
};

// Branch-free over the cells, so that the compiler runs several cells side by side. Built for the
// processor's widest vectors where it has them, chosen when the program starts.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
__attribute__((target_clones("avx2", "default")))
#endif
void TestRun(Pixel tileAverage, uint32_t modifyLimit, const int32_t* const* shifted,
             const CellRun& cells, size_t n, uint32_t* __restrict above) {
  const int32_t* __restrict red = shifted[0];
  const int32_t* __restrict green = shifted[1];
  const int32_t* __restrict blue = shifted[2];
  for (size_t j = 0; j < n; ++j) {
    const ColorShift s = ShiftTowards(cells.average[j], tileAverage, modifyLimit);
    const int32_t d = AbsoluteDifference(cells.sum[0][j], red[s.r]) +
                      AbsoluteDifference(cells.sum[1][j], green[s.g]) +
                      AbsoluteDifference(cells.sum[2][j], blue[s.b]);
    above[j] = static_cast<uint32_t>(d) > cells.most[j];
  }
}

}  // namespace

bool FloorApplies(const EngineParameters& params) {
  return params.algorithm == kFlipHorizontal || params.algorithm == kFlipHorizontalVertical;
}

uint32_t FloorOfDifference(uint32_t d) {
  // Every curve value C(e) is at least G(e) = e + max(0, e - 19)^1.5 + max(0, e - 99)^2 - 2 (its
  // two truncations lose less than 1 each). G is convex and increasing, so a grid of pixel
  // differences summing to at least d sums to at least 96 G(d / 96) in curve values. One more is
  // taken off for the rounding of the powers here.
  const double x = static_cast<double>(d) / kPixels;
  const double rising = std::max(0.0, x - 19);
  const double steep = std::max(0.0, x - 99);
  const double floor =
      kPixels * (x + rising * std::sqrt(rising) + steep * steep - 2) - 1;
  return floor <= 0 ? 0 : static_cast<uint32_t>(floor);
}

TileFloor::TileFloor(const ColorInfo& tile, uint32_t modifyLimit)
    : average_(tile.average), modifyLimit_(modifyLimit) {
  const int32_t m = static_cast<int32_t>(std::min<uint32_t>(modifyLimit, 255));
  reach_ = m + m / 2;
  for (int channel = 0; channel < 3; ++channel) {
    // atMost[v + 1]: the pixels whose channel is at most v.
    std::array<int32_t, 257> atMost{};
    int32_t sum = 0;
    for (const Pixel p : tile.grid) {
      ++atMost[ChannelOf(p, channel) + 1];
      sum += static_cast<int32_t>(ChannelOf(p, channel));
    }
    for (size_t v = 1; v < atMost.size(); ++v) atMost[v] += atMost[v - 1];
    const auto countAtMost = [&](int32_t v) { return v < 0 ? 0 : atMost[std::min(v, 255) + 1]; };
    std::vector<int32_t>& shifted = shifted_[channel];
    shifted.assign(static_cast<size_t>(2 * reach_ + 1), 0);
    shifted[static_cast<size_t>(reach_)] = sum;
    // One step up raises every pixel not yet at 255; one step down lowers every pixel above 0.
    for (int32_t s = 1; s <= reach_; ++s) {
      shifted[static_cast<size_t>(reach_ + s)] =
          shifted[static_cast<size_t>(reach_ + s - 1)] + countAtMost(255 - s);
      shifted[static_cast<size_t>(reach_ - s)] =
          shifted[static_cast<size_t>(reach_ - s + 1)] -
          (static_cast<int32_t>(kPixels) - countAtMost(s - 1));
    }
  }
}

void CellFloors::Add(const ColorInfo& cell) {
  average_.push_back(cell.average);
  uint32_t opaque = 1;
  for (int channel = 0; channel < 3; ++channel) {
    int32_t sum = 0;
    for (const Pixel p : cell.grid) sum += static_cast<int32_t>(ChannelOf(p, channel));
    sum_[channel].push_back(sum);
  }
  for (const Pixel p : cell.grid) opaque &= static_cast<uint32_t>(Transparency(p) == 0);
  opaque_.push_back(opaque);
  boundFor_.push_back(kNoDistance);
  most_.push_back(kMostDifference);
}

void CellFloors::Test(const TileFloor& tile, size_t begin, size_t n, const uint32_t* bounds,
                      uint32_t* above) {
  for (size_t j = 0; j < n; ++j) {
    const size_t i = begin + j;
    if (boundFor_[i] != bounds[j]) {
      boundFor_[i] = bounds[j];
      // A transparent pixel weighs its term down, below what the floor counts on.
      most_[i] = opaque_[i] != 0 ? MostWithin(bounds[j]) : kMostDifference;
    }
  }
  const int32_t* shifted[3];
  for (int channel = 0; channel < 3; ++channel)
    shifted[channel] = tile.shifted_[channel].data() + tile.reach_;
  const CellRun cells{average_.data() + begin,
                      {sum_[0].data() + begin, sum_[1].data() + begin, sum_[2].data() + begin},
                      most_.data() + begin};
  TestRun(tile.average_, tile.modifyLimit_, shifted, cells, n, above);
}

}  // namespace tessarix
