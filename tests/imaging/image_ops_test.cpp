#include "imaging/image_ops.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_support.h"

namespace tessarix {
namespace {

using test::MakeFlatImage;
using test::MakeImage;

// An image whose red channel holds the given rows of values (G = B = T = 0).
Image RedImage(const std::vector<std::vector<uint32_t>>& rows) {
  return MakeImage(static_cast<uint32_t>(rows[0].size()), static_cast<uint32_t>(rows.size()),
                   [&](uint32_t x, uint32_t y) { return MakePixel(rows[y][x], 0, 0); });
}

std::vector<uint32_t> Reds(const Image& image) {
  std::vector<uint32_t> reds;
  for (size_t i = 0; i < image.PixelCount(); ++i) reds.push_back(Red(image.Pixels()[i]));
  return reds;
}

std::vector<Pixel> PixelsOf(const Image& image) {
  return {image.Pixels(), image.Pixels() + image.PixelCount()};
}

TEST(Resample, FourByFourToTwoByTwoAveragesBlocksWithFullWeights) {
  Image source =
      RedImage({{0, 10, 100, 110}, {40, 51, 140, 150}, {200, 210, 5, 5}, {240, 250, 5, 6}});
  source.At(3, 3) |= 0x80000000u;  // the source's transparency is ignored
  const auto result = Resample(source, 2, 2, 4, 4, 0, 0);
  ASSERT_TRUE(result);
  ASSERT_EQ(result->Width(), 2u);
  ASSERT_EQ(result->Height(), 2u);
  // 101 / 4, 500 / 4, 900 / 4, 21 / 4, truncated; T = 0 everywhere.
  EXPECT_EQ(PixelsOf(*result), (std::vector<Pixel>{25, 125, 225, 5}));
}

TEST(Resample, ThreeToTwoWeightsTheSharedSampleHalfAndTheExactEndFully) {
  const Image source = MakeImage(3, 1, [](uint32_t x, uint32_t) {
    const uint32_t red[] = {30, 90, 200};
    const uint32_t blue[] = {255, 0, 1};
    return MakePixel(red[x], 0, blue[x]);
  });
  const auto result = Resample(source, 2, 1, 3, 1, 0, 0);
  ASSERT_TRUE(result);
  // Column 0: (30*256 + 90*128) / 384 = 50; blue 255*256/384 = 170.
  // Column 1: (90*128 + 200*256) / 384 = 163.3; blue 256/384 = 0.
  EXPECT_EQ(result->At(0, 0), MakePixel(50, 0, 170));
  EXPECT_EQ(result->At(1, 0), MakePixel(163, 0, 0));
}

TEST(Resample, FirstWeightIsTheFractionOfTheStartNotItsComplement) {
  // 9 -> 4: columns start at 0, 2.25, 4.5, 6.75 and end at 2.25, 4.5, 6.75, 9.
  const Image source = RedImage({{0, 10, 20, 30, 40, 50, 60, 70, 80}});
  const auto result = Resample(source, 4, 1, 9, 1, 0, 0);
  ASSERT_TRUE(result);
  // (0*256 + 10*256 + 20*64) / 576; (20*64 + 30*256 + 40*128) / 448;
  // (40*128 + 50*256 + 60*192) / 576; (60*192 + 70*256 + 80*256) / 704.
  EXPECT_EQ(Reds(*result), (std::vector<uint32_t>{6, 31, 51, 70}));
}

TEST(Resample, SampleWeightIsTruncatedPerSampleAndZeroCountsFully) {
  // 3x3 -> 2x2: corner weights 128 * 128 / 256 = 64, and the exact ends (weight 0) count 256
  // even where the other direction's weight is 128, which separate passes would not give.
  const Image source = RedImage({{10, 20, 30}, {40, 50, 60}, {70, 80, 90}});
  const auto result = Resample(source, 2, 2, 3, 3, 0, 0);
  ASSERT_TRUE(result);
  // 13440 / 576, 28800 / 704, 46720 / 704, 62080 / 832.
  EXPECT_EQ(Reds(*result), (std::vector<uint32_t>{23, 40, 66, 74}));
}

TEST(Resample, SameSizeIsAnExactCropWithTransparencyCleared) {
  Image source = MakeImage(4, 3, [](uint32_t x, uint32_t y) { return MakePixel(x, y, x * y, 9); });
  const auto crop = Resample(source, 2, 2, 2, 2, 1, 1);
  ASSERT_TRUE(crop);
  EXPECT_EQ(PixelsOf(*crop), (std::vector<Pixel>{MakePixel(1, 1, 1), MakePixel(2, 1, 2),
                                                 MakePixel(1, 2, 2), MakePixel(2, 2, 4)}));
}

// Every weighted sum of a flat picture is its colour times the total weight, exactly: the
// quotient must come out as that colour for every byte and every mix of weights, never one below.
TEST(Resample, FlatPictureKeepsItsColourAtAnyScale) {
  struct Size {
    uint32_t w, h, dw, dh;
  };
  const Size sizes[] = {{7, 5, 3, 2}, {10, 9, 3, 4}, {97, 83, 13, 11}, {31, 29, 30, 28}};
  for (uint32_t v = 0; v < 256; ++v) {
    const Pixel colour = MakePixel(v, 255 - v, (v * 7) & 0xFF);
    for (const Size& s : sizes) {
      const auto result = Resample(MakeFlatImage(s.w, s.h, colour), s.dw, s.dh, s.w, s.h, 0, 0);
      ASSERT_TRUE(result.has_value());
      for (size_t i = 0; i < result->PixelCount(); ++i)
        ASSERT_EQ(result->Pixels()[i], colour) << v << " " << s.w << "x" << s.h << " at " << i;
    }
  }
}

TEST(Resample, EnlargingRepeatsSamples) {
  const Image source = RedImage({{10, 200}});
  const auto result = Resample(source, 4, 1, 2, 1, 0, 0);
  ASSERT_TRUE(result);
  // Ranges 0..0.5, 0.5..1, 1..1.5, 1.5..2 each hold a single sample.
  EXPECT_EQ(Reds(*result), (std::vector<uint32_t>{10, 10, 200, 200}));
}

TEST(Resample, RefusesRectanglesOutsideTheSourceAndZeroSizes) {
  const Image source = MakeFlatImage(4, 4, 0x00102030);
  EXPECT_FALSE(Resample(source, 2, 2, 4, 4, 1, 0));
  EXPECT_FALSE(Resample(source, 2, 2, 4, 4, 0, 1));
  EXPECT_FALSE(Resample(source, 2, 2, 2, 2, UINT32_MAX, 0));  // no wrap-around
  EXPECT_FALSE(Resample(source, 2, 2, 0, 4, 0, 0));
  EXPECT_FALSE(Resample(source, 0, 2, 4, 4, 0, 0));
  EXPECT_FALSE(Resample(Image(), 2, 2, 1, 1, 0, 0));
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
  struct Case {
    uint32_t dw, dh, rw, rh, rx, ry;
  };
  const Case cases[] = {{12, 8, 97, 83, 0, 0}, {7, 5, 90, 70, 3, 9},    {30, 20, 60, 40, 10, 5},
                        {3, 2, 97, 83, 0, 0},  {40, 33, 41, 35, 2, 1},  {50, 45, 20, 15, 7, 7},
                        {1, 1, 97, 83, 0, 0},  {13, 11, 77, 64, 19, 18}};
  // Nearly white in red, so that a column sum of more rows than 16 bits can hold would show.
  const Image tall = MakeImage(
      9, 1300, [&](uint32_t, uint32_t) { return MakePixel(255 - next(2), next(256), next(256)); });
  const Case tallCases[] = {{2, 1, 9, 1300, 0, 0}, {3, 2, 7, 1297, 1, 2}};
  const Image white = MakeImage(4200, 4200, [&](uint32_t, uint32_t) {
    return MakePixel(255 - next(2), 255 - next(2), 255 - next(2));
  });
  const Case whiteCases[] = {{1, 1, 4200, 4200, 0, 0}};
  for (const auto& [picture, list] :
       {std::pair{&source, std::vector(cases, std::end(cases))},
        std::pair{&tall, std::vector(tallCases, std::end(tallCases))},
        std::pair{&white, std::vector(whiteCases, std::end(whiteCases))}}) {
    for (const Case& c : list) {
      const auto opaque = Resample(*picture, c.dw, c.dh, c.rw, c.rh, c.rx, c.ry);
      const auto sampled = ResampleTransparent(*picture, c.dw, c.dh, c.rw, c.rh, c.rx, c.ry);
      ASSERT_TRUE(opaque && sampled);
      EXPECT_EQ(PixelsOf(*opaque), PixelsOf(*sampled))
          << c.dw << "x" << c.dh << " from " << c.rw << "x" << c.rh;
    }
  }
}

TEST(ResampleTransparent, ColumnBeyondTheRightEdgeAddsOnlyTransparency) {
  const Image source = RedImage({{100, 200}});
  const auto result = ResampleTransparent(source, 1, 1, 3, 1, 0, 0);
  ASSERT_TRUE(result);
  // Colour (100 + 200) / 2; T = 255 * 256 / 768 = 85.
  EXPECT_EQ(result->At(0, 0), 0x55000096u);
  EXPECT_FALSE(Resample(source, 1, 1, 3, 1, 0, 0));
}

TEST(ResampleTransparent, RowsBelowTheBottomEdgeAddOnlyTransparency) {
  const Image source = MakeFlatImage(2, 2, MakePixel(60, 70, 80));
  const auto result = ResampleTransparent(source, 1, 1, 2, 3, 0, 0);
  ASSERT_TRUE(result);
  // Two rows inside, one outside: T = 255 * 2 / 6.
  EXPECT_EQ(result->At(0, 0), MakePixel(60, 70, 80, 85));
}

TEST(ResampleTransparent, EntirelyOutsideGivesTransparentBlack) {
  const Image source = MakeFlatImage(2, 2, 0x00FFFFFF);
  const auto result = ResampleTransparent(source, 3, 2, 6, 4, 5, 5);
  ASSERT_TRUE(result);
  EXPECT_EQ(PixelsOf(*result), std::vector<Pixel>(6, kTransparentBlack));
  const auto crop = ResampleTransparent(source, 2, 2, 2, 2, 1, 1);
  ASSERT_TRUE(crop);
  EXPECT_EQ(PixelsOf(*crop), (std::vector<Pixel>{0x00FFFFFF, kTransparentBlack, kTransparentBlack,
                                                 kTransparentBlack}));
}

TEST(ResampleTransparent, TransparentSamplesCountLessColour) {
  // 100 at T = 128 has colour weight 256 * 127 / 255 = 127 against 256 for the opaque 200s.
  const Pixel opaque = MakePixel(200, 0, 0);
  const Pixel half = MakePixel(100, 0, 0, 128);
  const Image pair = MakeImage(2, 1, [&](uint32_t x, uint32_t) { return x == 0 ? opaque : half; });
  const Image four =
      MakeImage(4, 1, [&](uint32_t x, uint32_t) { return x == 0 || x == 3 ? opaque : half; });
  // (200*256 + 100*127) / 383 = 166; T = 128 * 256 / 512 = 64. The wider one walks the inner run.
  EXPECT_EQ(ResampleTransparent(pair, 1, 1, 2, 1, 0, 0)->At(0, 0), MakePixel(166, 0, 0, 64));
  EXPECT_EQ(ResampleTransparent(four, 1, 1, 4, 1, 0, 0)->At(0, 0), MakePixel(166, 0, 0, 64));
  const Image clear = MakeFlatImage(3, 1, kTransparentBlack | 0x00FFFFFF);
  EXPECT_EQ(ResampleTransparent(clear, 1, 1, 3, 1, 0, 0)->At(0, 0), kTransparentBlack);
}

TEST(ResampleTransparent, HugeOutsideAreaIsCountedNotWalked) {
  const Image source = MakeFlatImage(1, 1, MakePixel(9, 8, 7));
  // One colour sample against 10^12 samples in all: T = 255 * (N - 1) / N = 254.
  const auto result = ResampleTransparent(source, 1, 1, 1000000, 1000000, 0, 0);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->At(0, 0), MakePixel(9, 8, 7, 254));
  EXPECT_FALSE(ResampleTransparent(source, 1, 1, UINT32_MAX, UINT32_MAX, 0, 0));
}

TEST(FitWithin, KeepsTheAspectInsideTheBox) {
  const Image source = MakeFlatImage(400, 300, 0x00404040);
  auto wide = FitWithin(source, 100, 100);
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->Width(), 100u);
  EXPECT_EQ(wide->Height(), 75u);
  auto tall = FitWithin(source, 100, 50);
  ASSERT_TRUE(tall);
  EXPECT_EQ(tall->Width(), 66u);  // 400 * 50 / 300
  EXPECT_EQ(tall->Height(), 50u);
  auto thin = FitWithin(MakeFlatImage(1000, 1, 0), 10, 10);
  ASSERT_TRUE(thin);
  EXPECT_EQ(thin->Height(), 1u);  // 1 * 10 / 1000 = 0 becomes 1
  EXPECT_FALSE(FitWithin(source, 0, 10));
  EXPECT_FALSE(FitWithin(Image(), 10, 10));
}

TEST(Rotate, QuarterTurnAndTransposition) {
  const Image source = RedImage({{0, 1, 2}, {10, 11, 12}});
  const auto left = Rotate(source, -90);
  ASSERT_TRUE(left);
  ASSERT_EQ(left->Width(), 2u);
  ASSERT_EQ(left->Height(), 3u);
  EXPECT_EQ(Reds(*left), (std::vector<uint32_t>{2, 12, 1, 11, 0, 10}));
  const auto transposed = Rotate(source, 90);
  ASSERT_TRUE(transposed);
  EXPECT_EQ(Reds(*transposed), (std::vector<uint32_t>{0, 10, 1, 11, 2, 12}));
}

TEST(Rotate, RoundTripsAndRefusals) {
  const Image source = MakeImage(5, 3, [](uint32_t x, uint32_t y) { return x * 7 + y * 1000; });
  EXPECT_EQ(*Rotate(*Rotate(source, 90), 90), source);
  std::optional<Image> turned = source;
  for (int i = 0; i < 4; ++i) turned = Rotate(*turned, -90);
  EXPECT_EQ(*turned, source);
  EXPECT_NE(*Rotate(*Rotate(source, -90), -90), source);
  EXPECT_FALSE(Rotate(source, 45));
  EXPECT_FALSE(Rotate(source, 180));
  EXPECT_FALSE(Rotate(Image(), 90));
}

TEST(Mirror, ReversesColumnsOrRows) {
  const Image source = RedImage({{0, 1, 2}, {10, 11, 12}});
  EXPECT_EQ(Reds(*MirrorHorizontal(source)), (std::vector<uint32_t>{2, 1, 0, 12, 11, 10}));
  EXPECT_EQ(Reds(*MirrorVertical(source)), (std::vector<uint32_t>{10, 11, 12, 0, 1, 2}));
  EXPECT_FALSE(MirrorHorizontal(Image()));
  EXPECT_FALSE(MirrorVertical(Image()));
}

TEST(Paste, BlendOntoTransparentCopiesThenAverages) {
  Image canvas;
  ASSERT_TRUE(canvas.CreateTransparent(4, 3));
  const Image first = MakeFlatImage(2, 2, MakePixel(100, 50, 7));
  ASSERT_TRUE(Paste(canvas, 1, 1, first, PasteMode::Blend));
  EXPECT_EQ(canvas.At(1, 1), MakePixel(100, 50, 7));
  EXPECT_EQ(canvas.At(2, 2), MakePixel(100, 50, 7));
  EXPECT_EQ(canvas.At(0, 0), kTransparentBlack);
  EXPECT_EQ(canvas.At(3, 1), kTransparentBlack);

  const Image second = MakeFlatImage(1, 1, MakePixel(201, 0, 8));
  ASSERT_TRUE(Paste(canvas, 1, 1, second, PasteMode::Blend));
  EXPECT_EQ(canvas.At(1, 1), MakePixel(150, 25, 7));

  // A fully transparent source pixel keeps the target; a partly transparent one keeps its T.
  ASSERT_TRUE(Paste(canvas, 2, 1, MakeFlatImage(1, 1, 0xFF123456), PasteMode::Blend));
  EXPECT_EQ(canvas.At(2, 1), MakePixel(100, 50, 7));
  ASSERT_TRUE(Paste(canvas, 2, 1, MakeFlatImage(1, 1, MakePixel(0, 0, 0, 10)), PasteMode::Blend));
  EXPECT_EQ(canvas.At(2, 1), MakePixel(50, 25, 3, 10));
}

TEST(Paste, CopyClipsAtTopRightAndBottom) {
  const Image source = MakeImage(3, 3, [](uint32_t x, uint32_t y) { return 1 + x + 10 * y; });
  Image target = MakeFlatImage(4, 3, 0);
  ASSERT_TRUE(Paste(target, 2, -1, source, PasteMode::Copy));
  EXPECT_EQ(PixelsOf(target), (std::vector<Pixel>{0, 0, 11, 12, 0, 0, 21, 22, 0, 0, 0, 0}));

  target = MakeFlatImage(4, 3, 0);
  ASSERT_TRUE(Paste(target, 0, 2, source, PasteMode::Copy));
  EXPECT_EQ(PixelsOf(target), (std::vector<Pixel>{0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0}));

  target = MakeFlatImage(4, 3, 0);
  ASSERT_TRUE(Paste(target, 3, -2, source, PasteMode::Blend));
  EXPECT_EQ(PixelsOf(target), (std::vector<Pixel>{0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Paste, RefusesWithoutWritingAnything) {
  const Image source = MakeFlatImage(3, 3, 0x00FFFFFF);
  const Image blank = MakeFlatImage(4, 3, 0);
  Image target = blank;
  EXPECT_FALSE(Paste(target, 4, 0, source, PasteMode::Copy));
  EXPECT_FALSE(Paste(target, 0, 3, source, PasteMode::Copy));
  EXPECT_FALSE(Paste(target, 0, -3, source, PasteMode::Copy));  // ends exactly at the top
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
}

TEST(MeanDifference, MismatchesAndTinyImagesGiveAllOnes) {
  const Image small = MakeFlatImage(3, 3, 0);
  EXPECT_EQ(MeanDifference(small, small), UINT32_MAX);
  const Image ten = MakeFlatImage(10, 1, 0);
  EXPECT_EQ(MeanDifference(ten, MakeFlatImage(10, 1, MakePixel(4, 0, 0))), 40u);
  EXPECT_EQ(MeanDifference(ten, MakeFlatImage(1, 10, 0)), UINT32_MAX);
  EXPECT_EQ(MeanDifference(ten, Image()), UINT32_MAX);
}

TEST(MakeSeamless, NoCutIsAnExactCopy) {
  const Image source = MakeImage(4, 3, [](uint32_t x, uint32_t y) { return x * 40 + y * 4000; });
  const auto copy = MakeSeamless(source, 0, 0);
  ASSERT_TRUE(copy);
  EXPECT_EQ(*copy, source);
}

TEST(MakeSeamless, SizesAndRefusals) {
  const Image source = MakeFlatImage(6, 5, 0x00336699);
  const auto result = MakeSeamless(source, 2, 1);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->Width(), 4u);
  EXPECT_EQ(result->Height(), 4u);
  EXPECT_EQ(result->At(0, 0), 0x00336699u);  // a flat picture stays flat
  EXPECT_TRUE(MakeSeamless(source, 3, 2));   // strips as wide as what they fade into
  EXPECT_FALSE(MakeSeamless(source, 0, 5));
  EXPECT_FALSE(MakeSeamless(source, 6, 0));
  EXPECT_FALSE(MakeSeamless(source, 4, 0));  // 4 columns cannot fade into the 2 kept
  EXPECT_FALSE(MakeSeamless(source, 0, 3));
  EXPECT_FALSE(MakeSeamless(Image(), 0, 0));
}

TEST(MakeSeamless, BottomStripFadesIntoTheTop) {
  const Image column = RedImage({{10}, {20}, {200}, {100}});
  const auto result = MakeSeamless(column, 0, 2);
  ASSERT_TRUE(result);
  // Row 0: (200*255 + 10*1) / 256; row 1: (100*127 + 20*129) / 256.
  EXPECT_EQ(Reds(*result), (std::vector<uint32_t>{199, 59}));
}

TEST(MakeSeamless, RightStripFadesIntoTheLeft) {
  const Image row = MakeImage(4, 1, [](uint32_t x, uint32_t) {
    const uint32_t green[] = {10, 20, 200, 100};
    return MakePixel(0, green[x], 0);
  });
  const auto result = MakeSeamless(row, 2, 0);
  ASSERT_TRUE(result);
  EXPECT_EQ(PixelsOf(*result), (std::vector<Pixel>{MakePixel(0, 199, 0), MakePixel(0, 59, 0)}));
}

TEST(MakeSeamless, TransparentStripAddsNoColour) {
  const Image column = MakeImage(1, 2, [](uint32_t, uint32_t y) {
    return y == 0 ? MakePixel(100, 0, 0) : MakePixel(200, 0, 0, 255);
  });
  const auto result = MakeSeamless(column, 0, 1);
  ASSERT_TRUE(result);
  // Colour only from the kept pixel (weight 1); T = 255 * 255 / 256.
  EXPECT_EQ(result->At(0, 0), MakePixel(100, 0, 0, 254));
}

TEST(MakeSeamless, PartlyTransparentPixelsFadeThroughTheAccumulator) {
  const Image column = MakeImage(1, 4, [](uint32_t, uint32_t y) {
    return y == 1 ? MakePixel(255, 0, 0, 1) : MakePixel(0, 0, 0);
  });
  const auto result = MakeSeamless(column, 0, 2);
  ASSERT_TRUE(result);
  // Row 1, q = 128: the cut black pixel weighs 127, the kept red one 129 * 254 / 255 = 128.
  EXPECT_EQ(result->At(0, 1), MakePixel(255 * 128 / 255, 0, 0, 129 / 256));
}

TEST(MakeSeamless, BothStripsFadeOneAfterTheOther) {
  const Image corner = RedImage({{0, 0}, {0, 255}});
  const auto result = MakeSeamless(corner, 1, 1);
  ASSERT_TRUE(result);
  // Vertical step: A = (0, 255*255/256 = 254); horizontal: 254*255/256 = 253.
  EXPECT_EQ(Reds(*result), (std::vector<uint32_t>{253}));
}

}  // namespace
}  // namespace tessarix
