#include "imaging/shifted_copy.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessarix {
namespace {

// A channel shift as two saturating byte steps: up by max(s, 0), then down by max(-s, 0), each
// at most 255. Clamping v + s to 0..255 gives the same for every byte v, since a step of 255
// already reaches the end of the range from any byte.
struct ByteShift {
  Pixel up = 0;
  Pixel down = 0;
};

ByteShift MakeByteShift(int32_t r, int32_t g, int32_t b) {
  const auto up = [](int32_t s) { return static_cast<uint32_t>(std::clamp(s, 0, 255)); };
  const auto down = [](int32_t s) { return static_cast<uint32_t>(std::clamp(-s, 0, 255)); };
  return {MakePixel(up(r), up(g), up(b)), MakePixel(down(r), down(g), down(b))};
}

uint32_t StepByte(uint32_t v, uint32_t up, uint32_t down) {
  v = std::min<uint32_t>(v + up, 255);
  return v > down ? v - down : 0;
}

Pixel ShiftPixel(Pixel p, const ByteShift& s) {
  return MakePixel(StepByte(Red(p), Red(s.up), Red(s.down)),
                   StepByte(Green(p), Green(s.up), Green(s.down)),
                   StepByte(Blue(p), Blue(s.up), Blue(s.down)), Transparency(p));
}

// out[x] = shifted in[x], or in[count - 1 - x] when reversed. `in` may be `out` when not
// reversed.
void ShiftRow(const Pixel* in, Pixel* out, size_t count, const ByteShift& s, bool reversed) {
  size_t x = 0;
#if defined(__SSE2__)
  // Four pixels at a time: the saturating byte steps are exactly StepByte's.
  const __m128i up = _mm_set1_epi32(static_cast<int>(s.up));
  const __m128i down = _mm_set1_epi32(static_cast<int>(s.down));
  for (; x + 4 <= count; x += 4) {
    __m128i v;
    if (reversed) {
      v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + count - x - 4));
      v = _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
    } else {
      v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
    }
    v = _mm_subs_epu8(_mm_adds_epu8(v, up), down);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), v);
  }
#endif
  for (; x < count; ++x) out[x] = ShiftPixel(reversed ? in[count - 1 - x] : in[x], s);
}

}  // namespace

void ShiftPixels(Image& image, int32_t shiftR, int32_t shiftG, int32_t shiftB) {
  if (image.Empty() || (shiftR == 0 && shiftG == 0 && shiftB == 0))
    return;
  const ByteShift s = MakeByteShift(shiftR, shiftG, shiftB);
  for (uint32_t y = 0; y < image.Height(); ++y)
    ShiftRow(image.Row(y), image.Row(y), image.Width(), s, false);
}

std::optional<Image> ShiftedCopy(const Image& source, int32_t shiftR, int32_t shiftG,
                                 int32_t shiftB, bool mirrorLeftRight, bool mirrorTopBottom) {
  if (source.Empty())
    return std::nullopt;
  Image result;
  if (!result.Create(source.Width(), source.Height(), 0))
    return std::nullopt;
  const ByteShift s = MakeByteShift(shiftR, shiftG, shiftB);
  const uint32_t h = source.Height();
  for (uint32_t y = 0; y < h; ++y) {
    const Pixel* in = source.Row(mirrorTopBottom ? h - 1 - y : y);
    ShiftRow(in, result.Row(y), source.Width(), s, mirrorLeftRight);
  }
  return result;
}

}  // namespace tessarix
