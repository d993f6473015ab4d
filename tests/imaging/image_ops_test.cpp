#include "imaging/image_ops.h"

#include <gtest/gtest.h>

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

TEST(Resample, SameSizeCropsExactlyAndEnlargingRepeatsSamples) {
  const Image source =
      MakeImage(4, 3, [](uint32_t x, uint32_t y) { return MakePixel(x, y, x * y, 9); });
  const auto crop = Resample(source, 3, 2, 3, 2, 1, 1);
  EXPECT_EQ(SizeOf(crop), std::pair(3u, 2u));
  EXPECT_EQ(PixelsOf(crop), (Pixels{MakePixel(1, 1, 1), MakePixel(2, 1, 2), MakePixel(3, 1, 3),
                                    MakePixel(1, 2, 2), MakePixel(2, 2, 4), MakePixel(3, 2, 6)}));
  // Ranges 0..0.5, 0.5..1, 1..1.5, 1.5..2 each hold a single sample.
  EXPECT_EQ(PixelsOf(Resample(Picture({{10, 200}}), 4, 1, 2, 1, 0, 0)), (Pixels{10, 10, 200, 200}));
}

// Every weighted sum of a flat picture is its colour times the total weight, exactly: the
// quotient must come out as that colour for every byte and every mix of weights, never one below.
TEST(Resample, FlatPictureKeepsItsColorAtAnyScale) {
  struct Size {
    uint32_t w, h, dw, dh;
  };
  const Size sizes[] = {{7, 5, 3, 2}, {10, 9, 3, 4}, {97, 83, 13, 11}, {31, 29, 30, 28}};
  for (uint32_t v = 0; v < 256; ++v) {
    const Pixel color = MakePixel(v, 255 - v, (v * 7) & 0xFF);
    for (const Size& s : sizes) {
      const auto result = Resample(MakeFlatImage(s.w, s.h, color), s.dw, s.dh, s.w, s.h, 0, 0);
      ASSERT_EQ(PixelsOf(result), Pixels(size_t{s.dw} * s.dh, color)) << v << " " << s.w;
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
  EXPECT_FALSE(Resample(Image(), 2, 2, 1, 1, 0, 0));
  EXPECT_FALSE(ResampleTransparent(source, 1, 1, UINT32_MAX, UINT32_MAX, 0, 0));
}

// On opaque pictures inside the source both resamplers weigh every sample alike, so they must
// agree pixel for pixel; the opaque one adds up full-weight rows column by column first, the
// other weighs sample by sample. Sizes cover shrinking by fractions, by large factors (many full
// rows per destination row), exact divisions and enlarging, with offsets; the tall picture gives
// destination rows of more than a thousand source rows; one pixel from a nearly white 4200 x 4200
// picture adds up more than 32 bits hold.
TEST(Resample, AgreesWithTheSampleBySampleResamplerOnOpaquePictures) {
  uint32_t seed = 12345;
  const auto next = [&seed](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % range;
  };
  const Image source = MakeImage(
      97, 83, [&](uint32_t, uint32_t) { return MakePixel(next(256), next(256), next(256)); });
  // Nearly white in red, so that a column sum of more rows than 16 bits can hold would show.
  const Image tall = MakeImage(
      9, 1300, [&](uint32_t, uint32_t) { return MakePixel(255 - next(2), next(256), next(256)); });
  const Image white = MakeImage(4200, 4200, [&](uint32_t, uint32_t) {
    return MakePixel(255 - next(2), 255 - next(2), 255 - next(2));
  });
  struct Case {
    const Image* picture;
    uint32_t dw, dh, rw, rh, rx, ry;
  };
  const Case cases[] = {{&source, 12, 8, 97, 83, 0, 0},   {&source, 7, 5, 90, 70, 3, 9},
                        {&source, 30, 20, 60, 40, 10, 5}, {&source, 3, 2, 97, 83, 0, 0},
                        {&source, 40, 33, 41, 35, 2, 1},  {&source, 50, 45, 20, 15, 7, 7},
                        {&source, 1, 1, 97, 83, 0, 0},    {&source, 13, 11, 77, 64, 19, 18},
                        {&tall, 2, 1, 9, 1300, 0, 0},     {&tall, 3, 2, 7, 1297, 1, 2},
                        {&white, 1, 1, 4200, 4200, 0, 0}};
  for (const Case& c : cases) {
    const auto opaque = Resample(*c.picture, c.dw, c.dh, c.rw, c.rh, c.rx, c.ry);
    const auto sampled = ResampleTransparent(*c.picture, c.dw, c.dh, c.rw, c.rh, c.rx, c.ry);
    ASSERT_TRUE(opaque && sampled);
    EXPECT_EQ(PixelsOf(opaque), PixelsOf(sampled))
        << c.dw << "x" << c.dh << " from " << c.rw << "x" << c.rh;
  }
}

TEST(ResampleTransparent, OutsideTheSourceAddsOnlyTransparency) {
  // Colour (100 + 200) / 2; T = 255 * 256 / 768 = 85. Resample itself refuses the rectangle.
  const Image pair = Picture({{100, 200}});
  EXPECT_EQ(PixelsOf(ResampleTransparent(pair, 1, 1, 3, 1, 0, 0)), (Pixels{0x55000096u}));
  EXPECT_FALSE(Resample(pair, 1, 1, 3, 1, 0, 0));
  // Two rows inside, one outside: T = 255 * 2 / 6.
  const Pixel color = MakePixel(60, 70, 80);
  const Image flat = MakeFlatImage(2, 2, color);
  EXPECT_EQ(PixelsOf(ResampleTransparent(flat, 1, 1, 2, 3, 0, 0)),
            (Pixels{MakePixel(60, 70, 80, 85)}));
  EXPECT_EQ(PixelsOf(ResampleTransparent(flat, 3, 2, 6, 4, 5, 5)), Pixels(6, kTransparentBlack));
  EXPECT_EQ(PixelsOf(ResampleTransparent(flat, 2, 2, 2, 2, 1, 1)),
            (Pixels{color, kTransparentBlack, kTransparentBlack, kTransparentBlack}));
  // A huge outside area is counted, not walked: one colour sample against 10^12 samples in all
  // gives T = 255 * (N - 1) / N = 254.
  const Image dot = MakeFlatImage(1, 1, MakePixel(9, 8, 7));
  EXPECT_EQ(PixelsOf(ResampleTransparent(dot, 1, 1, 1000000, 1000000, 0, 0)),
            (Pixels{MakePixel(9, 8, 7, 254)}));
}

TEST(ResampleTransparent, TransparentSamplesCountLessColor) {
  // 100 at T = 128 has colour weight 256 * 127 / 255 = 127 against 256 for the opaque 200s.
  const Pixel opaque = MakePixel(200, 0, 0);
  const Pixel half = MakePixel(100, 0, 0, 128);
  const Image pair = Picture({{opaque, half}});
  const Image four = Picture({{opaque, half, half, opaque}});
  // (200*256 + 100*127) / 383 = 166; T = 128 * 256 / 512 = 64. The wider one walks the inner run.
  EXPECT_EQ(PixelsOf(ResampleTransparent(pair, 1, 1, 2, 1, 0, 0)),
            (Pixels{MakePixel(166, 0, 0, 64)}));
  EXPECT_EQ(PixelsOf(ResampleTransparent(four, 1, 1, 4, 1, 0, 0)),
            (Pixels{MakePixel(166, 0, 0, 64)}));
  const Image clear = MakeFlatImage(3, 1, kTransparentBlack | 0x00FFFFFF);
  EXPECT_EQ(PixelsOf(ResampleTransparent(clear, 1, 1, 3, 1, 0, 0)), (Pixels{kTransparentBlack}));
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

TEST(Paste, BlendOntoTransparentCopiesThenAverages) {
  Image canvas;
  ASSERT_TRUE(canvas.CreateTransparent(4, 3));
  ASSERT_TRUE(Paste(canvas, 1, 1, MakeFlatImage(2, 2, MakePixel(100, 50, 7)), PasteMode::Blend));
  EXPECT_EQ(canvas.At(2, 2), MakePixel(100, 50, 7));
  EXPECT_EQ(canvas.At(3, 1), kTransparentBlack);
  ASSERT_TRUE(Paste(canvas, 1, 1, MakeFlatImage(1, 1, MakePixel(201, 0, 8)), PasteMode::Blend));
  EXPECT_EQ(canvas.At(1, 1), MakePixel(150, 25, 7));
  // A fully transparent source pixel keeps the target; a partly transparent one keeps its T.
  ASSERT_TRUE(Paste(canvas, 2, 1, MakeFlatImage(1, 1, 0xFF123456), PasteMode::Blend));
  EXPECT_EQ(canvas.At(2, 1), MakePixel(100, 50, 7));
  ASSERT_TRUE(Paste(canvas, 2, 1, MakeFlatImage(1, 1, MakePixel(0, 0, 0, 10)), PasteMode::Blend));
  EXPECT_EQ(canvas.At(2, 1), MakePixel(50, 25, 3, 10));
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
  EXPECT_FALSE(Paste(target, 0, 0, Image(), PasteMode::Copy));
  EXPECT_EQ(target, blank);
  Image empty;
  EXPECT_FALSE(Paste(empty, 0, 0, source, PasteMode::Copy));
}

TEST(MeanDifference, TenthsOfALevelRoundedUp) {
  const Image base = MakeImage(5, 4, [](uint32_t x, uint32_t y) { return MakePixel(x * 9, y, 0); });
  EXPECT_EQ(MeanDifference(base, base), 0u);
  const Image plusThree =
      MakeImage(5, 4, [](uint32_t x, uint32_t y) { return MakePixel(x * 9 + 3, y, 0); });
  EXPECT_EQ(MeanDifference(base, plusThree), 30u);  // 20 * 3 / (20 / 10)
  Image oneOff = base;
  oneOff.At(2, 2) = MakePixel(2 * 9 + 3, 2 + 4, 0);  // distance 5
  EXPECT_EQ(MeanDifference(base, oneOff), 3u);       // 5 / 2 rounded up
  oneOff.At(0, 0) = MakePixel(1, 1, 0, 0);           // sqrt(2) truncates to 1
  EXPECT_EQ(MeanDifference(base, oneOff), 3u);       // 6 / 2
  oneOff.At(1, 0) = MakePixel(9, 0, 0, 2);           // transparency counts too
  EXPECT_EQ(MeanDifference(base, oneOff), 4u);       // 8 / 2

  // Ten pixels are the fewest compared; fewer, or sizes that differ, give all ones.
  const Image ten = MakeFlatImage(10, 1, 0);
  EXPECT_EQ(MeanDifference(ten, MakeFlatImage(10, 1, MakePixel(4, 0, 0))), 40u);
  EXPECT_EQ(MeanDifference(MakeFlatImage(3, 3, 0), MakeFlatImage(3, 3, 0)), UINT32_MAX);
  for (const Image& other : {MakeFlatImage(10, 2, 0), MakeFlatImage(11, 1, 0), Image()})
    EXPECT_EQ(MeanDifference(ten, other), UINT32_MAX) << other.Width() << "x" << other.Height();
}

TEST(MakeSeamless, SizesAndRefusals) {
  const Image varied = MakeImage(4, 3, [](uint32_t x, uint32_t y) { return x * 40 + y * 4000; });
  EXPECT_EQ(MakeSeamless(varied, 0, 0), std::optional(varied));  // no cut: an exact copy
  const Image source = MakeFlatImage(6, 5, 0x00336699);
  const auto result = MakeSeamless(source, 2, 1);
  EXPECT_EQ(SizeOf(result), std::pair(4u, 4u));
  EXPECT_EQ(PixelsOf(result), Pixels(16, 0x00336699u));  // a flat picture stays flat
  EXPECT_TRUE(MakeSeamless(source, 3, 2));               // strips as wide as what they fade into
  // 4 columns cannot fade into the 2 kept.
  for (const auto& [x, y] : {std::pair{0u, 5u}, {6u, 0u}, {4u, 0u}, {0u, 3u}})
    EXPECT_FALSE(MakeSeamless(source, x, y)) << x << "," << y;
  EXPECT_FALSE(MakeSeamless(Image(), 0, 0));
}

TEST(MakeSeamless, StripsFadeIntoTheOppositeSide) {
  // Bottom into top: row 0 (200*255 + 10*1) / 256; row 1 (100*127 + 20*129) / 256.
  EXPECT_EQ(PixelsOf(MakeSeamless(Picture({{10}, {20}, {200}, {100}}), 0, 2)), (Pixels{199, 59}));
  const Image row = Picture(
      {{MakePixel(0, 10, 0), MakePixel(0, 20, 0), MakePixel(0, 200, 0), MakePixel(0, 100, 0)}});
  EXPECT_EQ(PixelsOf(MakeSeamless(row, 2, 0)), (Pixels{MakePixel(0, 199, 0), MakePixel(0, 59, 0)}));
  // Both, one after the other: vertically A = (0, 255*255/256 = 254); then 254*255/256 = 253.
  EXPECT_EQ(PixelsOf(MakeSeamless(Picture({{0, 0}, {0, 255}}), 1, 1)), (Pixels{253}));
}

TEST(MakeSeamless, TransparencyFadesThroughTheAccumulator) {
  // A fully transparent strip adds no colour: the kept pixel's alone (weight 1); T = 255*255/256.
  const Image pair = Picture({{MakePixel(100, 0, 0)}, {MakePixel(200, 0, 0, 255)}});
  EXPECT_EQ(PixelsOf(MakeSeamless(pair, 0, 1)), (Pixels{MakePixel(100, 0, 0, 254)}));
  // Row 1, q = 128: the cut black pixel weighs 127, the kept red one 129 * 254 / 255 = 128.
  const Pixel black = MakePixel(0, 0, 0);
  const Image column = Picture({{black}, {MakePixel(255, 0, 0, 1)}, {black}, {black}});
  const auto result = MakeSeamless(column, 0, 2);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->At(0, 1), MakePixel(255 * 128 / 255, 0, 0, 129 / 256));
}

}  // namespace
}  // namespace tessarix
