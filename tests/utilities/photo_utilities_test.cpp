#include "utilities/photo_utilities.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/text_format.h"
#include "test_support.h"

namespace tessarix {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

Pixel Grey(uint32_t v) {
  return MakePixel(v, v, v);
}

// The green level at (x, y) of the JPEG at `path`, -1 when it cannot be read.
int GreyAt(const std::string& path, uint32_t x, uint32_t y) {
  Image image;
  return image.LoadJpeg(path) ? static_cast<int>(Green(image.At(x, y))) : -1;
}

// The luminance DC quantiser shows the encoder's quality: 16 scaled by 5000 / q or 200 - 2q
// percent, rounded, at least 1.
int DcQuantiser(const std::string& path) {
  const std::vector<unsigned char> bytes = test::ReadBytes(path);
  for (size_t i = 0; i + 5 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDB)
      return bytes[i + 5];
  return -1;
}

// A busy picture, so that every quality loses something different.
Image Busy(uint32_t width, uint32_t height) {
  return test::MakeImage(width, height, [](uint32_t x, uint32_t y) {
    return MakePixel((x * 37 + y * 11) % 256, (x * x + y * 5) % 256, (x * y * 3) % 256);
  });
}

TEST(OutputStem, CutsFourCharactersButNeverTheFolder) {
  EXPECT_EQ(OutputStem("/p/cat.jpg"), "/p/cat");
  EXPECT_EQ(OutputStem("/p/x.jpeg"), "/p/x.");
  EXPECT_EQ(OutputStem("/p/ab"), "/p/");
}

TEST(SeamlessCommands, WallpaperAndCutBordersWriteTheSameCutPicture) {
  TempDir dir;
  const std::string path = dir.File("sea.jpg");
  // A ninth of each side is cut (how it fades in is the seamless picture's own test).
  test::WriteJpeg(Busy(900, 600), path, 100);
  const PhotoUtilityResult wall = PhotoToWallpaper(path), cut = CutBorders(path);
  ASSERT_EQ(wall.written, std::vector<std::string>{dir.File("sea WallPaper.jpg")});
  ASSERT_EQ(cut.written, std::vector<std::string>{dir.File("sea CutBorder.jpg")});
  EXPECT_EQ(DcQuantiser(wall.written[0]), 1);  // quality 100
  EXPECT_EQ(DcQuantiser(cut.written[0]), 6);   // quality 80: (16 * 40 + 50) / 100
  for (const std::string& file : {wall.written[0], cut.written[0]}) {
    Image out;
    ASSERT_TRUE(out.LoadJpeg(file));
    EXPECT_EQ(std::tuple(out.Width(), out.Height()), std::tuple(800u, 534u));
  }

  const PhotoUtilityResult missing = CutBorders(dir.File("gone.jpg"));
  ASSERT_FALSE(missing.status);
  EXPECT_EQ(missing.status.Why().path, dir.File("gone.jpg"));
  EXPECT_FALSE(fs::exists(dir.File("gone CutBorder.jpg")));
}

TEST(JpgQualityTest, TwentyFilesNamedAfterTheirDifferenceAndNoTargetReplaced) {
  TempDir dir;
  const std::string path = dir.File("cat.jpg"), folder = dir.Folder() + "PhotoUtility/";
  test::WriteJpeg(Busy(40, 30), path);
  const PhotoUtilityResult result = JpgQualityTest(path);
  ASSERT_TRUE(result.status);
  ASSERT_EQ(result.steps.size(), 20u);
  for (const QualityStep& step : result.steps) {
    ASSERT_TRUE(step.difference);
    EXPECT_EQ(step.path, folder + Format("cat_Q%03d_D%04u.jpg", step.quality, *step.difference));
  }
  EXPECT_EQ(DcQuantiser(result.steps[0].path), 160);  // quality 5: (16 * 1000 + 50) / 100
  EXPECT_EQ(DcQuantiser(result.steps[9].path), 16);   // quality 50

  // Second run: every target is taken, so the new files keep their "_Q" names.
  std::ofstream(result.steps[9].path) << "keep";
  const PhotoUtilityResult again = JpgQualityTest(path);
  ASSERT_TRUE(again.status);
  EXPECT_EQ(again.steps[9].path, folder + "cat_Q050.jpg");
  EXPECT_EQ(test::ReadBytes(result.steps[9].path),
            (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 40);

  // Nine pixels keep the "_Q" names; a file where the folder should be stops at once, without
  // one "Can't open" box per quality.
  test::WriteJpeg(Busy(3, 3), dir.File("tiny.jpg"));
  const PhotoUtilityResult tiny = JpgQualityTest(dir.File("tiny.jpg"));
  ASSERT_TRUE(tiny.status);
  for (const QualityStep& step : tiny.steps) {
    EXPECT_FALSE(step.difference);
    EXPECT_EQ(step.path, folder + Format("tiny_Q%03d.jpg", step.quality));
    EXPECT_TRUE(fs::exists(step.path));
  }
  TempDir other;
  test::RecordingPrompt prompt;
  test::WriteJpeg(Busy(40, 30), other.File("cat.jpg"));
  std::ofstream(other.File("PhotoUtility")) << "a file in the way";
  const PhotoUtilityResult blocked = JpgQualityTest(other.File("cat.jpg"));
  EXPECT_FALSE(blocked.status);
  EXPECT_TRUE(blocked.steps.empty());
  EXPECT_TRUE(prompt.messages.empty());
}

TEST(DeInterlaceSeriesAndMaskAnalysis, FilesNamedAfterTheSourceWithTheirPictures) {
  TempDir dir;
  const std::string path = dir.File("cat.jpg");
  // Even rows 200, odd rows 20.
  test::WriteJpeg(
      test::MakeImage(16, 16, [](uint32_t, uint32_t y) { return Grey(y % 2 ? 20 : 200); }), path,
      100);
  const PhotoUtilityResult result = DeInterlaceSeries(path);
  ASSERT_EQ(result.written.size(), 8u);
  for (uint32_t i = 0; i < 8; ++i) {
    ASSERT_EQ(result.written[i], dir.File(Format("cat DeInterlace%03u.jpg", 30 + 10 * i)));
    EXPECT_EQ(DcQuantiser(result.written[i]), 2);  // quality 95: (16 * 10 + 50) / 100
  }
  // Strength 30: (70 * 20 + 15 * 200 + 15 * 200) / 100 = 74; strength 100: (200 + 200) / 2.
  EXPECT_NEAR(GreyAt(result.written[0], 5, 7), 74, 8);
  EXPECT_NEAR(GreyAt(result.written[7], 5, 7), 200, 8);

  // The area map, not the mask, keeping the extension in its name: the second of two areas is
  // 16777215 - 16777215 / 5 = 0xCCCCCC.
  test::WriteJpeg(
      test::MakeImage(40, 20, [](uint32_t x, uint32_t) { return Grey(x < 20 ? 0 : 255); }),
      dir.File("heart.jpg"), 100);
  const PhotoUtilityResult map = MaskFileAnalysis(dir.File("heart.jpg"));
  ASSERT_EQ(map.written, std::vector<std::string>{dir.File("heart.jpg Mask.jpg")});
  EXPECT_NEAR(GreyAt(map.written[0], 34, 10), 204, 4);
  EXPECT_FALSE(MaskFileAnalysis(dir.File("gone.jpg")).status);
}

}  // namespace
}  // namespace tessarix
