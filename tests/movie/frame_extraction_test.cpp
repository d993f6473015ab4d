#include "movie/frame_extraction.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "movie/movie_stream.h"
#include "platform/text_format.h"
#include "test_support.h"
#include "test_video.h"

namespace tessarix {
namespace {

namespace fs = std::filesystem;
using test::RecordingPrompt;

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

int CodeOfJpeg(const std::string& path) {
  Image image;
  return image.LoadJpeg(path) ? test::ReadCode(image) : -2;
}

// Every frame file is synced to disk as it is written; a folder in memory keeps the tests that
// write thousands of frames fast. Falls back to the system's temporary folder.
class ScratchDir {
 public:
  ScratchDir() {
    std::error_code error;
    const fs::path parent =
        fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (parent / "tessarix-movie-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
      ADD_FAILURE() << "cannot create " << pattern;
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// A movie of `frames` coded frames in its own folder, opened, with a status recorder.
struct Movie {
  explicit Movie(int frames, uint32_t width = 48, uint32_t height = 16) {
    test::VideoSpec video;
    video.frames = frames;
    video.width = width;
    video.height = height;
    path = dir.File("clip.avi");
    EXPECT_TRUE(test::WriteCodedVideo(path, video));
    EXPECT_TRUE(stream.Open(path));
  }
  ExtractionResult Extract(const ExtractionFields& fields) {
    return ExtractFrames(stream, path, fields,
                         [this](const std::string& text) { statuses.push_back(text); });
  }
  std::string Folder(int n) const { return FramesFolderName(dir.File("clip"), n); }

  ScratchDir dir;
  std::string path;
  MovieStream stream;
  std::vector<std::string> statuses;
};

TEST(FrameExtractionTest, NamesFollowTheMoviePath) {
  EXPECT_EQ(MovieBase("/v/clip.avi"), "/v/clip");
  EXPECT_EQ(MovieBase("/v/clip.part.mp4"), "/v/clip.part");
  EXPECT_EQ(MovieBase("/v.d/clip"), "/v.d/clip");
  EXPECT_EQ(FramesFolderName("/v/clip", 3), "/v/clip_FRAMES00003");
  EXPECT_EQ(FrameFileName("/v/clip", 1, "FR", 1, "jpg"), "/v/clip_FRAMES00001/FR00001.jpg");
  EXPECT_EQ(FrameFileName("/v/clip", 12, "%s", 123456, "bmp"), "/v/clip_FRAMES00012/%s123456.bmp");
}

TEST(FrameExtractionTest, DefaultsWriteEveryFrameIntoTheFirstFolder) {
  RecordingPrompt prompt;
  Movie movie(100);
  const ExtractionFields fields = DefaultExtractionFields(movie.stream);
  EXPECT_EQ(fields.stopFrame, 100u);
  EXPECT_EQ(fields.howManyFrames, 101);
  const ExtractionResult result = movie.Extract(fields);
  EXPECT_TRUE(result.finished);
  EXPECT_EQ(result.written, 100);
  EXPECT_EQ(result.firstFolder, 1u);
  EXPECT_EQ(movie.stream.SeekCount(), 0u);  // one pass through the file
  const auto names = FileNames(movie.Folder(1));
  ASSERT_EQ(names.size(), 100u);
  EXPECT_EQ(names.front(), "FR00001.jpg");
  EXPECT_EQ(names.back(), "FR00100.jpg");
  EXPECT_FALSE(fs::exists(movie.Folder(2)));
  for (int n : {1, 2, 50, 100})
    EXPECT_EQ(CodeOfJpeg(movie.Folder(1) + Format("/FR%05d.jpg", n)), n - 1);

  ASSERT_EQ(movie.statuses.size(), 101u);
  // Frame 0 is 0 % of the way, so no time is left to guess; frame 1 is 1 / 101 of the range.
  EXPECT_EQ(movie.statuses[0].rfind("Frame (1) 1 of 100, Completed 0.00%, Elapsed Time: ", 0), 0u);
  EXPECT_NE(movie.statuses[0].find(", ETA: 00:00:00"), std::string::npos);
  EXPECT_EQ(movie.statuses[1].rfind("Frame (2) 2 of 100, Completed 0.99%, Elapsed Time: ", 0), 0u);
  EXPECT_EQ(movie.statuses[99].rfind("Frame (100) 100 of 100, Completed 98.02%, ", 0), 0u);
  EXPECT_EQ(movie.statuses[100].rfind("Frames 100, Completed 100%, Elapsed Time: 00:00:", 0), 0u);
  EXPECT_TRUE(prompt.messages.empty());
}

TEST(FrameExtractionTest, TenFramesOfAHundredAreTakenEveryTenthFrame) {
  RecordingPrompt prompt;
  Movie movie(100);
  ExtractionFields fields = DefaultExtractionFields(movie.stream);
  fields.howManyFrames = 10;  // span 101, step 10.1
  movie.Extract(fields);
  const std::vector<std::string> expected = {
      "FR00001.jpg", "FR00011.jpg", "FR00021.jpg", "FR00031.jpg", "FR00041.jpg",
      "FR00051.jpg", "FR00061.jpg", "FR00071.jpg", "FR00081.jpg", "FR00091.jpg"};
  EXPECT_EQ(FileNames(movie.Folder(1)), expected);
  EXPECT_EQ(CodeOfJpeg(movie.Folder(1) + "/FR00071.jpg"), 70);
  EXPECT_EQ(movie.statuses.back().rfind("Frames 100, Completed 100%", 0), 0u);
}

TEST(FrameExtractionTest, ZeroOrNegativeFrameCountTakesOneFrame) {
  for (int howMany : {0, -5}) {
    RecordingPrompt prompt;
    Movie movie(20);
    ExtractionFields fields = DefaultExtractionFields(movie.stream);
    fields.startFrame = 4;
    fields.howManyFrames = howMany;
    EXPECT_EQ(movie.Extract(fields).written, 1);
    EXPECT_EQ(FileNames(movie.Folder(1)), std::vector<std::string>{"FR00005.jpg"});
  }
}

TEST(FrameExtractionTest, StopBeyondTheEndIsCutAtTheFrameCount) {
  RecordingPrompt prompt;
  Movie movie(30);
  ExtractionFields fields = DefaultExtractionFields(movie.stream);
  fields.startFrame = 25;
  fields.stopFrame = 500;
  fields.howManyFrames = 1000;
  EXPECT_FALSE(CheckFrameRange(&movie.stream, fields));  // the sample frames refuse it...
  EXPECT_EQ(movie.Extract(fields).written, 5);           // ...the extraction does not
  EXPECT_EQ(FileNames(movie.Folder(1)).back(), "FR00030.jpg");
  EXPECT_EQ(movie.statuses.back().rfind("Frames 30, Completed 100%", 0), 0u);

  // A start at or after the end writes nothing but still reports the end.
  movie.statuses.clear();
  fields.startFrame = 30;
  const ExtractionResult result = movie.Extract(fields);
  EXPECT_TRUE(result.finished);
  EXPECT_EQ(result.written, 0);
  EXPECT_FALSE(fs::exists(movie.Folder(2)));
  ASSERT_EQ(movie.statuses.size(), 1u);
  EXPECT_EQ(movie.statuses[0].rfind("Frames 30, Completed 100%, Elapsed Time: ", 0), 0u);
}

TEST(FrameExtractionTest, NewFoldersAfterExistingOnesAndEvery2000Frames) {
  RecordingPrompt prompt;
  Movie movie(2001, 16, 16);
  fs::create_directory(movie.Folder(1));
  fs::create_directory(movie.Folder(2));
  ExtractionFields fields = DefaultExtractionFields(movie.stream);
  ASSERT_EQ(fields.howManyFrames, 2002);
  const ExtractionResult result = movie.Extract(fields);
  EXPECT_EQ(result.written, 2001);
  EXPECT_EQ(result.firstFolder, 3u);
  const auto third = FileNames(movie.Folder(3));
  ASSERT_EQ(third.size(), 2000u);
  EXPECT_EQ(third.back(), "FR02000.jpg");
  EXPECT_EQ(FileNames(movie.Folder(4)), std::vector<std::string>{"FR02001.jpg"});
  EXPECT_TRUE(FileNames(movie.Folder(1)).empty());

  // Once more: 3 and 4 exist now, and so does 6, made by hand with a picture of its own.
  fs::create_directory(movie.Folder(6));
  test::WriteJpeg(test::MakeFlatImage(4, 4, MakePixel(1, 2, 3)), movie.Folder(6) + "/FR02001.jpg");
  const auto before = test::ReadBytes(movie.Folder(6) + "/FR02001.jpg");
  EXPECT_EQ(movie.Extract(fields).firstFolder, 5u);
  EXPECT_EQ(FileNames(movie.Folder(5)).size(), 2000u);
  EXPECT_EQ(FileNames(movie.Folder(7)), std::vector<std::string>{"FR02001.jpg"});
  EXPECT_EQ(test::ReadBytes(movie.Folder(6) + "/FR02001.jpg"), before);
}

TEST(FrameExtractionTest, CutOutSavesExactlyThatPartOfTheFrame) {
  RecordingPrompt prompt;
  Movie movie(3);
  ExtractionFields fields = DefaultExtractionFields(movie.stream);
  fields.posX = 8;
  fields.posY = 4;
  fields.sizeX = 18;  // 18 * 3 = 54 bytes, padded to 56
  fields.sizeY = 8;
  fields.writeJpg = false;
  fields.writeBmp = true;
  EXPECT_EQ(movie.Extract(fields).written, 3);
  EXPECT_EQ(FileNames(movie.Folder(1)),
            (std::vector<std::string>{"FR00001.bmp", "FR00002.bmp", "FR00003.bmp"}));
  const auto bmp = test::ReadBytes(movie.Folder(1) + "/FR00003.bmp");
  ASSERT_EQ(bmp.size(), 54u + 56u * 8u);
  const Dib* frame = movie.stream.Frame(2);
  ASSERT_NE(frame, nullptr);
  // BMP row r (bottom-up) is picture row 11 - r, which is DIB row 4 + r of the 16-row frame.
  const size_t stride = Dib::RowStride(48);
  for (size_t r = 0; r < 8; ++r) {
    const uint8_t* want = frame->bytes.data() + (4 + r) * stride + 8 * 3;
    EXPECT_TRUE(std::equal(want, want + 54, bmp.begin() + 54 + static_cast<long>(r * 56))) << r;
  }

  // The whole frame at 0,0 is saved as it is.
  fields = DefaultExtractionFields(movie.stream);
  fields.writeJpg = false;
  fields.writeBmp = true;
  movie.Extract(fields);
  const auto whole = test::ReadBytes(movie.Folder(2) + "/FR00002.bmp");
  const Dib* second = movie.stream.Frame(1);
  ASSERT_EQ(whole.size(), 54u + second->bytes.size());
  EXPECT_TRUE(std::equal(second->bytes.begin(), second->bytes.end(), whole.begin() + 54));
}

TEST(FrameExtractionTest, CutOutBeyondTheFrameIsRefused) {
  RecordingPrompt prompt;
  Movie movie(3);
  ExtractionFields fields = DefaultExtractionFields(movie.stream);
  fields.posX = 40;
  fields.sizeX = 9;  // 49 > 48
  EXPECT_FALSE(movie.Extract(fields).started);
  fields.posX = 4294967295u;  // would wrap round to 1 in 32 bits
  fields.sizeX = 2;
  EXPECT_FALSE(movie.Extract(fields).started);
  fields = DefaultExtractionFields(movie.stream);
  fields.sizeY = 17;
  EXPECT_FALSE(movie.Extract(fields).started);
  ASSERT_EQ(prompt.messages.size(), 3u);
  EXPECT_EQ(prompt.messages[2],
            "The specified Position/Size is bigger than the size of a single Frame");
  EXPECT_FALSE(fs::exists(movie.Folder(1)));
  EXPECT_TRUE(movie.statuses.empty());
}

TEST(FrameExtractionTest, RefusedSaveIsReportedAndTheNextStepsGoOn) {
  RecordingPrompt prompt;
  Movie movie(10);
  ExtractionFields fields = DefaultExtractionFields(movie.stream);
  // After the second frame a folder appears where the third file should go.
  movie.statuses.clear();
  const std::string third = movie.Folder(1) + "/FR00003.jpg";
  const ExtractionResult result =
      ExtractFrames(movie.stream, movie.path, fields, [&](const std::string& text) {
        movie.statuses.push_back(text);
        if (movie.statuses.size() == 2)
          fs::create_directory(third);
      });
  // The JPEG writer says which file it could not put in place, then the extraction its frame.
  EXPECT_EQ(prompt.messages, (std::vector<std::string>{"JpegFile :\nCan't open " + third + "\n",
                                                       "Cannot save frame nr.3."}));
  EXPECT_EQ(result.written, 10);  // the refused frame stays counted
  EXPECT_EQ(result.saveFailures, 1);
  EXPECT_EQ(CodeOfJpeg(movie.Folder(1) + "/FR00001.jpg"), 0);
  EXPECT_EQ(CodeOfJpeg(movie.Folder(1) + "/FR00002.jpg"), 1);
  EXPECT_EQ(CodeOfJpeg(movie.Folder(1) + "/FR00004.jpg"), 3);
  EXPECT_EQ(CodeOfJpeg(movie.Folder(1) + "/FR00010.jpg"), 9);
  EXPECT_EQ(movie.statuses.size(), 10u);  // nine frames and the end, none for the refused one
}

TEST(FrameExtractionTest, AfterARefusedSaveTheStepStartsFromThatFrame) {
  RecordingPrompt prompt;
  Movie movie(100);
  ExtractionFields fields = DefaultExtractionFields(movie.stream);
  fields.howManyFrames = 3;          // span 101, step 33.67: frames 0, 33, 67 when all goes well
  fields.filePrefix = "missing/FR";  // no such folder: every save is refused
  movie.Extract(fields);
  std::vector<std::string> ours;  // the JPEG writer adds its own "Can't open" before each
  for (const auto& text : prompt.messages)
    if (text.rfind("Cannot save", 0) == 0)
      ours.push_back(text);
  // 0, then trunc(0 + 33.67) = 33, then trunc(33 + 33.67) = 66.
  EXPECT_EQ(ours, (std::vector<std::string>{"Cannot save frame nr.1.", "Cannot save frame nr.34.",
                                            "Cannot save frame nr.67."}));
}

TEST(FrameExtractionTest, FolderThatCannotBeMadeStopsWithOneMessage) {
  RecordingPrompt prompt;
  Movie movie(10);
  // The folder would go inside something that is a file.
  { std::ofstream(movie.dir.File("plain")) << "x"; }
  const ExtractionResult result = ExtractFrames(
      movie.stream, movie.dir.File("plain/clip.avi"), DefaultExtractionFields(movie.stream),
      [&](const std::string& text) { movie.statuses.push_back(text); });
  EXPECT_TRUE(result.started);
  EXPECT_FALSE(result.finished);
  EXPECT_EQ(prompt.messages, std::vector<std::string>{"Cannot save frame nr.1."});
  EXPECT_TRUE(movie.statuses.empty());
}

TEST(FrameExtractionTest, UnreadableFramesAreSkippedAndNotCounted) {
  RecordingPrompt prompt;
  Movie movie(100);
  movie.stream.Close();
  fs::resize_file(movie.path, fs::file_size(movie.path) * 7 / 10);
  ASSERT_TRUE(movie.stream.Open(movie.path));
  ExtractionFields fields = DefaultExtractionFields(movie.stream);
  const ExtractionResult result = movie.Extract(fields);
  EXPECT_TRUE(result.finished);
  EXPECT_GT(result.written, 0);
  EXPECT_EQ(result.written + result.unreadable, 100);
  const auto names = FileNames(movie.Folder(1));
  EXPECT_EQ(names.size(), static_cast<size_t>(result.written));
  EXPECT_EQ(CodeOfJpeg(movie.Folder(1) + "/" + names.back()), result.written - 1);
  EXPECT_EQ(movie.statuses[static_cast<size_t>(result.written)],
            Format("Cannot read frame nr.%d.", result.written + 1));
  EXPECT_EQ(movie.statuses.back().rfind("Frames 100, Completed 100%", 0), 0u);
}

TEST(FrameExtractionTest, DeInterlaceAveragesOddRowsFromTheirNeighbours) {
  // Even height: the last row (3) has nothing below and becomes a copy of row 2.
  Image even = test::MakeImage(2, 4, [](uint32_t x, uint32_t y) {
    const Pixel rows[4][2] = {{MakePixel(10, 20, 30), MakePixel(0, 0, 0)},
                              {MakePixel(255, 255, 255), MakePixel(9, 9, 9)},
                              {MakePixel(21, 40, 61), MakePixel(255, 255, 255)},
                              {MakePixel(7, 7, 7), MakePixel(8, 8, 8)}};
    return rows[y][x];
  });
  DeInterlace(even);
  EXPECT_EQ(even.At(0, 0), MakePixel(10, 20, 30));
  EXPECT_EQ(even.At(0, 1), MakePixel(15, 30, 45));  // (10+21)/2, (20+40)/2, (30+61)/2
  EXPECT_EQ(even.At(1, 1), MakePixel(127, 127, 127));
  EXPECT_EQ(even.At(0, 2), MakePixel(21, 40, 61));
  EXPECT_EQ(even.At(0, 3), MakePixel(21, 40, 61));
  EXPECT_EQ(even.At(1, 3), MakePixel(255, 255, 255));

  // Odd height: rows 1 and 3 both have two neighbours, row 4 is left alone.
  Image odd = test::MakeImage(1, 5, [](uint32_t, uint32_t y) {
    const uint32_t v[5] = {100, 0, 51, 0, 200};
    return MakePixel(v[y], 0, 0);
  });
  DeInterlace(odd);
  EXPECT_EQ(odd.At(0, 1), MakePixel(75, 0, 0));
  EXPECT_EQ(odd.At(0, 3), MakePixel(125, 0, 0));
  EXPECT_EQ(odd.At(0, 4), MakePixel(200, 0, 0));

  Image single = test::MakeFlatImage(3, 1, MakePixel(1, 2, 3));
  DeInterlace(single);
  EXPECT_EQ(single, test::MakeFlatImage(3, 1, MakePixel(1, 2, 3)));
}

TEST(FrameExtractionTest, BmpOf322WideFrameHas968ByteRows) {
  RecordingPrompt prompt;
  Movie movie(2, 322, 16);
  ExtractionFields fields = DefaultExtractionFields(movie.stream);
  fields.writeBmp = true;
  movie.Extract(fields);
  const auto bmp = test::ReadBytes(movie.Folder(1) + "/FR00002.bmp");
  ASSERT_EQ(bmp.size(), 54u + 968u * 16u);
  EXPECT_EQ(bmp[34] | bmp[35] << 8, 968 * 16);  // image size in the info header
  EXPECT_TRUE(fs::exists(movie.Folder(1) + "/FR00002.jpg"));
  // Picture row 0 is the last BMP row; its block 0 is white for frame 1.
  EXPECT_GT(bmp[54 + 968 * 15 + 4 * 3 + 1], 200);
  EXPECT_LT(bmp[54 + 968 * 15 + 12 * 3 + 1], 55);
}

}  // namespace
}  // namespace tessarix
