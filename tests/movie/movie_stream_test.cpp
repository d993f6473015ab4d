#include "movie/movie_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "test_support.h"
#include "test_video.h"

namespace tessarix {
namespace {

using test::RecordingPrompt;
using test::TempDir;
using test::VideoSpec;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Reads all frames in order, then the same frames again in a scrambled order from a fresh
// stream: a seek must give exactly the pixels the sequential decode gave.
void ExpectSeeksMatchSequentialDecode(const std::string& path, int frames) {
  MovieStream sequential;
  ASSERT_TRUE(sequential.Open(path));
  ASSERT_EQ(sequential.FrameCount(), static_cast<uint32_t>(frames));
  std::vector<std::vector<uint8_t>> bytes;
  for (int n = 0; n < frames; ++n) {
    const Dib* dib = sequential.Frame(n);
    ASSERT_NE(dib, nullptr) << n;
    EXPECT_EQ(test::ReadCode(*dib), n);
    bytes.push_back(dib->bytes);
  }
  EXPECT_EQ(sequential.SeekCount(), 0u) << "reading in order must not seek";

  MovieStream random;
  ASSERT_TRUE(random.Open(path));
  for (int n : {41, 7, 59, 0, 13, 12, 35, 36, 58, 1, 24, 23, 47, 9, 30, 29, 28, 50}) {
    if (n >= frames)
      continue;
    const Dib* dib = random.Frame(n);
    ASSERT_NE(dib, nullptr) << n;
    EXPECT_TRUE(dib->bytes == bytes[static_cast<size_t>(n)]) << path << " frame " << n;
  }
  EXPECT_GT(random.SeekCount(), 0u);
}

TEST(MovieStreamTest, ReportsTheMovieAndSeeksToTheFramesOfASequentialDecode) {
  TempDir dir;
  RecordingPrompt prompt;
  constexpr AVCodecID kMpeg4 = AV_CODEC_ID_MPEG4;
  constexpr AVPixelFormat kYuv = AV_PIX_FMT_YUV420P;
  // clang-format off
  const struct {
    const char* name;
    VideoSpec video;
    uint32_t rate, scale;
  } movies[] = {
      {"mjpeg.avi", {.frames = 60}, 25, 1},
      // AVI has no timestamps on the I and P packets of a movie with B-frames.
      {"bframes.avi", {.frames = 60, .codec = kMpeg4, .pixelFormat = kYuv, .bFrames = 2}, 25, 1},
      {"bframes.mp4", {.frames = 60, .codec = kMpeg4, .pixelFormat = kYuv, .rate = {30000, 1001},
                       .bFrames = 2}, 30000, 1001},
      // A raw stream states no length: its frames must be counted.
      {"raw.m4v", {.frames = 40, .codec = kMpeg4, .pixelFormat = kYuv, .gop = 10}, 0, 0},
  };
  // clang-format on
  for (const auto& movie : movies) {
    SCOPED_TRACE(movie.name);
    ASSERT_TRUE(test::WriteCodedVideo(dir.File(movie.name), movie.video));
    ExpectSeeksMatchSequentialDecode(dir.File(movie.name), movie.video.frames);
    MovieStream stream;
    ASSERT_TRUE(stream.Open(dir.File(movie.name)));
    if (movie.rate != 0) {
      EXPECT_EQ(std::tuple(stream.Rate(), stream.Scale(), stream.Width(), stream.Height()),
                std::tuple(movie.rate, movie.scale, 48u, 16u));
    }
    EXPECT_EQ(stream.Frame(-1), nullptr);
    EXPECT_EQ(stream.Frame(movie.video.frames), nullptr);
    stream.Close();
    stream.Close();
    EXPECT_EQ(stream.FrameCount(), 0u);
    EXPECT_EQ(stream.Frame(0), nullptr);
  }
  EXPECT_TRUE(prompt.messages.empty());
}

TEST(MovieStreamTest, WidthsNotAMultipleOfFourComeOutUnskewed) {
  // Vertical stripes: every row is the same, so a row read with the wrong stride differs.
  for (const auto& [width, format] :
       {std::pair{322u, AV_PIX_FMT_YUVJ420P}, std::pair{321u, AV_PIX_FMT_YUVJ444P}}) {
    TempDir dir;
    const VideoSpec video{.width = width, .height = 24, .frames = 2, .pixelFormat = format};
    ASSERT_TRUE(test::WriteVideo(dir.File("wide.avi"), video, [&](int) {
      return test::MakeImage(width, 24, [](uint32_t x, uint32_t) {
        return (x / 64) % 2 ? MakePixel(250, 250, 250) : MakePixel(5, 5, 5);
      });
    }));
    MovieStream stream;
    ASSERT_TRUE(stream.Open(dir.File("wide.avi")));
    const Dib* dib = stream.Frame(1);
    ASSERT_NE(dib, nullptr);
    const size_t stride = Dib::RowStride(width);
    ASSERT_EQ(dib->bytes.size(), stride * 24);
    for (uint32_t row = 0; row < 24; ++row) {
      const uint8_t* line = dib->bytes.data() + stride * row;
      EXPECT_TRUE(std::equal(line, line + width * 3, dib->bytes.data())) << width << " " << row;
      for (size_t pad = width * 3; pad < stride; ++pad) EXPECT_EQ(line[pad], 0) << row;
    }
    EXPECT_LT(dib->bytes[288 * 3 + 1], 40);           // x / 64 = 4: dark
    EXPECT_GT(dib->bytes[(width - 1) * 3 + 1], 215);  // the last column, x / 64 = 5: light
  }
}

TEST(MovieStreamTest, RefusesWhatIsNotAVideo) {
  TempDir dir;
  WriteFile(dir.File("notes.avi"), "This is not a movie, just a few words of text.\n");
  // A WAV file with a header and no samples: a sound stream and no picture.
  WriteFile(dir.File("sound.wav"),
            std::string("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x40\x1f\0\0"
                        "\x01\0\x08\0data\0\0\0\0",
                        44));
  // The numbers are FFmpeg's: -ENOENT, and the tags "INDA" and 0xF8 "STR" negated.
  const std::pair<const char*, long> cases[] = {
      {"missing.avi", -2}, {"notes.avi", -1094995529}, {"sound.wav", -1381258232}};
  RecordingPrompt prompt;
  MovieStream stream;
  for (const auto& [name, error] : cases) {
    const Status opened = stream.Open(dir.File(name));
    ASSERT_FALSE(opened);
    const Failure& why = opened.Why();  // with FFmpeg's words in its detail
    EXPECT_EQ(std::tuple(stream.IsOpen(), why.kind, why.path, why.libraryError, why.detail.empty()),
              std::tuple(false, FailureKind::kCannotRead, dir.File(name), error, false));
  }
  EXPECT_TRUE(prompt.messages.empty());  // the front end says it
}

TEST(MovieStreamTest, DamagedFrameInTheMiddleDoesNotEndTheMovie) {
  TempDir dir;
  const std::string damaged = dir.File("damaged.avi");
  ASSERT_TRUE(test::WriteCodedVideo(damaged, {.frames = 30}));
  // Wipe the tables of the 16th JPEG (each begins FF D8 FF) and read in order, so that the
  // decoder itself meets the damage.
  const auto raw = test::ReadBytes(damaged);
  std::string bytes(raw.begin(), raw.end());
  size_t at = 0;
  for (int n = 0; n <= 15 && at != std::string::npos; ++n) at = bytes.find("\xFF\xD8\xFF", at + 1);
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 200, 200, '\0');
  WriteFile(damaged, bytes);
  MovieStream stream;
  ASSERT_TRUE(stream.Open(damaged));
  for (int n = 0; n < 30; ++n) {
    const Dib* dib = stream.Frame(n);
    if (n == 15)
      continue;  // the damaged frame itself may or may not come out
    ASSERT_NE(dib, nullptr) << n;
    EXPECT_EQ(test::ReadCode(*dib), n);
  }
}

}  // namespace
}  // namespace tessarix
