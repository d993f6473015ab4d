#include "imaging/image_ops.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/color_accumulator.h"

namespace tessarix {
namespace {

// The source range one destination row or column averages: samples start..end, the first
// weighted `first`, the last `last`, every other 256. Indices are 64-bit because a rectangle of
// ResampleTransparent may reach past the 32-bit range.
struct Span {
  int64_t start = 0;
  int64_t end = 0;
  uint32_t first = 0;
  uint32_t last = 0;

  bool Empty() const { return start > end; }
  uint32_t WeightAt(int64_t i) const { return i == start ? first : (i == end ? last : 256); }
};

// Table entry for destination index j of d over a source length r starting at offset. Done in
// double precision, multiplied before divided, so that every caller gets the same boundaries.
Span MakeSpan(uint32_t j, uint32_t r, uint32_t d, uint32_t offset) {
  const double a = (static_cast<double>(j) * r) / d + offset;
  const double b = ((static_cast<double>(j) + 1) * r) / d + offset;
  Span span;
  span.start = static_cast<int64_t>(a);
  span.first = static_cast<uint32_t>((a - static_cast<double>(span.start)) * 256);
  if (span.first == 0)
    span.first = 256;
  span.end = static_cast<int64_t>(b);
  span.last = static_cast<uint32_t>((b - static_cast<double>(span.end)) * 256);
  if (span.last == 0)
    --span.end;
  return span;
}

std::vector<Span> MakeTable(uint32_t d, uint32_t r, uint32_t offset) {
  std::vector<Span> table(d);
  for (uint32_t j = 0; j < d; ++j) table[j] = MakeSpan(j, r, d, offset);
  return table;
}

// The most samples any span of `table` has between its two ends.
uint32_t WidestInner(const std::vector<Span>& table) {
  int64_t widest = 0;
  for (const Span& span : table) widest = std::max(widest, span.end - span.start - 1);
  return static_cast<uint32_t>(widest);
}

// A sample's weight from its row and column weights. Truncation can give 0, and an exactly
// aligned end gives 0 too: both count as a full sample, as does 256 itself.
inline uint32_t SampleWeight(uint32_t rowWeight, uint32_t colWeight) {
  const uint32_t w = (rowWeight * colWeight) / 256;
  return (w & 0xFF) == 0 ? 256 : w;
}

// Sum of the sample weights of columns from..to (inside col's span) in a row of `rowWeight`,
// without visiting them: outside samples carry no colour, so only their weight matters.
uint64_t SpanWeight(uint32_t rowWeight, const Span& col, int64_t from, int64_t to) {
  if (from > to)
    return 0;
  uint64_t total = 0;
  if (from <= col.start && col.start <= to)
    total += SampleWeight(rowWeight, col.first);
  if (col.end != col.start && from <= col.end && col.end <= to) {
    total += SampleWeight(rowWeight, col.last);
  }
  const int64_t innerFrom = std::max(from, col.start + 1);
  const int64_t innerTo = std::min(to, col.end - 1);
  if (innerFrom <= innerTo) {
    total += static_cast<uint64_t>(innerTo - innerFrom + 1) * SampleWeight(rowWeight, 256);
  }
  return total;
}

struct ChannelSums {
  uint64_t r = 0, g = 0, b = 0;
};

inline void AddRun(ChannelSums& sums, const Pixel* from, const Pixel* to) {
  uint64_t r = 0, g = 0, b = 0;
  for (const Pixel* p = from; p < to; ++p) {
    r += Red(*p);
    g += Green(*p);
    b += Blue(*p);
  }
  sums.r += r;
  sums.g += g;
  sums.b += b;
}

struct OpaqueSum {
  uint64_t r = 0, g = 0, b = 0, total = 0;

  void Add(Pixel p, uint32_t weight) {
    r += uint64_t{Red(p)} * weight;
    g += uint64_t{Green(p)} * weight;
    b += uint64_t{Blue(p)} * weight;
    total += weight;
  }

  // The weighted mean colour; total must not be 0. Sums that fit 32 bits, as a tile's nearly
  // always do, are divided in double precision, faster than integer division and the same
  // quotients: each is below 256, where a correctly rounded quotient is off by less than 2^-45,
  // while a fraction below the next integer is at least 1 / total away from it (at least 2^-32);
  // an exact quotient comes out exact.
  Pixel Average() const {
    if (((r | g | b | total) >> 32) == 0) {
      const double t = static_cast<double>(total);
      return MakePixel(static_cast<uint32_t>(static_cast<double>(r) / t),
                       static_cast<uint32_t>(static_cast<double>(g) / t),
                       static_cast<uint32_t>(static_cast<double>(b) / t));
    }
    return MakePixel(static_cast<uint32_t>(r / total), static_cast<uint32_t>(g / total),
                     static_cast<uint32_t>(b / total));
  }
};

// The source rows of one destination row, added up column by column, so that each destination
// pixel is weighed once from the sums instead of sample by sample: the same integer sums for a
// fraction of the work. A full-weight row gives every sample a weight, SampleWeight(256, w), that
// depends on its column alone, so such rows are summed as they are. Any other row (only the first
// and the last row of a destination row can be one) gives all its inner samples one weight,
// SampleWeight(row, 256), so it is summed weighted by that; the two end samples of each span weigh
// SampleWeight(row, column), which no sum gives, and are taken from the row itself.
class RowSums {
 public:
  // `widestInner`: the most inner columns (all but the two ends) any span of the columns has.
  RowSums(uint32_t width, uint32_t widestInner)
      : width_(width),
        widestInner_(widestInner),
        full_(size_t{width} * 4),
        weighted_(size_t{width} * 4),
        running_((size_t{width} + 1) * 4) {}

  // Adds `count` full-weight rows of the rectangle's width.
  void AddFull(const Pixel* const* rows, size_t count);
  // Adds a row of the rectangle's width of any other weight (0..255); at most two per destination
  // row, its first and its last. It is weighed by Settle.
  void AddPartial(const Pixel* row, uint32_t weight);
  // Once all rows of the destination row are in, before WeighInto: weighs the partial rows and,
  // where the sums allow, adds up the inner samples of all rows column after column.
  void Settle();

  // Adds the weighted samples of the span's columns start..end, counted from the rectangle's
  // left edge, to `sum`: `first` and `last` are the column weights of the ends, 256 between them.
  void WeighInto(OpaqueSum& sum, int64_t start, int64_t end, uint32_t first, uint32_t last) const;

  bool Empty() const { return fullRows_ == 0 && partial_.empty(); }
  // Starts the next destination row; the sums are overwritten, not cleared, by the next rows.
  void Clear() {
    fullRows_ = 0;
    partial_.clear();
    partialWeight_ = 0;
    runningValid_ = false;
  }

 private:
  struct PartialRow {
    const Pixel* row;
    uint32_t weight;
    uint32_t inner;  // the weight of its samples inside a span
  };

  // Sets (`fresh`) or adds wa * a + wb * b, column by column, into the weighted sums.
  void WeighPair(const Pixel* a, uint32_t wa, const Pixel* b, uint32_t wb, bool fresh);
  // Fills running_ with the inner samples of all rows, weighed and added up from the left.
  void AddUpInner();
  // The sums of the ends of a span: its first and last column from the full rows, and the two
  // samples of every partial row, each weighed by its row and column.
  void WeighEnds(OpaqueSum& sum, int64_t start, int64_t end, uint32_t first, uint32_t last) const;

  static uint64_t Channel(const std::vector<uint32_t>& sums, int64_t x, int c) {
    return sums[static_cast<size_t>(x) * 4 + static_cast<size_t>(c)];
  }

  uint32_t width_;
  uint32_t widestInner_;
  std::vector<uint32_t> full_;      // per column: red, green, blue, transparency (unused)
  std::vector<uint32_t> weighted_;  // the same for the partial rows, each times its inner weight
  // Per column boundary x, the inner weight of every row times its samples in columns 0..x-1,
  // kept modulo 2^32: exact for any span while no span's inner sum reaches 2^32.
  std::vector<uint32_t> running_;
  bool runningValid_ = false;
  std::vector<PartialRow> partial_;
  uint32_t fullRows_ = 0;
  uint32_t partialWeight_ = 0;  // the partial rows' inner weights added up
};

#if defined(__SSE2__)
// The 16 bytes of four pixels as two vectors of eight 16-bit lanes. A pixel's bytes lie in
// memory as red, green, blue, transparency on this little-endian machine: the order of the sums.
inline void Widen(const Pixel* at, __m128i& low, __m128i& high) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  low = _mm_unpacklo_epi8(v, zero);
  high = _mm_unpackhi_epi8(v, zero);
}

// Adds (or, when `fresh`, stores) four pixels' worth of 16-bit lanes into 32-bit sums.
inline void AddWidened(uint32_t* sums, __m128i low, __m128i high, bool fresh) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i parts[4] = {_mm_unpacklo_epi16(low, zero), _mm_unpackhi_epi16(low, zero),
                            _mm_unpacklo_epi16(high, zero), _mm_unpackhi_epi16(high, zero)};
  __m128i* const out = reinterpret_cast<__m128i*>(sums);
  if (fresh) {
    for (int k = 0; k < 4; ++k) _mm_storeu_si128(out + k, parts[k]);
  } else {
    for (int k = 0; k < 4; ++k)
      _mm_storeu_si128(out + k, _mm_add_epi32(_mm_loadu_si128(out + k), parts[k]));
  }
}
#endif

#if defined(__SSE2__)
// AddFull for the `kVectors` x 4 columns from x on. Up to 257 rows are added in 16-bit lanes (257 *
// 255 still fits) and widened once: one load per source pixel group instead of a load and a store
// of every sum for every row, and several groups side by side so that the few rows of a
// destination row pay for the widening.
template <int kVectors>
inline void AddFullColumns(uint32_t* sums, const Pixel* const* rows, size_t count, uint32_t x,
                           bool fresh) {
  for (size_t first = 0; first < count; first += 257) {
    const size_t stop = std::min(count, first + 257);
    __m128i low[kVectors], high[kVectors];
    for (int v = 0; v < kVectors; ++v) low[v] = high[v] = _mm_setzero_si128();
    for (size_t r = first; r < stop; ++r) {
      const Pixel* const at = rows[r] + x;
      for (int v = 0; v < kVectors; ++v) {
        __m128i l, h;
        Widen(at + 4 * v, l, h);
        low[v] = _mm_add_epi16(low[v], l);
        high[v] = _mm_add_epi16(high[v], h);
      }
    }
    for (int v = 0; v < kVectors; ++v)
      AddWidened(sums + (size_t{x} + 4 * v) * 4, low[v], high[v], fresh && first == 0);
  }
}
#endif

void RowSums::AddFull(const Pixel* const* rows, size_t count) {
  if (count == 0)
    return;
  const bool fresh = fullRows_ == 0;
  uint32_t x = 0;
#if defined(__SSE2__)
  for (; x + 16 <= width_; x += 16) AddFullColumns<4>(full_.data(), rows, count, x, fresh);
  for (; x + 4 <= width_; x += 4) AddFullColumns<1>(full_.data(), rows, count, x, fresh);
#endif
  for (; x < width_; ++x) {
    uint32_t* const column = full_.data() + size_t{x} * 4;
    if (fresh)
      std::fill(column, column + 4, 0);
    for (size_t r = 0; r < count; ++r) {
      column[0] += Red(rows[r][x]);
      column[1] += Green(rows[r][x]);
      column[2] += Blue(rows[r][x]);
    }
  }
  fullRows_ += static_cast<uint32_t>(count);
}

void RowSums::AddPartial(const Pixel* row, uint32_t weight) {
  // Inside a span a sample of this row weighs SampleWeight(weight, 256): the weight itself, or
  // 256 for the weight 0 of a row that ends exactly on the destination row's edge.
  const uint32_t inner = SampleWeight(weight, 256);
  partial_.push_back({row, weight, inner});
  partialWeight_ += inner;
}

void RowSums::Settle() {
  for (size_t k = 0; k < partial_.size(); k += 2) {
    // The partial rows go through in pairs; a lone one is paired with itself at weight 0.
    const PartialRow& a = partial_[k];
    const bool pair = k + 1 < partial_.size();
    WeighPair(a.row, a.inner, pair ? partial_[k + 1].row : a.row, pair ? partial_[k + 1].inner : 0,
              k == 0);
  }
  // A sample weighs at most 255 times the weight of its row inside a span.
  const uint64_t rowWeight = uint64_t{fullRows_} * 256 + partialWeight_;
  runningValid_ = uint64_t{widestInner_} * 255 * rowWeight < (uint64_t{1} << 32);
  if (runningValid_)
    AddUpInner();
}

void RowSums::AddUpInner() {
  const bool full = fullRows_ != 0, partial = !partial_.empty();
  uint32_t x = 0;
#if defined(__SSE2__)
  const __m128i fullMask = _mm_set1_epi32(full ? -1 : 0);
  const __m128i partialMask = _mm_set1_epi32(partial ? -1 : 0);
  const auto* f = reinterpret_cast<const __m128i*>(full_.data());
  const auto* w = reinterpret_cast<const __m128i*>(weighted_.data());
  auto* out = reinterpret_cast<__m128i*>(running_.data());
  __m128i total = _mm_setzero_si128();
  _mm_storeu_si128(out, total);
  for (; x < width_; ++x) {
    const __m128i column =
        _mm_add_epi32(_mm_and_si128(_mm_slli_epi32(_mm_loadu_si128(f + x), 8), fullMask),
                      _mm_and_si128(_mm_loadu_si128(w + x), partialMask));
    total = _mm_add_epi32(total, column);
    _mm_storeu_si128(out + x + 1, total);
  }
#else
  std::fill(running_.begin(), running_.begin() + 4, 0);
  for (; x < width_; ++x) {
    for (size_t c = 0; c < 4; ++c) {
      const size_t at = size_t{x} * 4 + c;
      running_[at + 4] = running_[at] + (full ? full_[at] << 8 : 0) + (partial ? weighted_[at] : 0);
    }
  }
#endif
}

void RowSums::WeighPair(const Pixel* a, uint32_t wa, const Pixel* b, uint32_t wb, bool fresh) {
  uint32_t x = 0;
#if defined(__SSE2__)
  // Each 32-bit sum is wa * a + wb * b from one multiply-add of interleaved 16-bit lanes: a
  // byte times at most 256 fits a signed 16-bit lane, and two such products a 32-bit one.
  const __m128i w = _mm_set1_epi32(static_cast<int32_t>(wa | wb << 16));
  __m128i* const out = reinterpret_cast<__m128i*>(weighted_.data());
  for (; x + 4 <= width_; x += 4) {
    __m128i aLow, aHigh, bLow, bHigh;
    Widen(a + x, aLow, aHigh);
    Widen(b + x, bLow, bHigh);
    const __m128i sums[4] = {_mm_madd_epi16(_mm_unpacklo_epi16(aLow, bLow), w),
                             _mm_madd_epi16(_mm_unpackhi_epi16(aLow, bLow), w),
                             _mm_madd_epi16(_mm_unpacklo_epi16(aHigh, bHigh), w),
                             _mm_madd_epi16(_mm_unpackhi_epi16(aHigh, bHigh), w)};
    if (fresh) {
      for (int k = 0; k < 4; ++k) _mm_storeu_si128(out + x + k, sums[k]);
    } else {
      for (int k = 0; k < 4; ++k)
        _mm_storeu_si128(out + x + k, _mm_add_epi32(_mm_loadu_si128(out + x + k), sums[k]));
    }
  }
#endif
  for (; x < width_; ++x) {
    uint32_t* const column = weighted_.data() + size_t{x} * 4;
    if (fresh)
      std::fill(column, column + 4, 0);
    column[0] += Red(a[x]) * wa + Red(b[x]) * wb;
    column[1] += Green(a[x]) * wa + Green(b[x]) * wb;
    column[2] += Blue(a[x]) * wa + Blue(b[x]) * wb;
  }
}

// Adds the red, green and blue sums of the columns from..to - 1 of `sums` (four per column) to
// r, g and b. `columnLimit` bounds one column's sum: while all of them together stay below 2^32,
// the four channels are added in the 32-bit lanes of one register.
void AddColumns(const std::vector<uint32_t>& sums, int64_t from, int64_t to, uint64_t columnLimit,
                uint64_t& r, uint64_t& g, uint64_t& b) {
  const uint32_t* at = sums.data() + static_cast<size_t>(from) * 4;
  const uint32_t* const end = sums.data() + static_cast<size_t>(to) * 4;
#if defined(__SSE2__)
  if (static_cast<uint64_t>(to - from) * columnLimit < (uint64_t{1} << 32)) {
    __m128i lanes = _mm_setzero_si128();
    for (; at < end; at += 4)
      lanes = _mm_add_epi32(lanes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
    alignas(16) uint32_t total[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(total), lanes);
    r += total[0];
    g += total[1];
    b += total[2];
    return;
  }
#else
  (void)columnLimit;
#endif
  for (; at < end; at += 4) {
    r += at[0];
    g += at[1];
    b += at[2];
  }
}

void RowSums::WeighEnds(OpaqueSum& sum, int64_t start, int64_t end, uint32_t first,
                        uint32_t last) const {
  if (fullRows_ != 0) {
    const auto weighColumn = [&](int64_t x, uint32_t weight) {
      const uint64_t w = SampleWeight(256, weight);
      sum.r += Channel(full_, x, 0) * w;
      sum.g += Channel(full_, x, 1) * w;
      sum.b += Channel(full_, x, 2) * w;
      sum.total += uint64_t{fullRows_} * w;
    };
    weighColumn(start, first);
    if (end != start)
      weighColumn(end, last);
  }
  for (const PartialRow& partial : partial_) {
    sum.Add(partial.row[start], SampleWeight(partial.weight, first));
    if (end != start)
      sum.Add(partial.row[end], SampleWeight(partial.weight, last));
  }
}

void RowSums::WeighInto(OpaqueSum& sum, int64_t start, int64_t end, uint32_t first,
                        uint32_t last) const {
  WeighEnds(sum, start, end, first, last);
  if (end - start < 2)
    return;
  const uint64_t innerColumns = static_cast<uint64_t>(end - start - 1);
  if (runningValid_) {
    const uint32_t* const to = running_.data() + static_cast<size_t>(end) * 4;
    const uint32_t* const from = running_.data() + static_cast<size_t>(start + 1) * 4;
    sum.r += static_cast<uint32_t>(to[0] - from[0]);
    sum.g += static_cast<uint32_t>(to[1] - from[1]);
    sum.b += static_cast<uint32_t>(to[2] - from[2]);
    sum.total += innerColumns * (uint64_t{fullRows_} * 256 + partialWeight_);
    return;
  }
  if (fullRows_ != 0) {
    uint64_t r = 0, g = 0, b = 0;
    AddColumns(full_, start + 1, end, uint64_t{255} * fullRows_, r, g, b);
    const uint64_t inner = SampleWeight(256, 256);
    sum.r += r * inner;
    sum.g += g * inner;
    sum.b += b * inner;
    sum.total += innerColumns * fullRows_ * inner;
  }
  if (!partial_.empty()) {
    uint64_t r = 0, g = 0, b = 0;
    AddColumns(weighted_, start + 1, end, uint64_t{255} * partialWeight_, r, g, b);
    sum.r += r;
    sum.g += g;
    sum.b += b;
    sum.total += innerColumns * partialWeight_;
  }
}

// Full rows are added in batches of this many, so that a very tall rectangle needs no long list.
constexpr size_t kFullRowBatch = 1028;

// More samples than this in one rectangle could overflow the 64-bit weight sums; no picture that
// fits in memory comes near it.
constexpr uint64_t kMaxRectangleSamples = uint64_t{1} << 46;

// Adds one source row of weight `rowWeight` to the destination row's sums, sample by sample.
void WeighRow(std::vector<OpaqueSum>& sums, const std::vector<Span>& cols, const Pixel* in,
              uint32_t rowWeight) {
  const uint32_t innerWeight = SampleWeight(rowWeight, 256);
  for (size_t i = 0; i < cols.size(); ++i) {
    const Span& c = cols[i];
    if (c.Empty())
      continue;
    OpaqueSum& sum = sums[i];
    sum.Add(in[c.start], SampleWeight(rowWeight, c.first));
    if (c.end == c.start)
      continue;
    sum.Add(in[c.end], SampleWeight(rowWeight, c.last));
    if (c.end - c.start < 2)
      continue;
    ChannelSums inner;
    AddRun(inner, in + c.start + 1, in + c.end);
    sum.r += inner.r * innerWeight;
    sum.g += inner.g * innerWeight;
    sum.b += inner.b * innerWeight;
    sum.total += static_cast<uint64_t>(c.end - c.start - 1) * innerWeight;
  }
}

// The same-size case of Resample: every destination pixel has exactly one full sample.
std::optional<Image> Crop(const Image& source, uint32_t w, uint32_t h, uint32_t x, uint32_t y) {
  Image result;
  if (!result.Create(w, h, 0))
    return std::nullopt;
  for (uint32_t row = 0; row < h; ++row) {
    const Pixel* in = source.Row(y + row) + x;
    Pixel* out = result.Row(row);
    for (uint32_t i = 0; i < w; ++i) out[i] = in[i] & 0x00FFFFFFu;
  }
  return result;
}

// The same-size case of ResampleTransparent: one full sample per pixel, which the accumulator
// returns unchanged unless it is fully transparent or outside the source.
std::optional<Image> CropTransparent(const Image& source, uint32_t w, uint32_t h, uint32_t x,
                                     uint32_t y) {
  Image result;
  if (!result.CreateTransparent(w, h))
    return std::nullopt;
  if (x >= source.Width() || y >= source.Height())
    return result;
  const uint32_t rows = std::min<uint64_t>(h, source.Height() - y);
  const uint32_t cols = std::min<uint64_t>(w, source.Width() - x);
  for (uint32_t row = 0; row < rows; ++row) {
    const Pixel* in = source.Row(y + row) + x;
    Pixel* out = result.Row(row);
    for (uint32_t i = 0; i < cols; ++i) {
      out[i] = Transparency(in[i]) == 255 ? kTransparentBlack : in[i];
    }
  }
  return result;
}

// Weighs the rows gathered in `rowSums` into `sums` (one per destination column), clears them for
// the next destination row and writes the weighted means to `out`; a pixel without weight keeps
// its value.
void WriteRow(RowSums& rowSums, const std::vector<Span>& cols, uint32_t rx,
              std::vector<OpaqueSum>& sums, Pixel* out) {
  if (!rowSums.Empty()) {
    rowSums.Settle();
    for (size_t i = 0; i < cols.size(); ++i) {
      const Span& c = cols[i];
      if (!c.Empty())
        rowSums.WeighInto(sums[i], c.start - rx, c.end - rx, c.first, c.last);
    }
    rowSums.Clear();
  }
  for (size_t i = 0; i < cols.size(); ++i) {
    if (sums[i].total != 0)
      out[i] = sums[i].Average();
  }
}

// Full rows a RowResampler gathers before adding them up: enough to add them in 16-bit lanes
// many at a time, few enough that they stay in the processor's cache.
constexpr uint32_t kStreamedBatch = 16;

}  // namespace

struct RowResampler::State {
  uint32_t dh, rh, rx, ry;
  std::vector<Span> rows, cols;
  std::vector<OpaqueSum> sums;
  RowSums rowSums;
  Image result;
  // Rows 0..kStreamedBatch-1 for full rows until they are added up, two for the partial rows a
  // destination row weighs at its end, one for the rows outside the rectangle.
  Image slots;
  std::vector<const Pixel*> batch;
  int64_t partialHeld[2] = {-1, -1};  // the source row in each partial slot
  Pixel* filling = nullptr;           // the slot of the row being decoded
  uint32_t next = 0;                  // the destination row being gathered

  State(uint32_t dw, uint32_t dh_, uint32_t rw, uint32_t rh_, uint32_t rx_, uint32_t ry_)
      : dh(dh_),
        rh(rh_),
        rx(rx_),
        ry(ry_),
        rows(MakeTable(dh_, rh_, ry_)),
        cols(MakeTable(dw, rw, rx_)),
        sums(dw),
        rowSums(rw, WidestInner(cols)) {}

  // Gathers source row y, at `in` from the rectangle's left edge, into destination row j.
  void Add(uint32_t j, uint32_t y, const Pixel* in) {
    const uint32_t weight = rows[j].WeightAt(y);
    if (weight != 256) {
      rowSums.AddPartial(in, weight);
      return;
    }
    batch.push_back(in);
    if (batch.size() == kStreamedBatch)
      AddBatch();
  }
  void AddBatch() {
    rowSums.AddFull(batch.data(), batch.size());
    batch.clear();
  }
  void SkipEmptyRows() {
    while (next < dh && rows[next].Empty()) ++next;
  }
};

RowResampler::RowResampler(std::unique_ptr<State> state) : state_(std::move(state)) {}
RowResampler::RowResampler(RowResampler&&) noexcept = default;
RowResampler& RowResampler::operator=(RowResampler&&) noexcept = default;
RowResampler::~RowResampler() = default;

bool RowResampler::Takes(uint32_t dw, uint32_t dh, uint32_t rw, uint32_t rh) {
  return dw != 0 && dh != 0 && rw != 0 && dh <= rh && (dw != rw || dh != rh) &&
         rh / dh < (1u << 23);
}

std::optional<RowResampler> RowResampler::Make(uint32_t sourceWidth, uint32_t dw, uint32_t dh,
                                               uint32_t rw, uint32_t rh, uint32_t rx, uint32_t ry) {
  if (!Takes(dw, dh, rw, rh) || uint64_t{rx} + rw > sourceWidth ||
      uint64_t{ry} + rh > std::numeric_limits<uint32_t>::max())
    return std::nullopt;
  auto state = std::make_unique<State>(dw, dh, rw, rh, rx, ry);
  if (!state->result.Create(dw, dh, 0) || !state->slots.Create(sourceWidth, kStreamedBatch + 3, 0))
    return std::nullopt;
  state->SkipEmptyRows();
  return RowResampler(std::move(state));
}

Pixel* RowResampler::Row(uint32_t y) {
  State& s = *state_;
  s.filling = s.slots.Row(kStreamedBatch + 2);
  if (y < s.ry || y - s.ry >= s.rh || s.next >= s.dh)
    return s.filling;
  // A full row is added up with the next few and its slot used again; a row of partial weight
  // stays until its destination row is written, or the next one when it is also that one's first
  // row. Rows that grow no taller never share a full row.
  const Span& span = s.rows[s.next];
  if (span.WeightAt(y) != 256) {
    const int k = s.partialHeld[0] < span.start ? 0 : 1;
    s.partialHeld[k] = y;
    s.filling = s.slots.Row(kStreamedBatch + static_cast<uint32_t>(k));
  } else {
    s.filling = s.slots.Row(static_cast<uint32_t>(s.batch.size()));
  }
  return s.filling;
}

void RowResampler::Filled(uint32_t y) {
  State& s = *state_;
  if (y < s.ry || y - s.ry >= s.rh || s.next >= s.dh)
    return;
  const Pixel* in = s.filling + s.rx;
  s.Add(s.next, y, in);
  while (s.next < s.dh && s.rows[s.next].end <= y) {
    s.AddBatch();
    std::fill(s.sums.begin(), s.sums.end(), OpaqueSum());
    WriteRow(s.rowSums, s.cols, s.rx, s.sums, s.result.Row(s.next));
    ++s.next;
    s.SkipEmptyRows();
    if (s.next < s.dh && s.rows[s.next].start <= y)
      s.Add(s.next, y, in);
  }
}

std::optional<Image> RowResampler::Take() {
  if (state_->next < state_->dh)
    return std::nullopt;
  return std::move(state_->result);
}

std::optional<Image> Resample(const Image& source, uint32_t dw, uint32_t dh, uint32_t rw,
                              uint32_t rh, uint32_t rx, uint32_t ry) {
  if (source.Empty() || rw == 0 || rh == 0)
    return std::nullopt;
  if (uint64_t{rx} + rw > source.Width() || uint64_t{ry} + rh > source.Height()) {
    return std::nullopt;
  }
  if (dw == rw && dh == rh)
    return Crop(source, dw, dh, rx, ry);
  Image result;
  if (!result.Create(dw, dh, 0))
    return std::nullopt;

  const std::vector<Span> rows = MakeTable(dh, rh, ry);
  const std::vector<Span> cols = MakeTable(dw, rw, rx);
  std::vector<OpaqueSum> sums(dw);
  RowSums rowSums(rw, WidestInner(cols));
  std::vector<const Pixel*> fullRows;
  // A destination row spans at most rh / dh + 2 source rows; their column sums must fit 32 bits.
  // Beyond that (a picture millions of rows tall) every row is weighed sample by sample.
  const bool sumsFit = rh / dh < (1u << 23);
  for (uint32_t j = 0; j < dh; ++j) {
    const Span& rowSpan = rows[j];
    Pixel* out = result.Row(j);
    if (rowSpan.Empty())
      continue;  // pixels stay 0
    std::fill(sums.begin(), sums.end(), OpaqueSum());
    for (int64_t y = rowSpan.start; y <= rowSpan.end; ++y) {
      const uint32_t rowWeight = rowSpan.WeightAt(y);
      const Pixel* in = source.Row(static_cast<uint32_t>(y));
      if (!sumsFit) {
        WeighRow(sums, cols, in, rowWeight);
      } else if (rowWeight != 256) {
        rowSums.AddPartial(in + rx, rowWeight);
      } else {
        fullRows.push_back(in + rx);
        if (fullRows.size() == kFullRowBatch) {
          rowSums.AddFull(fullRows.data(), fullRows.size());
          fullRows.clear();
        }
      }
    }
    rowSums.AddFull(fullRows.data(), fullRows.size());
    fullRows.clear();
    WriteRow(rowSums, cols, rx, sums, out);
  }
  return result;
}

std::optional<Image> ResampleTransparent(const Image& source, uint32_t dw, uint32_t dh, uint32_t rw,
                                         uint32_t rh, uint32_t rx, uint32_t ry) {
  if (source.Empty() || rw == 0 || rh == 0)
    return std::nullopt;
  if (uint64_t{rw} * rh > kMaxRectangleSamples)
    return std::nullopt;
  if (dw == rw && dh == rh)
    return CropTransparent(source, dw, dh, rx, ry);
  Image result;
  if (!result.Create(dw, dh, 0))
    return std::nullopt;

  const int64_t width = source.Width();
  const int64_t height = source.Height();
  const std::vector<Span> rows = MakeTable(dh, rh, ry);
  const std::vector<Span> cols = MakeTable(dw, rw, rx);
  std::vector<ColorAccumulator> sums(dw);
  for (uint32_t j = 0; j < dh; ++j) {
    const Span& rowSpan = rows[j];
    Pixel* out = result.Row(j);
    for (ColorAccumulator& sum : sums) sum.Clear();
    if (!rowSpan.Empty()) {
      // Rows inside the source are walked sample by sample.
      const int64_t lastInside = std::min(rowSpan.end, height - 1);
      for (int64_t y = rowSpan.start; y <= lastInside; ++y) {
        const uint32_t rowWeight = rowSpan.WeightAt(y);
        const uint32_t innerWeight = SampleWeight(rowWeight, 256);
        const Pixel* in = source.Row(static_cast<uint32_t>(y));
        for (uint32_t i = 0; i < dw; ++i) {
          const Span& c = cols[i];
          if (c.Empty())
            continue;
          ColorAccumulator& sum = sums[i];
          sum.AddOutside(SpanWeight(rowWeight, c, std::max(c.start, width), c.end));
          if (c.start >= width)
            continue;
          sum.Add(in[c.start], SampleWeight(rowWeight, c.first));
          if (c.end != c.start && c.end < width) {
            sum.Add(in[c.end], SampleWeight(rowWeight, c.last));
          }
          const int64_t innerEnd = std::min(c.end, width);  // one past the last inner sample
          ChannelSums opaque;
          uint64_t opaqueCount = 0;
          for (int64_t x = c.start + 1; x < innerEnd; ++x) {
            const Pixel p = in[x];
            if (Transparency(p) == 0) {
              opaque.r += Red(p);
              opaque.g += Green(p);
              opaque.b += Blue(p);
              ++opaqueCount;
            } else {
              sum.Add(p, innerWeight);
            }
          }
          sum.AddOpaqueRun(opaque.r, opaque.g, opaque.b, opaqueCount, innerWeight);
        }
      }
      // Rows below the source only add transparency; count them instead of visiting them.
      const int64_t firstOutside = std::max(rowSpan.start, height);
      if (firstOutside <= rowSpan.end) {
        int64_t innerRows = rowSpan.end - firstOutside + 1;
        const bool hasFirst = firstOutside == rowSpan.start;
        const bool hasLast = rowSpan.end != rowSpan.start;
        innerRows -= (hasFirst ? 1 : 0) + (hasLast ? 1 : 0);
        for (uint32_t i = 0; i < dw; ++i) {
          const Span& c = cols[i];
          if (c.Empty())
            continue;
          uint64_t weight = static_cast<uint64_t>(std::max<int64_t>(innerRows, 0)) *
                            SpanWeight(256, c, c.start, c.end);
          if (hasFirst)
            weight += SpanWeight(rowSpan.first, c, c.start, c.end);
          if (hasLast)
            weight += SpanWeight(rowSpan.last, c, c.start, c.end);
          sums[i].AddOutside(weight);
        }
      }
    }
    for (uint32_t i = 0; i < dw; ++i) {
      out[i] = sums[i].ColorWeight() == 0 ? kTransparentBlack : sums[i].Average();
    }
  }
  return result;
}

std::optional<Image> FitWithin(const Image& source, uint32_t bw, uint32_t bh) {
  const uint32_t w = source.Width();
  const uint32_t h = source.Height();
  if (bw == 0 || bh == 0 || w == 0 || h == 0)
    return Resample(source, bw, bh, w, h, 0, 0);
  // 64-bit products: a large picture times a large box does not fit in 32 bits.
  uint64_t nw = bw;
  uint64_t nh = (uint64_t{h} * bw) / w;
  if (nh == 0)
    nh = 1;
  if (nh > bh) {
    nw = (uint64_t{w} * bh) / h;
    if (nw == 0)
      nw = 1;
    nh = bh;
  }
  return Resample(source, static_cast<uint32_t>(nw), static_cast<uint32_t>(nh), w, h, 0, 0);
}

std::optional<Image> Rotate(const Image& source, int angle) {
  if (source.Empty() || (angle != 90 && angle != -90))
    return std::nullopt;
  const uint32_t w = source.Width();
  const uint32_t h = source.Height();
  Image result;
  if (!result.Create(h, w, 0))
    return std::nullopt;
  // In square blocks: a source row is a column of the result, and walking the whole of one
  // while writing the other would miss the cache at every pixel.
  constexpr uint32_t kBlock = 32;
  for (uint32_t top = 0; top < h; top += kBlock) {
    for (uint32_t left = 0; left < w; left += kBlock) {
      for (uint32_t y = top; y < std::min(h, top + kBlock); ++y) {
        const Pixel* in = source.Row(y);
        for (uint32_t x = left; x < std::min(w, left + kBlock); ++x)
          result.At(y, angle == 90 ? x : w - 1 - x) = in[x];
      }
    }
  }
  return result;
}

bool Paste(Image& target, uint32_t x, int32_t y, const Image& source, PasteMode mode) {
  if (target.Empty() || source.Empty())
    return false;
  const int64_t height = target.Height();
  const int64_t top = y;
  if (x >= target.Width() || top >= height || source.Height() + top <= 0)
    return false;
  const uint32_t columns = std::min(source.Width(), target.Width() - x);
  const int64_t firstRow = top < 0 ? -top : 0;
  const int64_t endRow = std::min<int64_t>(source.Height(), height - top);
  for (int64_t row = firstRow; row < endRow; ++row) {
    const Pixel* in = source.Row(static_cast<uint32_t>(row));
    Pixel* out = target.Row(static_cast<uint32_t>(row + top)) + x;
    if (mode == PasteMode::Copy) {
      std::copy(in, in + columns, out);
      continue;
    }
    for (uint32_t i = 0; i < columns; ++i) {
      const Pixel s = in[i];
      const Pixel d = out[i];
      if (Transparency(s) == 255)
        continue;
      if (Transparency(d) == 255) {
        out[i] = s;
        continue;
      }
      out[i] = MakePixel((Red(s) + Red(d)) / 2, (Green(s) + Green(d)) / 2, (Blue(s) + Blue(d)) / 2,
                         Transparency(s));
    }
  }
  return true;
}

namespace {

uint32_t IntegerSqrt(uint32_t value) {
  auto root = static_cast<uint32_t>(std::sqrt(static_cast<double>(value)));
  while (uint64_t{root} * root > value) --root;
  while (uint64_t{root + 1} * (root + 1) <= value) ++root;
  return root;
}

inline uint32_t Square(int32_t delta) {
  return static_cast<uint32_t>(delta * delta);
}

}  // namespace

uint32_t MeanDifference(const Image& a, const Image& b) {
  constexpr uint32_t kNone = UINT32_MAX;
  if (a.Empty() || b.Empty() || a.Width() != b.Width() || a.Height() != b.Height())
    return kNone;
  const uint64_t tenths = a.PixelCount() / 10;
  if (tenths == 0)
    return kNone;
  uint64_t total = 0;
  const Pixel* pa = a.Pixels();
  const Pixel* pb = b.Pixels();
  for (size_t i = 0; i < a.PixelCount(); ++i) {
    const Pixel p = pa[i];
    const Pixel q = pb[i];
    const uint32_t squares =
        Square(static_cast<int32_t>(Red(p)) - static_cast<int32_t>(Red(q))) +
        Square(static_cast<int32_t>(Green(p)) - static_cast<int32_t>(Green(q))) +
        Square(static_cast<int32_t>(Blue(p)) - static_cast<int32_t>(Blue(q))) +
        Square(static_cast<int32_t>(Transparency(p)) - static_cast<int32_t>(Transparency(q)));
    total += IntegerSqrt(squares);
  }
  uint64_t result = total / tenths;
  if (total % tenths != 0)
    ++result;
  return static_cast<uint32_t>(std::min<uint64_t>(result, kNone - 1));
}

namespace {

// The fade of one pixel: `cut` (from the strip that is cut away) weighted 255 - q and `kept`
// weighted q + 1, q = 256 * position / length. A weight of 0 adds nothing.
inline Pixel Fade(Pixel cut, Pixel kept, uint32_t position, uint32_t length) {
  const uint32_t q = static_cast<uint32_t>((uint64_t{256} * position) / length);
  if (Transparency(cut) == 0 && Transparency(kept) == 0) {
    // Two opaque pixels: the weights add up to exactly 256, so the average is a shift.
    const uint32_t wc = 255 - q;
    const uint32_t wk = q + 1;
    return MakePixel((Red(cut) * wc + Red(kept) * wk) >> 8,
                     (Green(cut) * wc + Green(kept) * wk) >> 8,
                     (Blue(cut) * wc + Blue(kept) * wk) >> 8);
  }
  ColorAccumulator sum;
  if (q < 255)
    sum.Add(cut, 255 - q);
  sum.Add(kept, q + 1);
  return sum.Average();
}

}  // namespace

std::optional<Image> MakeSeamless(const Image& source, uint32_t cutX, uint32_t cutY) {
  const uint32_t width = source.Width();
  const uint32_t height = source.Height();
  if (source.Empty() || cutX >= width || cutY >= height)
    return std::nullopt;
  const uint32_t keptWidth = width - cutX;
  const uint32_t keptHeight = height - cutY;
  // The strip is faded into as many rows or columns as it has: they must exist.
  if (cutX > keptWidth || cutY > keptHeight)
    return std::nullopt;

  std::optional<Image> faded;
  if (cutY > 0) {
    faded = Resample(source, width, keptHeight, width, keptHeight, 0, 0);
    if (!faded)
      return std::nullopt;
    for (uint32_t y = 0; y < cutY; ++y) {
      const Pixel* cut = source.Row(keptHeight + y);
      const Pixel* kept = source.Row(y);
      Pixel* out = faded->Row(y);
      for (uint32_t x = 0; x < width; ++x) out[x] = Fade(cut[x], kept[x], y, cutY);
    }
    if (cutX == 0)
      return faded;
  }
  const Image& a = faded ? *faded : source;
  std::optional<Image> result =
      ResampleTransparent(a, keptWidth, keptHeight, keptWidth, keptHeight, 0, 0);
  if (!result)
    return std::nullopt;
  for (uint32_t y = 0; y < keptHeight; ++y) {
    const Pixel* in = a.Row(y);
    Pixel* out = result->Row(y);
    for (uint32_t x = 0; x < cutX; ++x) out[x] = Fade(in[keptWidth + x], in[x], x, cutX);
  }
  return result;
}

}  // namespace tessarix
