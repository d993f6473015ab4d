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
  Image out;
  ASSERT_TRUE(out.LoadJpeg(cut.written[0]));
  EXPECT_EQ(std::tuple(out.Width(), out.Height()), std::tuple(800u, 534u));
  EXPECT_EQ(test::KindOf(CutBorders(dir.File("gone.jpg")).status), FailureKind::kCannotRead);
}

TEST(JpgQualityTest, TwentyFilesNamedAfterTheirDifferenceAndNoTargetReplaced) {
  TempDir dir;
  const std::string path = dir.File("cat.jpg"), folder = dir.Folder() + "PhotoUtility/";
  test::WriteJpeg(Busy(40, 30), path);
  const PhotoUtilityResult result = JpgQualityTest(path);
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
  EXPECT_EQ(again.steps[9].path, folder + "cat_Q050.jpg");
  EXPECT_EQ(test::ReadBytes(result.steps[9].path),
            (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 40);

  // Nine pixels keep the "_Q" names; a file where the folder should be stops at once, without
  // one "Can't open" box per quality.
  test::WriteJpeg(Busy(3, 3), dir.File("tiny.jpg"));
  const PhotoUtilityResult tiny = JpgQualityTest(dir.File("tiny.jpg"));
  ASSERT_EQ(tiny.written.size(), 20u);
  EXPECT_EQ(std::tuple(tiny.steps[19].difference.has_value(), tiny.written[19]),
            std::tuple(false, folder + "tiny_Q100.jpg"));
  TempDir other;
  test::RecordingPrompt prompt;
  test::WriteJpeg(Busy(40, 30), other.File("cat.jpg"));
  std::ofstream(other.File("PhotoUtility")) << "a file in the way";
  const PhotoUtilityResult blocked = JpgQualityTest(other.File("cat.jpg"));
  EXPECT_EQ(std::tuple(test::KindOf(blocked.status), blocked.steps.size(), prompt.messages.size()),
            std::tuple(FailureKind::kCannotCreate, 0u, 0u));
}

TEST(DeInterlaceSeriesAndMaskAnalysis, FilesNamedAfterTheSourceWithTheirPictures) {
  TempDir dir;
  const std::string path = dir.File("cat.jpg");
  // The strengths' arithmetic is the de-interlacing's own test.
  test::WriteJpeg(Busy(16, 16), path);
  const PhotoUtilityResult result = DeInterlaceSeries(path);
  ASSERT_EQ(result.written.size(), 8u);
  for (uint32_t i = 0; i < 8; ++i) {
    ASSERT_EQ(result.written[i], dir.File(Format("cat DeInterlace%03u.jpg", 30 + 10 * i)));
    EXPECT_EQ(DcQuantiser(result.written[i]), 2);  // quality 95: (16 * 10 + 50) / 100
  }

  // The area map (its colours are the mask cells' own test), keeping the extension in its name.
  test::WriteJpeg(test::MakeFlatImage(40, 20, MakePixel(90, 90, 90)), dir.File("heart.jpg"));
  const PhotoUtilityResult map = MaskFileAnalysis(dir.File("heart.jpg"));
  EXPECT_EQ(map.written, std::vector<std::string>{dir.File("heart.jpg Mask.jpg")});
  EXPECT_FALSE(MaskFileAnalysis(dir.File("gone.jpg")).status);
}

}  // namespace
}  // namespace tessarix
