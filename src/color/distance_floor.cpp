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

// The quarter of grid index i: top left, top right, bottom left, bottom right.
size_t QuarterOf(size_t i) {
  const size_t row = i / kThumbWidth, column = i % kThumbWidth;
  return (row >= kThumbHeight / 2 ? 2 : 0) + (column >= kThumbWidth / 2 ? 1 : 0);
}

// The tile quarter each cell quarter meets, per orientation in the order DistanceFlip tries them:
// as stored, mirrored left-right, mirrored top-bottom, turned by 180 degrees.
constexpr size_t kMeets[4][kQuarters] = {{0, 1, 2, 3}, {1, 0, 3, 2}, {2, 3, 0, 1}, {3, 2, 1, 0}};

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
                               table.begin()) -
         1;
}

int32_t AbsoluteDifference(int32_t a, int32_t b) {
  return a > b ? a - b : b - a;
}

// The cells' arrays from the first cell of a test on.
struct CellRun {
  const Pixel* __restrict average;
  const int32_t* __restrict sum[kQuarters * 3];
  const uint32_t* __restrict most;
};

// Branch-free over the cells, so that the compiler runs several cells side by side.
template <int kOrientations>
[[gnu::always_inline]] inline void TestRun(Pixel tileAverage, uint32_t modifyLimit,
                                           const int32_t* const* shifted, const CellRun& cells,
                                           size_t n, uint32_t* __restrict above) {
  for (size_t j = 0; j < n; ++j) {
    const ColorShift s = ShiftTowards(cells.average[j], tileAverage, modifyLimit);
    const int32_t shift[3] = {s.r, s.g, s.b};
    int32_t tileSum[kQuarters * 3];
#pragma GCC unroll 12
    for (size_t k = 0; k < kQuarters * 3; ++k) tileSum[k] = shifted[k][shift[k % 3]];
    int32_t least = 0x7FFFFFFF;
#pragma GCC unroll 4
    for (int o = 0; o < kOrientations; ++o) {
      int32_t d = 0;
#pragma GCC unroll 12
      for (size_t k = 0; k < kQuarters * 3; ++k)
        d += AbsoluteDifference(cells.sum[k][j], tileSum[kMeets[o][k / 3] * 3 + k % 3]);
      least = std::min(least, d);
    }
    above[j] = static_cast<uint32_t>(least) > cells.most[j];
  }
}

// Built for the processor's widest vectors where it has them, chosen when the program starts. Not
// under ThreadSanitizer: the loader runs the choosing code before its runtime is ready.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define TESSARIX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TESSARIX_VECTOR_CLONES
#endif

TESSARIX_VECTOR_CLONES void TestTwo(Pixel tileAverage, uint32_t modifyLimit,
                                    const int32_t* const* shifted, const CellRun& cells, size_t n,
                                    uint32_t* above) {
  TestRun<2>(tileAverage, modifyLimit, shifted, cells, n, above);
}

TESSARIX_VECTOR_CLONES void TestFour(Pixel tileAverage, uint32_t modifyLimit,
                                     const int32_t* const* shifted, const CellRun& cells, size_t n,
                                     uint32_t* above) {
  TestRun<4>(tileAverage, modifyLimit, shifted, cells, n, above);
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
  const double floor = kPixels * (x + rising * std::sqrt(rising) + steep * steep - 2) - 1;
  return floor <= 0 ? 0 : static_cast<uint32_t>(floor);
}

TileFloor::TileFloor(const ColorInfo& tile, uint32_t modifyLimit, bool horizontalOnly)
    : average_(tile.average), modifyLimit_(modifyLimit), horizontalOnly_(horizontalOnly) {
  const int32_t m = static_cast<int32_t>(std::min<uint32_t>(modifyLimit, 255));
  reach_ = m + m / 2;
  const size_t width = static_cast<size_t>(2 * reach_ + 1);
  shifted_.assign(kQuarters * 3 * width, 0);
  for (size_t k = 0; k < kQuarters * 3; ++k) {
    // atMost[v + 1]: the quarter's pixels whose channel is at most v.
    std::array<int32_t, 257> atMost{};
    int32_t sum = 0, pixels = 0;
    for (size_t i = 0; i < kThumbPixels; ++i) {
      if (QuarterOf(i) != k / 3)
        continue;
      const uint32_t v = ChannelOf(tile.grid[i], static_cast<int>(k % 3));
      ++atMost[v + 1];
      sum += static_cast<int32_t>(v);
      ++pixels;
    }
    for (size_t v = 1; v < atMost.size(); ++v) atMost[v] += atMost[v - 1];
    const auto countAtMost = [&](int32_t v) { return v < 0 ? 0 : atMost[std::min(v, 255) + 1]; };
    int32_t* shifted = shifted_.data() + k * width + reach_;
    shifted[0] = sum;
    // One step up raises every pixel not yet at 255; one step down lowers every pixel above 0.
    for (int32_t s = 1; s <= reach_; ++s) {
      shifted[s] = shifted[s - 1] + countAtMost(255 - s);
      shifted[-s] = shifted[-s + 1] - (pixels - countAtMost(s - 1));
    }
  }
}

void CellFloors::Add(const ColorInfo& cell) {
  average_.push_back(cell.average);
  std::array<int32_t, kQuarters * 3> sums{};
  uint32_t opaque = 1;
  for (size_t i = 0; i < kThumbPixels; ++i) {
    for (int channel = 0; channel < 3; ++channel)
      sums[QuarterOf(i) * 3 + static_cast<size_t>(channel)] +=
          static_cast<int32_t>(ChannelOf(cell.grid[i], channel));
    opaque &= static_cast<uint32_t>(Transparency(cell.grid[i]) == 0);
  }
  for (size_t k = 0; k < sums.size(); ++k) sum_[k].push_back(sums[k]);
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
  const size_t width = static_cast<size_t>(2 * tile.reach_ + 1);
  const int32_t* shifted[kQuarters * 3];
  CellRun cells{average_.data() + begin, {}, most_.data() + begin};
  for (size_t k = 0; k < kQuarters * 3; ++k) {
    shifted[k] = tile.shifted_.data() + k * width + tile.reach_;
    cells.sum[k] = sum_[k].data() + begin;
  }
  if (tile.horizontalOnly_)
    TestTwo(tile.average_, tile.modifyLimit_, shifted, cells, n, above);
  else
    TestFour(tile.average_, tile.modifyLimit_, shifted, cells, n, above);
}

}  // namespace tessarix
