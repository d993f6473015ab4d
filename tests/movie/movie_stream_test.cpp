#include "movie/movie_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "test_support.h"
#include "test_video.h"

namespace tessarix {
namespace {

// Every frame read in order without a seek, then again in a scrambled order from a fresh stream:
// a seek must give exactly the pixels the sequential decode gave.
TEST(MovieStreamTest, OpensMoviesSeeksToTheFramesOfASequentialDecodeAndRefusesTheRest) {
  test::TempDir dir;
  test::RecordingPrompt prompt;
  constexpr AVCodecID kMpeg4 = AV_CODEC_ID_MPEG4;
  constexpr AVPixelFormat kYuv = AV_PIX_FMT_YUV420P;
  // clang-format off
  const struct {
    const char* name;
    test::VideoSpec video;
    uint32_t rate, scale;
  } movies[] = {
      {"mjpeg.avi", {.frames = 60}, 25, 1},
      // AVI has no timestamps on the I and P packets of a movie with B-frames.
      {"bframes.avi", {.frames = 60, .codec = kMpeg4, .pixelFormat = kYuv, .bFrames = 2}, 25, 1},
      {"bframes.mp4", {.frames = 60, .codec = kMpeg4, .pixelFormat = kYuv, .rate = {30000, 1001},
                       .bFrames = 2}, 30000, 1001},
      // A raw stream states no length: its frames must be counted.
      {"raw.m4v", {.frames = 40, .codec = kMpeg4, .pixelFormat = kYuv}, 25, 1},
  };
  // clang-format on
  for (const auto& movie : movies) {
    SCOPED_TRACE(movie.name);
    const std::string path = dir.File(movie.name);
    const int frames = movie.video.frames;
    ASSERT_TRUE(test::WriteCodedVideo(path, movie.video));
    MovieStream sequential, random;
    ASSERT_TRUE(sequential.Open(path) && random.Open(path));
    EXPECT_EQ(std::tuple(sequential.FrameCount(), sequential.Width(), sequential.Height(),
                         sequential.Rate(), sequential.Scale()),
              std::tuple(static_cast<uint32_t>(frames), 48u, 16u, movie.rate, movie.scale));
    std::vector<std::vector<uint8_t>> bytes;
    for (int n = 0; n < frames; ++n) {
      const Dib* dib = sequential.Frame(n);
      ASSERT_NE(dib, nullptr) << n;
      EXPECT_EQ(test::ReadCode(FromDib(*dib).value()), n);
      bytes.push_back(dib->bytes);
    }
    EXPECT_EQ(sequential.SeekCount(), 0u);
    for (int n : {41, 7, 59, 0, 13, 12, 35, 36, 58, 1, 24, 23, 47, 9, 30, 29, 28, 50}) {
      const Dib* dib = random.Frame(n);
      EXPECT_TRUE(n >= frames || (dib != nullptr && dib->bytes == bytes[static_cast<size_t>(n)]))
          << n;
    }
    EXPECT_GT(random.SeekCount(), 0u);
    EXPECT_TRUE(random.Frame(-1) == nullptr && random.Frame(frames) == nullptr);
    random.Close();
    EXPECT_EQ(random.Frame(0), nullptr);
  }

  // What is not a movie is refused, with FFmpeg's number and words.
  std::ofstream(dir.File("notes.avi")) << "This is not a movie, just a few words of text.\n";
  const std::pair<const char*, long> cases[] = {{"missing.avi", AVERROR(ENOENT)},
                                                {"notes.avi", AVERROR_INVALIDDATA}};
  MovieStream stream;
  for (const auto& [name, error] : cases) {
    const Status opened = stream.Open(dir.File(name));
    ASSERT_FALSE(opened);
    const Failure& why = opened.Why();
    EXPECT_EQ(std::tuple(stream.IsOpen(), why.kind, why.path, why.libraryError, why.detail.empty()),
              std::tuple(false, FailureKind::kCannotRead, dir.File(name), error, false));
  }
  EXPECT_TRUE(prompt.messages.empty());  // the front end speaks
}

}  // namespace
}  // namespace tessarix
