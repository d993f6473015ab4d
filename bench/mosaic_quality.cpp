// `bench_mosaic_quality SOURCE.jpg MOSAIC.jpg`: how far a mosaic, seen from afar, is from its
// source. The mosaic is area-averaged down to the source's size and the mean absolute
// difference per channel (0..255, lower is better) is printed with two decimals.
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "imaging/image.h"
#include "imaging/image_ops.h"

int main(int argc, char** argv) {
  using namespace tessarix;
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_mosaic_quality SOURCE.jpg MOSAIC.jpg\n");
    return 2;
  }
  Image source, mosaic;
  if (!source.LoadJpeg(argv[1]) || !mosaic.LoadJpeg(argv[2])) {
    std::fprintf(stderr, "cannot read the pictures\n");
    return 1;
  }
  const std::optional<Image> small =
      Resample(mosaic, source.Width(), source.Height(), mosaic.Width(), mosaic.Height(), 0, 0);
  if (!small) {
    std::fprintf(stderr, "cannot resample the mosaic\n");
    return 1;
  }
  uint64_t sum = 0;
  for (uint32_t y = 0; y < source.Height(); ++y) {
    for (uint32_t x = 0; x < source.Width(); ++x) {
      const Pixel a = source.At(x, y), b = small->At(x, y);
      sum +=
          static_cast<uint64_t>(std::abs(static_cast<int>(Red(a)) - static_cast<int>(Red(b))) +
                                std::abs(static_cast<int>(Green(a)) - static_cast<int>(Green(b))) +
                                std::abs(static_cast<int>(Blue(a)) - static_cast<int>(Blue(b))));
    }
  }
  const double samples = 3.0 * source.Width() * source.Height();
  std::printf("%.2f\n", static_cast<double>(sum) / samples);
  return 0;
}
