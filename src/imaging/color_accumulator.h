#pragma once

#include <cstdint>

#include "imaging/pixel.h"

namespace tessarix {

// Weighted sum of colour and transparency behind every averaging of pixels. Weights are 1..256
// (256 = a full sample). A pixel's colour counts less the more transparent it is; a fully
// transparent pixel adds transparency but no colour.
class ColorAccumulator {
 public:
  void Clear() { *this = ColorAccumulator(); }

  // Adds `pixel` with weight k (1..256): colour weight k when T = 0, else k * (255 - T) / 255.
  void Add(Pixel pixel, uint32_t k) {
    const uint32_t t = Transparency(pixel);
    sumT_ += uint64_t{k} * t;
    transparencyWeight_ += k;
    const uint32_t w = t == 0 ? k : (k * (255 - t)) / 255;
    sumR_ += uint64_t{Red(pixel)} * w;
    sumG_ += uint64_t{Green(pixel)} * w;
    sumB_ += uint64_t{Blue(pixel)} * w;
    colorWeight_ += w;
  }

  // Adds `count` opaque pixels (T = 0) with weight k each, given the sums of their channels: the
  // same as `count` calls of Add, for the long runs of opaque pixels a resampler walks.
  void AddOpaqueRun(uint64_t sumRed, uint64_t sumGreen, uint64_t sumBlue, uint64_t count,
                    uint32_t k) {
    sumR_ += sumRed * k;
    sumG_ += sumGreen * k;
    sumB_ += sumBlue * k;
    colorWeight_ += count * k;
    transparencyWeight_ += count * k;
  }

  // Adds `weight` of pure transparency (samples outside the picture): no colour.
  void AddOutside(uint64_t weight) {
    sumT_ += uint64_t{255} * weight;
    transparencyWeight_ += weight;
  }

  // The mean pixel; zero weights are taken as 1, each channel kept to its low 8 bits.
  Pixel Average() const {
    const uint64_t cw = colorWeight_ == 0 ? 1 : colorWeight_;
    const uint64_t tw = transparencyWeight_ == 0 ? 1 : transparencyWeight_;
    return MakePixel(static_cast<uint32_t>(sumR_ / cw), static_cast<uint32_t>(sumG_ / cw),
                     static_cast<uint32_t>(sumB_ / cw), static_cast<uint32_t>(sumT_ / tw));
  }

  uint64_t ColorWeight() const { return colorWeight_; }
  uint64_t TransparencyWeight() const { return transparencyWeight_; }

 private:
  uint64_t sumR_ = 0, sumG_ = 0, sumB_ = 0, colorWeight_ = 0;
  uint64_t sumT_ = 0, transparencyWeight_ = 0;
};

}  // namespace tessarix
