#include "movie/frame_extraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
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
using Names = std::vector<std::string>;

Names FileNames(const std::string& folder) {
  Names names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

int CodeOfJpeg(const std::string& path) {
  Image image;
  return image.LoadJpeg(path) ? test::ReadCode(image) : -2;
}

// Where the frames go: every frame file is synced as it is written, which costs nothing in memory.
std::string FastTemporaryFolder() {
  return fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
}

// A movie of `frames` coded frames, opened, with a status recorder.
struct Movie {
  explicit Movie(const test::VideoSpec& video) {
    EXPECT_TRUE(test::WriteCodedVideo(path, video) && stream.Open(path));
  }
  ExtractionResult Extract(const ExtractionFields& fields, const std::string& moviePath = "") {
    return ExtractFrames(stream, moviePath.empty() ? path : moviePath, fields,
                         [this](const std::string& text) { statuses.push_back(text); });
  }
  std::string Folder(int n) const { return FramesFolderName(dir.File("clip"), n); }
  std::string File(int folder, int frame) const {
    return Folder(folder) + Format("/FR%05d.jpg", frame);
  }

  test::ScopedEnv inMemory{"TMPDIR", FastTemporaryFolder()};
  test::TempDir dir;
  std::string path = dir.File("clip.avi");
  MovieStream stream;
  Names statuses;
};

TEST(FrameExtractionTest, FramesAreChosenByStepAndCountAndNamedAfterTheMovie) {
  EXPECT_EQ(MovieBase("/v/clip.avi"), "/v/clip");
  EXPECT_EQ(MovieBase("/v/clip.part.mp4"), "/v/clip.part");
  EXPECT_EQ(MovieBase("/v.d/clip"), "/v.d/clip");
  EXPECT_EQ(FramesFolderName("/v/clip", 3), "/v/clip_FRAMES00003");
  EXPECT_EQ(FrameFileName("/v/clip", 12, "%s", 123456, "bmp"), "/v/clip_FRAMES00012/%s123456.bmp");

  test::RecordingPrompt prompt;
  Movie movie({.frames = 100});
  ExtractionFields fields = DefaultExtractionFields(movie.stream);
  EXPECT_EQ(movie.Extract(fields).written, 100);
  // In one pass through the file, frame n into file n + 1.
  EXPECT_EQ(std::tuple(movie.stream.SeekCount(), FileNames(movie.Folder(1)).size(),
                       CodeOfJpeg(movie.File(1, 1)), CodeOfJpeg(movie.File(1, 100))),
            std::tuple(0u, 100u, 0, 99));
  ASSERT_EQ(movie.statuses.size(), 101u);
  // Frame 0 is 0 % of the way, so no time is left to guess; frame 1 is 1 / 101 of the range.
  EXPECT_TRUE(movie.statuses[0].starts_with("Frame (1) 1 of 100, Completed 0.00%, Elapsed Time: "));
  EXPECT_NE(movie.statuses[0].find(", ETA: 00:00:00"), std::string::npos);
  EXPECT_TRUE(movie.statuses[1].starts_with("Frame (2) 2 of 100, Completed 0.99%, Elapsed Time: "));
  EXPECT_TRUE(movie.statuses[100].starts_with("Frames 100, Completed 100%, Elapsed Time: 00:00:"));

  fields.howManyFrames = 10;  // span 101, step 10.1
  movie.Extract(fields);
  EXPECT_EQ(FileNames(movie.Folder(2)),
            (Names{"FR00001.jpg", "FR00011.jpg", "FR00021.jpg", "FR00031.jpg", "FR00041.jpg",
                   "FR00051.jpg", "FR00061.jpg", "FR00071.jpg", "FR00081.jpg", "FR00091.jpg"}));
  EXPECT_TRUE(prompt.messages.empty());

  // A refused save restarts the step from the refused frame: 0, trunc(0 + 33.67) = 33, then
  // trunc(33 + 33.67) = 66, where all going well gives 0, 33, 67.
  // No such folder: every save is refused. (The BMP writer has no message of its own.)
  fields.howManyFrames = 3;
  fields.filePrefix = "missing/FR";
  fields.writeJpg = false;
  fields.writeBmp = true;
  movie.statuses.clear();
  const ExtractionResult refused = movie.Extract(fields);
  // Refused frames stay counted as written, and have no status line of their own.
  EXPECT_EQ(std::tuple(refused.written, refused.saveFailures, movie.statuses.size()),
            std::tuple(3, 3, size_t{1}));
  EXPECT_EQ(prompt.messages, (Names{"Cannot save frame nr.1.", "Cannot save frame nr.34.",
                                    "Cannot save frame nr.67."}));

  // No frames asked for: one frame.
  fields = {.sizeX = 48, .sizeY = 16, .startFrame = 4, .stopFrame = 100, .howManyFrames = 0};
  EXPECT_EQ(movie.Extract(fields).written, 1);
  EXPECT_EQ(FileNames(movie.Folder(4)), Names{"FR00005.jpg"});
  // A start at the end writes nothing but still reports the end; a stop past it is cut there.
  movie.statuses.clear();
  fields.startFrame = 100;
  fields.stopFrame = 500;
  const ExtractionResult result = movie.Extract(fields);
  EXPECT_EQ(std::tuple(static_cast<bool>(result.status), result.written, movie.statuses.size(),
                       fs::exists(movie.Folder(5))),
            std::tuple(true, 0, size_t{1}, false));
}

TEST(FrameExtractionTest, CutOutSavesExactlyThatPartOfTheFrameAndFolderFailuresStop) {
  test::RecordingPrompt prompt;
  Movie movie({.frames = 3});
  // 18 * 3 = 54 bytes a row, padded to 56.
  ExtractionFields fields{.posX = 8, .posY = 4, .sizeX = 18, .sizeY = 8, .stopFrame = 3};
  fields.howManyFrames = 3;
  fields.writeJpg = false;
  fields.writeBmp = true;
  movie.Extract(fields);
  EXPECT_EQ(FileNames(movie.Folder(1)), (Names{"FR00001.bmp", "FR00002.bmp", "FR00003.bmp"}));
  const auto bmp = test::ReadBytes(movie.Folder(1) + "/FR00003.bmp");
  const Dib* frame = movie.stream.Frame(2);
  ASSERT_TRUE(bmp.size() == 54u + 56u * 8u && frame != nullptr);
  // BMP row r (bottom-up) is picture row 11 - r, which is DIB row 4 + r of the 16-row frame.
  for (size_t r = 0; r < 8; ++r) {
    const uint8_t* want = frame->bytes.data() + (4 + r) * Dib::RowStride(48) + 8 * 3;
    EXPECT_TRUE(std::equal(want, want + 54, bmp.begin() + 54 + static_cast<long>(r * 56))) << r;
  }

  // 49 > 48; a sum that would wrap round to 1 in 32 bits; 17 > 16. The front end says it.
  movie.statuses.clear();
  for (const auto& [posX, sizeX, sizeY] :
       {std::tuple{40u, 9u, 8u}, {4294967295u, 2u, 8u}, {0u, 48u, 17u}}) {
    fields = {.posX = posX, .sizeX = sizeX, .sizeY = sizeY, .stopFrame = 3};
    const Status stopped = movie.Extract(fields).status;
    EXPECT_EQ(test::KindOf(stopped), FailureKind::kRefused) << posX;
  }
  EXPECT_FALSE(fs::exists(movie.Folder(2)));

  // A folder that cannot be made stops at once: every further frame would be refused too.
  { std::ofstream(movie.dir.File("plain")) << "x"; }
  const Status stopped =
      movie.Extract(DefaultExtractionFields(movie.stream), movie.dir.File("plain/clip.avi")).status;
  ASSERT_FALSE(stopped);
  EXPECT_EQ(std::pair(stopped.Why().kind, stopped.Why().systemError),
            std::pair(FailureKind::kCannotCreate, ENOTDIR));
  EXPECT_EQ(prompt.messages, Names{"Cannot save frame nr.1."});  // and none for the refusals
  EXPECT_TRUE(movie.statuses.empty());
}

// The tables of the 16th JPEG wiped (each begins FF D8 FF) and the end cut off: the decoder goes
// on after the damage, frames that cannot be read are skipped, counted and reported, and going
// back after the decoder reached the end still works.
TEST(FrameExtractionTest, DamagedAndMissingFramesAreSkippedAndNotCounted) {
  test::RecordingPrompt prompt;
  Movie movie({.frames = 100});
  movie.stream.Close();
  auto bytes = test::ReadBytes(movie.path);
  const unsigned char start[] = {0xFF, 0xD8, 0xFF};
  auto at = bytes.begin();
  for (int n = 0; n <= 15; ++n) at = std::search(at + 1, bytes.end(), start, start + 3);
  std::fill_n(at, 200, 0);
  bytes.resize(bytes.size() * 7 / 10);
  test::WriteBytes(movie.path, bytes);
  ASSERT_TRUE(movie.stream.Open(movie.path));
  const ExtractionResult result = movie.Extract(DefaultExtractionFields(movie.stream));
  const Names names = FileNames(movie.Folder(1));
  ASSERT_TRUE(result.status && result.written > 20);
  EXPECT_EQ(std::pair(result.written + result.unreadable, names.size()),
            std::pair(100, static_cast<size_t>(result.written)));
  // Each file holds the frame its name numbers; the damaged frame itself may or may not come out.
  for (const std::string& name : names) {
    const int number = std::stoi(name.substr(2));
    EXPECT_TRUE(number == 16 || CodeOfJpeg(movie.Folder(1) + "/" + name) == number - 1) << name;
  }
  const int after = std::stoi(names.back().substr(2)) + 1;
  EXPECT_EQ(std::count(movie.statuses.begin(), movie.statuses.end(),
                       Format("Cannot read frame nr.%d.", after)),
            1);
  EXPECT_TRUE(prompt.messages.empty());
  const Dib* back = movie.stream.Frame(after / 2);
  EXPECT_TRUE(back != nullptr && test::ReadCode(FromDib(*back).value()) == after / 2);
}

}  // namespace
}  // namespace tessarix
