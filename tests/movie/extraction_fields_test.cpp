#include "movie/extraction_fields.h"

#include <gtest/gtest.h>

#include "movie/frame_extraction.h"
#include "movie/movie_stream.h"
#include "test_support.h"
#include "test_video.h"

namespace tessarix {
namespace {

using test::RecordingPrompt;
using test::TempDir;

TEST(ExtractionFieldsTest, DefaultsProposeEveryFrameUpTo5000AndTextsRoundTrip) {
  const ExtractionFields fields = DefaultExtractionFields(100, 640, 480);
  EXPECT_EQ(fields.sizeX, 640u);
  EXPECT_EQ(fields.sizeY, 480u);
  EXPECT_EQ(fields.stopFrame, 100u);
  EXPECT_EQ(fields.howManyFrames, 101);
  EXPECT_EQ(DefaultExtractionFields(0, 1, 1).howManyFrames, 1);
  EXPECT_EQ(DefaultExtractionFields(1, 1, 1).howManyFrames, 2);
  EXPECT_EQ(DefaultExtractionFields(4999, 1, 1).howManyFrames, 5000);
  EXPECT_EQ(DefaultExtractionFields(5000, 1, 1).howManyFrames, 5000);
  EXPECT_EQ(DefaultExtractionFields(2147483647u, 1, 1).howManyFrames, 5000);

  ExtractionFieldTexts texts = ToTexts(fields);
  texts.posX = " 12 ";
  texts.howManyFrames = "-3";
  texts.jpgQuality = "+100";
  FieldProblem problem;
  const auto parsed = ParseExtractionFields(texts, &problem);
  ASSERT_TRUE(parsed.has_value()) << problem.message;
  EXPECT_EQ(parsed->posX, 12u);
  EXPECT_EQ(parsed->stopFrame, 100u);
  EXPECT_EQ(parsed->howManyFrames, -3);
  EXPECT_EQ(parsed->jpgQuality, 100u);
  EXPECT_EQ(parsed->filePrefix, "FR");
}

TEST(ExtractionFieldsTest, RefusedBoxesNameTheFieldAndThePrompt) {
  const ExtractionFieldTexts good = ToTexts(DefaultExtractionFields(100, 64, 48));
  struct Case {
    std::string ExtractionFieldTexts::*box;
    std::string text;
    const char* field;
    const char* message;
  };
  const Case cases[] = {
      {&ExtractionFieldTexts::posX, "-1", "posX", "Please enter a positive integer."},
      {&ExtractionFieldTexts::posY, "", "posY", "Please enter a positive integer."},
      {&ExtractionFieldTexts::sizeX, "12a", "sizeX", "Please enter a positive integer."},
      {&ExtractionFieldTexts::stopFrame, "4294967296", "stopFrame",
       "Please enter a positive integer."},
      {&ExtractionFieldTexts::howManyFrames, "2147483648", "howManyFrames",
       "Please enter an integer."},
      {&ExtractionFieldTexts::howManyFrames, "-", "howManyFrames", "Please enter an integer."},
      {&ExtractionFieldTexts::jpgQuality, "0", "jpgQuality",
       "Please enter an integer between 1 and 100."},
      {&ExtractionFieldTexts::jpgQuality, "101", "jpgQuality",
       "Please enter an integer between 1 and 100."},
      {&ExtractionFieldTexts::filePrefix, std::string(101, 'a'), "filePrefix",
       "Please enter no more than 100 characters."},
      {&ExtractionFieldTexts::filePrefix, "../FR", "filePrefix",
       "Please enter a prefix without \"/\"."},
  };
  for (const Case& c : cases) {
    ExtractionFieldTexts texts = good;
    texts.*c.box = c.text;
    FieldProblem problem;
    EXPECT_FALSE(ParseExtractionFields(texts, &problem).has_value()) << c.text;
    EXPECT_EQ(problem.field, c.field) << c.text;
    EXPECT_EQ(problem.message, c.message) << c.text;
  }
  ExtractionFieldTexts edges = good;
  edges.startFrame = "4294967295";
  edges.howManyFrames = "-2147483648";
  edges.filePrefix = std::string(100, 'a');
  const auto parsed = ParseExtractionFields(edges, nullptr);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->startFrame, 4294967295u);
  EXPECT_EQ(parsed->howManyFrames, INT32_MIN);
}

TEST(ExtractionFieldsTest, FrameTimeLabelShowsTheRoundedRate) {
  EXPECT_EQ(FrameTimeLabel(25, 1), ". (1/25s)");
  EXPECT_EQ(FrameTimeLabel(30000, 1001), ". (1/30s)");
  EXPECT_EQ(FrameTimeLabel(0, 0), ". (1/0s)");
}

TEST(ExtractionFieldsTest, SampleFrameChoices) {
  ExtractionFields fields;
  fields.startFrame = 10;
  fields.stopFrame = 110;
  EXPECT_EQ(RandomSampleFrame(fields, 0), 10);
  EXPECT_EQ(RandomSampleFrame(fields, 16384), 60);   // 10 + 1638400 / 32768
  EXPECT_EQ(RandomSampleFrame(fields, 32767), 109);  // 10 + 3276700 / 32768 = 10 + 99.99
  EXPECT_EQ(FirstSampleFrame(fields), 10);
  EXPECT_EQ(LastSampleFrame(fields), 109);
  fields.startFrame = 0;
  fields.stopFrame = 1000000;                           // 32767 * 1000000 does not fit 32 bits
  EXPECT_EQ(RandomSampleFrame(fields, 32767), 999969);  // 32767000000 / 32768 = 999969.48
  fields.stopFrame = 0;
  EXPECT_EQ(LastSampleFrame(fields), -1);
}

TEST(ExtractionFieldsTest, RangeCheckWantsStartStopAndCountInOrder) {
  TempDir dir;
  test::VideoSpec video;
  video.frames = 12;
  ASSERT_TRUE(test::WriteCodedVideo(dir.File("clip.avi"), video));
  RecordingPrompt prompt;
  ExtractionFields fields = DefaultExtractionFields(12, 48, 16);
  EXPECT_FALSE(CheckFrameRange(nullptr, fields));
  EXPECT_TRUE(prompt.messages.empty());
  MovieStream stream;
  ASSERT_TRUE(stream.Open(dir.File("clip.avi")));
  EXPECT_TRUE(CheckFrameRange(&stream, fields));
  fields.startFrame = 12;
  EXPECT_TRUE(CheckFrameRange(&stream, fields));  // start = stop = count
  fields.stopFrame = 13;
  EXPECT_FALSE(CheckFrameRange(&stream, fields));
  fields.startFrame = 6;
  fields.stopFrame = 5;
  EXPECT_FALSE(CheckFrameRange(&stream, fields));
  ASSERT_EQ(prompt.messages.size(), 2u);
  EXPECT_EQ(prompt.messages[0], "The value start/stop frame value should be between 0 and 12");
}

TEST(ExtractionFieldsTest, CutOutMapsOntoTheFittedFrame) {
  ExtractionFields fields = DefaultExtractionFields(1, 640, 480);
  fields.posX = 64;
  fields.sizeX = 320;
  fields.posY = 48;
  fields.sizeY = 240;
  // 64/640*318 = 31.8, 383/640*318 = 190.3, 48/480*238 = 23.8, 287/480*238 = 142.3
  auto r = MapCutOut(fields, 640, 480, 318, 238);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->left, 31);
  EXPECT_EQ(r->right, 190);
  EXPECT_EQ(r->top, 23);
  EXPECT_EQ(r->bottom, 142);
  // The whole frame: 639/640*318 = 317.5 and 479/480*238 = 237.5, just inside.
  r = MapCutOut(DefaultExtractionFields(1, 640, 480), 640, 480, 318, 238);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->right, 317);
  EXPECT_EQ(r->bottom, 237);
  // Enlarged and empty: left 16/64*318 = 79.5, right 15/64*318 = 74.5 ends up left of it.
  fields.posX = 16;
  fields.sizeX = 0;
  EXPECT_FALSE(MapCutOut(fields, 64, 48, 318, 238).has_value());
  EXPECT_FALSE(MapCutOut(fields, 0, 480, 318, 238).has_value());
}

TEST(ExtractionFieldsTest, SampleFrameIsFittedCentredAndOutlined) {
  TempDir dir;
  test::VideoSpec video;
  video.width = 64;
  video.height = 16;
  video.frames = 3;
  ASSERT_TRUE(test::WriteVideo(dir.File("dark.avi"), video, [](int) {
    return test::MakeFlatImage(64, 16, MakePixel(40, 40, 40));
  }));
  RecordingPrompt prompt;
  MovieStream stream;
  ASSERT_TRUE(stream.Open(dir.File("dark.avi")));
  ExtractionFields fields = DefaultExtractionFields(stream);
  fields.posX = 16;
  fields.sizeX = 32;
  fields.posY = 4;
  fields.sizeY = 8;
  // 34 x 10 leaves 32 x 8 inside the margin: the 64 x 16 frame halves exactly, placed at 1,1.
  // Rectangle: left 16/64*32 = 8, right 47/64*32 = 23.5, top 4/16*8 = 2, bottom 11/16*8 = 5.5.
  const auto display = DrawSampleFrame(&stream, fields, 1, 34, 10);
  ASSERT_TRUE(display.has_value());
  ASSERT_EQ(display->Width(), 34u);
  ASSERT_EQ(display->Height(), 10u);
  const Pixel white = MakePixel(255, 255, 255);
  EXPECT_EQ(display->At(0, 0), MakePixel(0, 0, 0));
  EXPECT_EQ(display->At(33, 9), MakePixel(0, 0, 0));
  EXPECT_EQ(display->At(1 + 8, 1 + 2), white);
  EXPECT_EQ(display->At(1 + 15, 1 + 2), white);
  EXPECT_EQ(display->At(1 + 23, 1 + 5), white);
  EXPECT_EQ(display->At(1 + 8, 1 + 4), white);
  EXPECT_EQ(display->At(1 + 24, 1 + 5), display->At(1 + 30, 1 + 6));  // outside: frame grey
  EXPECT_NE(display->At(1 + 15, 1 + 4), white);                       // inside: frame grey
  EXPECT_NE(display->At(1 + 15, 1 + 4), MakePixel(0, 0, 0));
  EXPECT_TRUE(prompt.messages.empty());

  EXPECT_FALSE(DrawSampleFrame(&stream, fields, 3, 34, 10).has_value());  // past the end
  EXPECT_FALSE(DrawSampleFrame(nullptr, fields, 0, 34, 10).has_value());
  fields.sizeX = 0;
  EXPECT_FALSE(DrawSampleFrame(&stream, fields, 0, 34, 10).has_value());
  fields.sizeX = 32;
  fields.posY = 9;
  EXPECT_FALSE(DrawSampleFrame(&stream, fields, 0, 34, 10).has_value());
  EXPECT_EQ(
      prompt.messages,
      (std::vector<std::string>{"The value PosX+SizeX (16+0) must not exceed the Frame Width 64",
                                "The value PosY+SizeY (9+8) must not exceed the Frame Height 16"}));
}

}  // namespace
}  // namespace tessarix
