#include "imaging/image_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace tessarix {
namespace {

using test::MakeFlatImage;
using test::MakeImage;
using Pixels = std::vector<Pixel>;

// An image of the given rows of pixels; a plain number below 256 is a red level (G = B = T = 0).
Image Picture(const std::vector<Pixels>& rows) {
  return MakeImage(static_cast<uint32_t>(rows[0].size()), static_cast<uint32_t>(rows.size()),
                   [&](uint32_t x, uint32_t y) { return rows[y][x]; });
}

// The pixels of a result, none when there is no result.
Pixels PixelsOf(const std::optional<Image>& image) {
  if (!image)
    return {};
  return {image->Pixels(), image->Pixels() + image->PixelCount()};
}

std::pair<uint32_t, uint32_t> SizeOf(const std::optional<Image>& image) {
  return image ? std::pair(image->Width(), image->Height()) : std::pair(0u, 0u);
}

TEST(Resample, ShrinkingWeighsEachSampleByItsShareOfTheDestinationPixel) {
  // Whole blocks: 101 / 4, 500 / 4, 900 / 4, 21 / 4, truncated; the source's T is ignored.
  Image blocks =
      Picture({{0, 10, 100, 110}, {40, 51, 140, 150}, {200, 210, 5, 5}, {240, 250, 5, 6}});
  blocks.At(3, 3) |= 0x80000000u;
  EXPECT_EQ(PixelsOf(Resample(blocks, 2, 2, 4, 4, 0, 0)), (Pixels{25, 125, 225, 5}));

  // 9 -> 4: columns start at 0, 2.25, 4.5, 6.75; the first weight is the fraction of the start,
  // not its complement. (0*256 + 10*256 + 20*64) / 576; (20*64 + 30*256 + 40*128) / 448;
  // (40*128 + 50*256 + 60*192) / 576; (60*192 + 70*256 + 80*256) / 704.
  const Image row = Picture({{0, 10, 20, 30, 40, 50, 60, 70, 80}});
  EXPECT_EQ(PixelsOf(Resample(row, 4, 1, 9, 1, 0, 0)), (Pixels{6, 31, 51, 70}));

  // 3x3 -> 2x2: corner weights 128 * 128 / 256 = 64, and the exact ends (weight 0) count 256
  // even where the other direction's weight is 128, which separate passes would not give.
  // 13440 / 576, 28800 / 704, 46720 / 704, 62080 / 832.
  const Image square = Picture({{10, 20, 30}, {40, 50, 60}, {70, 80, 90}});
  EXPECT_EQ(PixelsOf(Resample(square, 2, 2, 3, 3, 0, 0)), (Pixels{23, 40, 66, 74}));
}

// The crop drops the transparency as every other size does.
TEST(Resample, SameSizeCropsExactlyAndEnlargingRepeatsSamples) {
  const auto varied = [](uint32_t x, uint32_t y) { return MakePixel(x, y, x * y); };
  const Image source =
      MakeImage(4, 3, [&](uint32_t x, uint32_t y) { return varied(x, y) | 0x09000000u; });
  const Image inner = MakeImage(3, 2, [&](uint32_t x, uint32_t y) { return varied(x + 1, y + 1); });
  EXPECT_EQ(Resample(source, 3, 2, 3, 2, 1, 1), std::optional(inner));
  // Ranges 0..0.5, 0.5..1, 1..1.5, 1.5..2 each hold a single sample.
  EXPECT_EQ(PixelsOf(Resample(Picture({{10, 200}}), 4, 1, 2, 1, 0, 0)), (Pixels{10, 10, 200, 200}));
}

// Every weighted sum of a flat picture is its colour times the total weight, exactly: the
// quotient must come out as that colour for every byte and every mix of weights, never one below.
TEST(Resample, FlatPictureKeepsItsColorAtAnyScale) {
  const std::array<uint32_t, 4> sizes[] = {
      {7, 5, 3, 2}, {10, 9, 3, 4}, {97, 83, 13, 11}, {31, 29, 30, 28}};
  for (uint32_t v = 0; v < 256; ++v) {
    const Pixel color = MakePixel(v, 255 - v, (v * 7) & 0xFF);
    for (const auto& [w, h, dw, dh] : sizes) {
      ASSERT_EQ(Resample(MakeFlatImage(w, h, color), dw, dh, w, h, 0, 0),
                std::optional(MakeFlatImage(dw, dh, color)))
          << v << " " << w;
    }
  }
}

TEST(Resample, RefusesRectanglesOutsideTheSourceAndZeroSizes) {
  const Image source = MakeFlatImage(4, 4, 0x00102030);
  const uint32_t refused[][6] = {{2, 2, 4, 4, 1, 0},
                                 {2, 2, 4, 4, 0, 1},
                                 {2, 2, 2, 2, UINT32_MAX, 0},  // no wrap-around
                                 {2, 2, 0, 4, 0, 0},
                                 {0, 2, 4, 4, 0, 0}};
  for (const auto& r : refused) EXPECT_FALSE(Resample(source, r[0], r[1], r[2], r[3], r[4], r[5]));
  EXPECT_FALSE(Resample(Image(), 2, 2, 1, 1, 0, 0) ||
               ResampleTransparent(source, 1, 1, UINT32_MAX, UINT32_MAX, 0, 0));
}

// On opaque pictures inside the source both resamplers weigh every sample alike, so they must
// agree pixel for pixel; the opaque one adds up full-weight rows column by column first, the
// other weighs sample by sample. So must the row-fed one, which keeps only a few rows. Sizes
// cover shrinking by fractions, by large factors (many full rows per destination row), exact
// divisions, enlarging, a width change alone and a plain crop, with offsets; the tall picture
// gives destination rows of more than a thousand source rows; one pixel from a nearly white
// 4200 x 4200 picture, and one from each of two three-column stripes, add up more than 32 bits
// hold.
TEST(Resample, AgreesWithTheSampleBySampleResamplerOnOpaquePictures) {
  const Image source = test::Noise(97, 83);
  // Nearly white, so that a column sum of more rows than 16 bits can hold would show.
  const auto nearlyWhite = [](uint32_t x, uint32_t y) {
    const uint32_t v = x * 2654435761u ^ y * 40503u;
    return MakePixel(255 - (v & 1), 255 - (v >> 9 & 1), 255 - (v >> 17 & 1));
  };
  const Image tall = MakeImage(9, 1300, nearlyWhite);
  const Image white = MakeImage(4200, 4200, nearlyWhite);
  // Three columns of 70,000 rows into one pixel: the middle column's weighted sum, 256 * 255 *
  // 70,000, passes 2^32, and its weight against the white or black ends decides the quotient.
  const Image stripe =
      MakeImage(3, 70'000, [](uint32_t x, uint32_t) { return x == 1 ? 0xFFFFFFu : 0; });
  const Image frame =
      MakeImage(3, 70'000, [](uint32_t x, uint32_t) { return x == 1 ? 0 : 0xFFFFFFu; });
  struct Case {
    const Image* picture;
    uint32_t dw, dh, rw, rh, rx, ry;
  };
  const Case cases[] = {{&source, 7, 5, 90, 70, 3, 9},    {&source, 40, 33, 41, 35, 2, 1},
                        {&source, 50, 45, 20, 15, 7, 7},  {&source, 1, 1, 97, 83, 0, 0},
                        {&source, 30, 20, 60, 20, 5, 0},  {&source, 20, 20, 20, 20, 0, 0},
                        {&tall, 2, 1, 9, 1300, 0, 0},     {&tall, 3, 2, 7, 1297, 1, 2},
                        {&white, 1, 1, 4200, 4200, 0, 0}, {&stripe, 1, 1, 3, 70'000, 0, 0},
                        {&frame, 1, 1, 3, 70'000, 0, 0}};
  // The rows down to the rectangle's bottom, handed over one by one as a decoder does.
  const auto byRows = [](const Case& c) -> std::optional<Image> {
    const Image& picture = *c.picture;
    std::optional<RowResampler> resampler =
        RowResampler::Make(picture.Width(), c.dw, c.dh, c.rw, c.rh, c.rx, c.ry);
    if (!resampler)
      return std::nullopt;
    for (uint32_t y = 0; y < c.ry + c.rh; ++y) {
      if (y + 1 == c.ry + c.rh) {
        EXPECT_FALSE(resampler->Take()) << "before the last row";
      }
      std::copy_n(picture.Row(y), picture.Width(), resampler->Row(y));
      resampler->Filled(y);
    }
    return resampler->Take();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.dw) + "x" + std::to_string(c.dh) + " from " +
                 std::to_string(c.rw) + "x" + std::to_string(c.rh));
    const auto opaque = Resample(*c.picture, c.dw, c.dh, c.rw, c.rh, c.rx, c.ry);
    const auto sampled = ResampleTransparent(*c.picture, c.dw, c.dh, c.rw, c.rh, c.rx, c.ry);
    ASSERT_TRUE(opaque && sampled);
    EXPECT_EQ(PixelsOf(opaque), PixelsOf(sampled));
    // Row by row only where the height does not grow.
    const bool taken = c.dh <= c.rh && (c.dw != c.rw || c.dh != c.rh);
    EXPECT_EQ(RowResampler::Takes(c.dw, c.dh, c.rw, c.rh), taken);
    EXPECT_EQ(PixelsOf(byRows(c)), taken ? PixelsOf(sampled) : Pixels{});
  }
}

// Outside the source only transparency is added, counted rather than walked (one colour sample
// against 10^12 in all gives T = 255 * (N - 1) / N = 254); a transparent sample counts less
// colour: 100 at T = 128 weighs 256 * 127 / 255 = 127 against 256 for the opaque 200s.
TEST(ResampleTransparent, OutsideAndTransparentSamplesCountLessColor) {
  const Pixel color = MakePixel(60, 70, 80), opaque = MakePixel(200, 0, 0);
  const Pixel half = MakePixel(100, 0, 0, 128);
  const Image flat = MakeFlatImage(2, 2, color), dot = MakeFlatImage(1, 1, MakePixel(9, 8, 7));
  const struct {
    Image picture;
    uint32_t dw, dh, rw, rh, rx, ry;
    Pixels expected;
  } cases[] = {
      // Colour (100 + 200) / 2; T = 255 * 256 / 768 = 85.
      {Picture({{100, 200}}), 1, 1, 3, 1, 0, 0, {0x55000096u}},
      {flat, 1, 1, 2, 3, 0, 0, {MakePixel(60, 70, 80, 85)}},  // T = 255 * 2 / 6
      {flat, 3, 2, 6, 4, 5, 5, Pixels(6, kTransparentBlack)},
      {flat, 2, 2, 2, 2, 1, 1, {color, kTransparentBlack, kTransparentBlack, kTransparentBlack}},
      {dot, 1, 1, 1000000, 1000000, 0, 0, {MakePixel(9, 8, 7, 254)}},
      // (200*256 + 100*127) / 383 = 166; T = 128 * 256 / 512 = 64; the wider walks the inner run.
      {Picture({{opaque, half}}), 1, 1, 2, 1, 0, 0, {MakePixel(166, 0, 0, 64)}},
      {Picture({{opaque, half, half, opaque}}), 1, 1, 4, 1, 0, 0, {MakePixel(166, 0, 0, 64)}},
      {MakeFlatImage(3, 1, 0xFFFFFFFFu), 1, 1, 3, 1, 0, 0, {kTransparentBlack}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PixelsOf(ResampleTransparent(c.picture, c.dw, c.dh, c.rw, c.rh, c.rx, c.ry)),
              c.expected)
        << &c - cases;
  }
}

TEST(FitWithin, KeepsTheAspectInsideTheBox) {
  const Image source = MakeFlatImage(400, 300, 0x00404040);
  EXPECT_EQ(SizeOf(FitWithin(source, 100, 100)), std::pair(100u, 75u));
  EXPECT_EQ(SizeOf(FitWithin(source, 100, 50)), std::pair(66u, 50u));  // 400 * 50 / 300
  // 1 * 10 / 1000 = 0 becomes 1.
  EXPECT_EQ(SizeOf(FitWithin(MakeFlatImage(1000, 1, 0), 10, 10)), std::pair(10u, 1u));
  EXPECT_EQ(SizeOf(FitWithin(MakeFlatImage(1, 1000, 0), 10, 10)), std::pair(1u, 10u));
  EXPECT_EQ(SizeOf(FitWithin(source, 1, 10)), std::pair(1u, 1u));  // 300 * 1 / 400 = 0 too
  EXPECT_FALSE(FitWithin(source, 0, 10) || FitWithin(Image(), 10, 10));
}

TEST(Rotate, QuarterTurnOrTransposition) {
  const Image source = Picture({{0, 1, 2}, {10, 11, 12}});
  EXPECT_EQ(SizeOf(Rotate(source, -90)), std::pair(2u, 3u));
  EXPECT_EQ(PixelsOf(Rotate(source, -90)), (Pixels{2, 12, 1, 11, 0, 10}));
  EXPECT_EQ(PixelsOf(Rotate(source, 90)), (Pixels{0, 10, 1, 11, 2, 12}));  // a transposition
  EXPECT_FALSE(Rotate(source, 45) || Rotate(source, 180) || Rotate(Image(), 90));
}

// Onto a transparent pixel a copy, onto another the average with the source's T; a fully
// transparent source pixel keeps the target. Beyond the source the canvas stays as it was.
TEST(Paste, BlendOntoTransparentCopiesThenAverages) {
  const Pixel a = MakePixel(100, 50, 7), b = MakePixel(201, 0, 8);
  Image canvas = Picture({{kTransparentBlack, b, a, a, kTransparentBlack}});
  const Image source = Picture({{a, a, 0xFF123456u, MakePixel(0, 0, 0, 10)}});
  ASSERT_TRUE(Paste(canvas, 0, 0, source, PasteMode::Blend));
  EXPECT_EQ(PixelsOf(canvas),
            (Pixels{a, MakePixel(150, 25, 7), a, MakePixel(50, 25, 3, 10), kTransparentBlack}));
}

TEST(Paste, ClipsAtTopRightAndBottomAndRefusesWithoutWriting) {
  const Image source = MakeImage(3, 3, [](uint32_t x, uint32_t y) { return 1 + x + 10 * y; });
  const Image blank = MakeFlatImage(4, 3, 0);
  Image target = blank;
  ASSERT_TRUE(Paste(target, 2, -1, source, PasteMode::Copy));
  EXPECT_EQ(PixelsOf(target), (Pixels{0, 0, 11, 12, 0, 0, 21, 22, 0, 0, 0, 0}));
  target = blank;
  ASSERT_TRUE(Paste(target, 0, 2, source, PasteMode::Copy));
  EXPECT_EQ(PixelsOf(target), (Pixels{0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0}));
  target = blank;
  ASSERT_TRUE(Paste(target, 3, -2, source, PasteMode::Blend));
  EXPECT_EQ(PixelsOf(target), (Pixels{0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0}));

  target = blank;  // the last one ends exactly at the top
  for (const auto& [x, y] : {std::pair{4, 0}, {0, 3}, {0, -3}})
    EXPECT_FALSE(Paste(target, x, y, source, PasteMode::Copy)) << x << "," << y;
  Image empty;
  EXPECT_FALSE(Paste(target, 0, 0, empty, PasteMode::Copy) ||
               Paste(empty, 0, 0, source, PasteMode::Copy));
  EXPECT_EQ(target, blank);
}

TEST(MeanDifference, TenthsOfALevelRoundedUp) {
  // 20 pixels, so the sum of distances is divided by 2.
  const Image base = MakeImage(5, 4, [](uint32_t x, uint32_t y) { return MakePixel(x * 9, y, 0); });
  Image oneOff = base;
  oneOff.At(2, 2) = MakePixel(2 * 9 + 3, 2 + 4, 0);  // distance 5
  EXPECT_EQ(MeanDifference(base, oneOff), 3u);       // 5 / 2 rounded up
  oneOff.At(0, 0) = MakePixel(1, 1, 0, 0);           // sqrt(2) truncates to 1
  oneOff.At(1, 0) = MakePixel(9, 0, 0, 2);           // transparency counts too
  EXPECT_EQ(MeanDifference(base, oneOff), 4u);       // 8 / 2

  // Ten pixels are the fewest compared; fewer, or sizes that differ, give all ones.
  const Image ten = MakeFlatImage(10, 1, 0);
  EXPECT_EQ(MeanDifference(ten, MakeFlatImage(10, 1, MakePixel(4, 0, 0))), 40u);
  EXPECT_EQ(MeanDifference(MakeFlatImage(3, 3, 0), MakeFlatImage(3, 3, 0)), UINT32_MAX);
  for (const Image& other : {MakeFlatImage(10, 2, 0), MakeFlatImage(11, 1, 0), Image()})
    EXPECT_EQ(MeanDifference(ten, other), UINT32_MAX) << other.Width() << "x" << other.Height();
}

TEST(MakeSeamless, StripsFadeIntoTheOppositeSideThatMustHoldThem) {
  const Image varied = MakeImage(4, 3, [](uint32_t x, uint32_t y) { return x * 40 + y * 4000; });
  EXPECT_EQ(MakeSeamless(varied, 0, 0), std::optional(varied));  // no cut: an exact copy
  const Image source = MakeFlatImage(6, 5, 0x00336699);
  EXPECT_EQ(MakeSeamless(source, 2, 1), std::optional(MakeFlatImage(4, 4, 0x00336699)));
  EXPECT_TRUE(MakeSeamless(source, 3, 2));  // strips as wide as what they fade into
  // 4 columns cannot fade into the 2 kept.
  for (const auto& [x, y] : {std::pair{0u, 5u}, {6u, 0u}, {4u, 0u}, {0u, 3u}})
    EXPECT_FALSE(MakeSeamless(source, x, y)) << x << "," << y;
  EXPECT_FALSE(MakeSeamless(Image(), 0, 0));

  // Bottom into top: row 0 (200*255 + 10*1) / 256; row 1 (100*127 + 20*129) / 256.
  EXPECT_EQ(PixelsOf(MakeSeamless(Picture({{10}, {20}, {200}, {100}}), 0, 2)), (Pixels{199, 59}));
  EXPECT_EQ(PixelsOf(MakeSeamless(Picture({{10, 20, 200, 100}}), 2, 0)), (Pixels{199, 59}));
  // Both, one after the other: vertically A = (0, 255*255/256 = 254); then 254*255/256 = 253.
  EXPECT_EQ(PixelsOf(MakeSeamless(Picture({{0, 0}, {0, 255}}), 1, 1)), (Pixels{253}));
}

}  // namespace
}  // namespace tessarix
