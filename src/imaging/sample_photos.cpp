#include "imaging/sample_photos.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace tessarix {
namespace {

// A small generator with a fixed algorithm, so that pictures are the same everywhere
// (std:: distributions are not).
class Random {
 public:
  explicit Random(uint32_t seed) : state_(uint64_t{seed} * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<uint32_t>(state_ >> 11);
  }
  int Range(int low, int high) { return low + static_cast<int>(Next() % uint32_t(high - low + 1)); }

 private:
  uint64_t state_;
};

struct Rgb {
  int r, g, b;
};

Rgb RandomColor(Random& random) {
  return {random.Range(0, 255), random.Range(0, 255), random.Range(0, 255)};
}

int Clamp(int v) {
  return std::clamp(v, 0, 255);
}

Rgb Mix(Rgb a, Rgb b, int t256) {
  return {a.r + (b.r - a.r) * t256 / 256, a.g + (b.g - a.g) * t256 / 256,
          a.b + (b.b - a.b) * t256 / 256};
}

// A disc or a rectangle blended over the picture with a soft edge.
void DrawShape(Image& image, Random& random) {
  const int w = static_cast<int>(image.Width()), h = static_cast<int>(image.Height());
  const Rgb color = RandomColor(random);
  const int cx = random.Range(0, w - 1), cy = random.Range(0, h - 1);
  const int radius = random.Range(std::max(2, w / 12), std::max(3, w / 3));
  const bool disc = random.Range(0, 1) == 0;
  for (int y = std::max(0, cy - radius); y < std::min(h, cy + radius); ++y) {
    for (int x = std::max(0, cx - radius); x < std::min(w, cx + radius); ++x) {
      const int dx = x - cx, dy = y - cy;
      const int inside = disc ? radius * radius - (dx * dx + dy * dy)
                              : radius - std::max(std::abs(dx), std::abs(dy));
      if (inside <= 0)
        continue;
      const int alpha = std::min(256, inside * 256 / std::max(1, disc ? radius * 4 : 4));
      const Pixel p = image.At(x, y);
      const Rgb base{int(Red(p)), int(Green(p)), int(Blue(p))};
      const Rgb mixed = Mix(base, color, alpha);
      image.At(x, y) = MakePixel(Clamp(mixed.r), Clamp(mixed.g), Clamp(mixed.b));
    }
  }
}

}  // namespace

Image MakeSamplePhoto(uint32_t seed, uint32_t width, uint32_t height) {
  Random random(seed);
  Image image;
  if (!image.Create(width, height, 0))
    return image;
  const Rgb from = RandomColor(random), to = RandomColor(random);
  const bool vertical = random.Range(0, 1) == 0;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t t = vertical ? y * 256 / height : x * 256 / width;
      const Rgb c = Mix(from, to, static_cast<int>(t));
      image.At(x, y) = MakePixel(Clamp(c.r), Clamp(c.g), Clamp(c.b));
    }
  }
  const int shapes = random.Range(1, 5);
  for (int i = 0; i < shapes; ++i) DrawShape(image, random);
  const int grain = random.Range(0, 12);
  if (grain > 0) {
    for (Pixel& p : std::span<Pixel>(image.Pixels(), image.PixelCount())) {
      const int n = random.Range(-grain, grain);
      p = MakePixel(Clamp(int(Red(p)) + n), Clamp(int(Green(p)) + n), Clamp(int(Blue(p)) + n));
    }
  }
  return image;
}

Image MakeSampleScene(uint32_t width, uint32_t height) {
  Image image;
  if (!image.Create(width, height, 0))
    return image;
  const double w = width, h = height;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const double fx = x / w, fy = y / h;
      const double hill = 0.62 + 0.08 * std::sin(fx * 9.0) + 0.05 * std::sin(fx * 23.0 + 1.0);
      const double sun = std::hypot(fx - 0.72, (fy - 0.25) * h / w);
      Rgb c;
      if (fy > 0.82) {  // water reflecting the sky
        const int wave = static_cast<int>(20 * std::sin(fy * 180.0 + fx * 7.0));
        c = {40 + wave, 90 + wave, 150 + wave};
      } else if (fy > hill) {
        c = {int(40 + 60 * fx), int(110 - 40 * (fy - hill) * 5), 40};
      } else if (sun < 0.09) {
        c = {255, 220, int(120 + 600 * sun)};
      } else {
        c = {int(90 + 140 * fy), int(140 + 90 * fy), int(235 - 30 * fy)};
      }
      image.At(x, y) = MakePixel(Clamp(c.r), Clamp(c.g), Clamp(c.b));
    }
  }
  return image;
}

}  // namespace tessarix
