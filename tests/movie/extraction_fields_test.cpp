#include "movie/extraction_fields.h"

#include <gtest/gtest.h>

#include "movie/frame_extraction.h"
#include "movie/movie_stream.h"
#include "test_support.h"
#include "test_video.h"

namespace tessarix {
namespace {

TEST(ExtractionFieldsTest, DefaultsBoxesFrameTimeAndSampleFrames) {
  for (const auto& [frames, howMany] :
       {std::pair{0u, 1}, {4999u, 5000}, {5000u, 5000}, {2147483647u, 5000}})
    EXPECT_EQ(DefaultExtractionFields(frames, 1, 1).howManyFrames, howMany) << frames;
  const ExtractionFields fields = DefaultExtractionFields(100, 640, 480);

  using T = ExtractionFieldTexts;
  T texts = ToTexts(fields);
  texts.posX = " 12 ";
  texts.startFrame = "4294967295";
  texts.howManyFrames = "-2147483648";
  texts.jpgQuality = "+100";
  texts.filePrefix = std::string(100, 'a');
  const auto parsed = ParseExtractionFields(texts, nullptr);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(std::tuple(parsed->posX, parsed->sizeY, parsed->startFrame, parsed->stopFrame,
                       parsed->howManyFrames, parsed->jpgQuality, parsed->filePrefix),
            std::tuple(12u, 480u, 4294967295u, 100u, INT32_MIN, 100u, texts.filePrefix));

  const struct {
    std::string T::*box;
    std::string text;
    std::string field, message;
  } refused[] = {
      {&T::posX, "-1", "posX", "Please enter a positive integer."},
      {&T::sizeX, "12a", "sizeX", "Please enter a positive integer."},
      {&T::stopFrame, "4294967296", "stopFrame", "Please enter a positive integer."},
      {&T::howManyFrames, "2147483648", "howManyFrames", "Please enter an integer."},
      {&T::jpgQuality, "0", "jpgQuality", "Please enter an integer between 1 and 100."},
      {&T::jpgQuality, "101", "jpgQuality", "Please enter an integer between 1 and 100."},
      {&T::filePrefix, std::string(101, 'a'), "filePrefix",
       "Please enter no more than 100 characters."},
      {&T::filePrefix, "../FR", "filePrefix", "Please enter a prefix without \"/\"."},
  };
  for (const auto& c : refused) {
    T bad = ToTexts(fields);
    bad.*c.box = c.text;
    FieldProblem problem;
    EXPECT_FALSE(ParseExtractionFields(bad, &problem).has_value()) << c.text;
    EXPECT_EQ(std::pair(problem.field, problem.message), std::pair(c.field, c.message)) << c.text;
  }

  // 30000 / 1001 = 29.97, + 0.5 rounds to 30.
  EXPECT_EQ(std::tuple(FrameTimeLabel(25, 1), FrameTimeLabel(30000, 1001), FrameTimeLabel(0, 0)),
            std::tuple(". (1/25s)", ". (1/30s)", ". (1/0s)"));

  // 10 + 32767 * 100 / 32768 = 10 + 99.99; 32767 * 1000000 does not fit 32 bits, / 32768 it is
  // 999969.48.
  ExtractionFields sample{.startFrame = 10, .stopFrame = 110};
  EXPECT_EQ(std::tuple(RandomSampleFrame(sample, 0), RandomSampleFrame(sample, 32767),
                       FirstSampleFrame(sample), LastSampleFrame(sample)),
            std::tuple(10, 109, 10, 109));
  sample = {.stopFrame = 1000000};
  EXPECT_EQ(RandomSampleFrame(sample, 32767), 999969);
  sample.stopFrame = 0;
  EXPECT_EQ(LastSampleFrame(sample), -1);
  // A frame without width or height has no cut-out to map (and nothing to divide by).
  EXPECT_FALSE(MapCutOut(fields, 0, 480, 318, 238) || MapCutOut(fields, 640, 0, 318, 238));
}

TEST(ExtractionFieldsTest, RangeCheckAndSampleFrameOnAMovie) {
  test::TempDir dir;
  ASSERT_TRUE(test::WriteVideo(dir.File("dark.avi"), {.width = 64, .frames = 12}, [](int) {
    return test::MakeFlatImage(64, 16, MakePixel(40, 40, 40));
  }));
  test::RecordingPrompt prompt;
  ExtractionFields fields = DefaultExtractionFields(12, 64, 16);
  EXPECT_FALSE(CheckFrameRange(nullptr, fields));  // without a message
  EXPECT_FALSE(DrawSampleFrame(nullptr, fields, 0, 34, 10).has_value());
  MovieStream stream;
  ASSERT_TRUE(stream.Open(dir.File("dark.avi")));
  for (const auto& [start, stop, within] :
       {std::tuple{12u, 12u, true}, {12u, 13u, false}, {6u, 5u, false}}) {  // count 12
    fields.startFrame = start;
    fields.stopFrame = stop;
    EXPECT_EQ(CheckFrameRange(&stream, fields), within) << start << "-" << stop;
  }
  EXPECT_EQ(prompt.messages, std::vector<std::string>(
                                 2, "The value start/stop frame value should be between 0 and 12"));

  prompt.messages.clear();
  fields = {.posX = 16, .posY = 4, .sizeX = 32, .sizeY = 8, .stopFrame = 12};
  // 34 x 10 leaves 32 x 8 inside the margin: the 64 x 16 frame halves exactly, placed at 1,1.
  // Rectangle: left 16/64*32 = 8, right 47/64*32 = 23.5, top 4/16*8 = 2, bottom 11/16*8 = 5.5.
  const auto display = DrawSampleFrame(&stream, fields, 1, 34, 10);
  ASSERT_TRUE(display.has_value());
  ASSERT_EQ(std::tuple(display->Width(), display->Height()), std::tuple(34u, 10u));
  const auto at = [&](uint32_t x, uint32_t y) { return display->At(x, y); };
  const Pixel white = MakePixel(255, 255, 255), black = MakePixel(0, 0, 0);
  // The margin is black, the rectangle's edges white, the frame grey inside and outside them.
  EXPECT_EQ(std::vector<Pixel>({at(0, 0), at(33, 9), at(9, 3), at(16, 3), at(24, 6), at(9, 5)}),
            std::vector<Pixel>({black, black, white, white, white, white}));
  EXPECT_TRUE(at(16, 5) != white && at(16, 5) != black);

  EXPECT_FALSE(DrawSampleFrame(&stream, fields, 12, 34, 10).has_value());  // past the end
  for (const auto& [w, h] : {std::pair(2u, 10u), std::pair(34u, 2u)})  // no room inside the margin
    EXPECT_FALSE(DrawSampleFrame(&stream, fields, 1, w, h).has_value()) << w << "x" << h;
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
