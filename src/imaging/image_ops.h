#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "imaging/image.h"

namespace tessarix {

// Area-averaging resample of the rw x rh rectangle at (rx, ry) into a new dw x dh image (T = 0).
// Weights in 1/256 units, row and column tables in double precision, truncated; the sample weight
// (row weight x column weight) / 256 is truncated per sample and 0 or 256 counts as 256. Fails for
// an empty source, a zero size or a rectangle outside the source. Same size = exact crop.
std::optional<Image> Resample(const Image& source, uint32_t dw, uint32_t dh, uint32_t rw,
                              uint32_t rh, uint32_t rx, uint32_t ry);

// Resample of a source that arrives row by row, top first, for a caller that decodes it and never
// holds it whole: only a few source rows are kept at a time. The picture is Resample's of the
// whole source, pixel for pixel.
class RowResampler {
 public:
  // Whether a rw x rh rectangle resampled to dw x dh can be done row by row: one that changes size
  // without growing in height.
  static bool Takes(uint32_t dw, uint32_t dh, uint32_t rw, uint32_t rh);
  // For Resample's rectangle of a source sourceWidth wide; none when Takes refuses, when the
  // rectangle is not inside the width, or when the memory cannot be had (said as Image::Create
  // says it).
  static std::optional<RowResampler> Make(uint32_t sourceWidth, uint32_t dw, uint32_t dh,
                                          uint32_t rw, uint32_t rh, uint32_t rx, uint32_t ry);

  RowResampler(RowResampler&&) noexcept;
  RowResampler& operator=(RowResampler&&) noexcept;
  ~RowResampler();

  // Room for source row y, sourceWidth pixels. Rows are asked from the top, each once and filled
  // before the next is asked; rows outside the rectangle are taken and ignored.
  Pixel* Row(uint32_t y);
  // Row y holds its pixels.
  void Filled(uint32_t y);
  // The picture, once every row of the rectangle has been filled; none before. Taken once.
  std::optional<Image> Take();

 private:
  struct State;
  explicit RowResampler(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// Resample that lets the rectangle stick out of the source: outside samples count as fully
// transparent, inside samples go through ColorAccumulator; a pixel with no colour weight is
// 0xFF000000. Outside samples are counted, not visited. Fails like Resample (except for the
// position) and for a rectangle of more than 2^46 samples, whose weight sums could overflow.
std::optional<Image> ResampleTransparent(const Image& source, uint32_t dw, uint32_t dh, uint32_t rw,
                                         uint32_t rh, uint32_t rx, uint32_t ry);

// The whole image resampled to the largest size of its aspect inside bw x bh.
std::optional<Image> FitWithin(const Image& source, uint32_t bw, uint32_t bh);

// A width x height image made height x width; the angle picks where the pixel at (x, y) goes:
// -90 turns the picture a quarter counter-clockwise, (x, y) -> (y, width - 1 - x), so the right
// column becomes the top row. 90 does not turn it but mirrors it along the diagonal from the
// top-left corner, (x, y) -> (y, x): the left column becomes the top row, and applying it twice
// gives the input back. Any other angle, or an empty image, fails.
std::optional<Image> Rotate(const Image& source, int angle);

enum class PasteMode { Blend = 0, Copy = 1 };

// Writes `source` into `target` with its top-left corner at column x, row y, clipped at the
// edges. Copy replaces pixels; Blend keeps the target where the source is fully transparent,
// takes the source where the target is fully transparent and otherwise averages the colours
// (keeping the source's T). False, nothing written, when x >= width, y >= height, either image is
// empty or the source ends above the top edge.
bool Paste(Image& target, uint32_t x, int32_t y, const Image& source, PasteMode mode);

// Mean per-pixel distance in tenths of a level, rounded up; UINT32_MAX when either image is
// empty or the sizes differ. Images of fewer than 10 pixels have no tenths to divide by and also
// give UINT32_MAX.
uint32_t MeanDifference(const Image& a, const Image& b);

// Cuts cutX columns off the right and cutY rows off the bottom and cross-fades them into the left
// and top edges. Fails for an empty image, cutX >= width, cutY >= height, and when a cut is wider
// than the part it is faded into (cutX > width - cutX or cutY > height - cutY).
std::optional<Image> MakeSeamless(const Image& source, uint32_t cutX, uint32_t cutY);

}  // namespace tessarix
