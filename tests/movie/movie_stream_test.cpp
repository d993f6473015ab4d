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

TEST(MovieStreamTest, ReportsLengthRateAndFrameRectangle) {
  TempDir dir;
  VideoSpec video;
  video.frames = 7;
  ASSERT_TRUE(test::WriteCodedVideo(dir.File("clip.avi"), video));
  RecordingPrompt prompt;
  MovieStream stream;
  EXPECT_EQ(stream.FrameCount(), 0u);
  EXPECT_EQ(stream.Frame(0), nullptr);
  ASSERT_TRUE(stream.Open(dir.File("clip.avi")));
  EXPECT_TRUE(prompt.messages.empty());
  EXPECT_EQ(stream.FrameCount(), 7u);
  EXPECT_EQ(stream.Rate(), 25u);
  EXPECT_EQ(stream.Scale(), 1u);
  EXPECT_EQ(stream.Width(), 48u);
  EXPECT_EQ(stream.Height(), 16u);
  EXPECT_EQ(stream.Frame(-1), nullptr);
  EXPECT_EQ(stream.Frame(7), nullptr);
  const Dib* last = stream.Frame(6);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(test::ReadCode(*last), 6);
  stream.Close();
  stream.Close();
  EXPECT_EQ(stream.FrameCount(), 0u);
}

TEST(MovieStreamTest, NtscRateRoundsToThirty) {
  TempDir dir;
  VideoSpec video;
  video.codec = AV_CODEC_ID_MPEG4;
  video.pixelFormat = AV_PIX_FMT_YUV420P;
  video.rate = {30000, 1001};
  video.frames = 5;
  ASSERT_TRUE(test::WriteCodedVideo(dir.File("ntsc.mp4"), video));
  MovieStream stream;
  ASSERT_TRUE(stream.Open(dir.File("ntsc.mp4")));
  EXPECT_EQ(stream.Rate(), 30000u);
  EXPECT_EQ(stream.Scale(), 1001u);
  EXPECT_EQ(stream.FrameCount(), 5u);
  EXPECT_EQ(RoundedFrameRate(stream.Rate(), stream.Scale()), 30u);
  EXPECT_EQ(RoundedFrameRate(24000, 1001), 24u);  // 23.976 + 0.5
  EXPECT_EQ(RoundedFrameRate(25, 1), 25u);
  EXPECT_EQ(RoundedFrameRate(25, 0), 0u);
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
  const int order[] = {41, 7, 59, 0, 13, 12, 35, 36, 58, 1, 24, 23, 47, 9, 30, 29, 28, 50};
  for (int n : order) {
    if (n >= frames)
      continue;
    const Dib* dib = random.Frame(n);
    ASSERT_NE(dib, nullptr) << n;
    EXPECT_EQ(test::ReadCode(*dib), n);
    EXPECT_TRUE(dib->bytes == bytes[static_cast<size_t>(n)]) << "frame " << n;
  }
  EXPECT_GT(random.SeekCount(), 0u);
}

TEST(MovieStreamTest, SeekingGivesTheFramesOfASequentialDecode) {
  TempDir dir;
  VideoSpec video;
  video.codec = AV_CODEC_ID_MPEG4;
  video.pixelFormat = AV_PIX_FMT_YUV420P;
  video.frames = 60;
  video.bFrames = 2;  // AVI then has no timestamps on the I and P packets
  video.gop = 12;
  ASSERT_TRUE(test::WriteCodedVideo(dir.File("bframes.avi"), video));
  ASSERT_TRUE(test::WriteCodedVideo(dir.File("bframes.mp4"), video));
  video.codec = AV_CODEC_ID_MJPEG;
  video.pixelFormat = AV_PIX_FMT_YUVJ420P;
  video.bFrames = 0;
  ASSERT_TRUE(test::WriteCodedVideo(dir.File("mjpeg.avi"), video));
  ExpectSeeksMatchSequentialDecode(dir.File("bframes.avi"), 60);
  ExpectSeeksMatchSequentialDecode(dir.File("bframes.mp4"), 60);
  ExpectSeeksMatchSequentialDecode(dir.File("mjpeg.avi"), 60);
}

TEST(MovieStreamTest, RawStreamsWithoutALengthAreCounted) {
  TempDir dir;
  VideoSpec video;
  video.codec = AV_CODEC_ID_MPEG4;
  video.pixelFormat = AV_PIX_FMT_YUV420P;
  video.frames = 40;
  video.gop = 10;
  ASSERT_TRUE(test::WriteCodedVideo(dir.File("raw.m4v"), video));
  RecordingPrompt prompt;
  ExpectSeeksMatchSequentialDecode(dir.File("raw.m4v"), 40);
  EXPECT_TRUE(prompt.messages.empty());
}

// Vertical stripes: every row of the picture is the same, so any row read with the wrong
// stride shows up as a row that differs from the first.
void ExpectRowsUnskewed(uint32_t width, AVPixelFormat format) {
  TempDir dir;
  VideoSpec video;
  video.width = width;
  video.height = 24;
  video.frames = 2;
  video.pixelFormat = format;
  const std::string path = dir.File("wide.avi");
  ASSERT_TRUE(test::WriteVideo(path, video, [&](int) {
    return test::MakeImage(width, 24, [](uint32_t x, uint32_t) {
      return (x / 64) % 2 ? MakePixel(250, 250, 250) : MakePixel(5, 5, 5);
    });
  }));
  MovieStream stream;
  ASSERT_TRUE(stream.Open(path));
  const Dib* dib = stream.Frame(1);
  ASSERT_NE(dib, nullptr);
  const size_t stride = Dib::RowStride(width);
  ASSERT_EQ(dib->width, width);
  ASSERT_EQ(dib->bytes.size(), stride * 24);
  for (uint32_t row = 0; row < 24; ++row) {
    const uint8_t* line = dib->bytes.data() + stride * row;
    EXPECT_TRUE(std::equal(line, line + width * 3, dib->bytes.data())) << "row " << row;
    for (size_t pad = width * 3; pad < stride; ++pad) EXPECT_EQ(line[pad], 0) << "row " << row;
    EXPECT_LT(line[32 * 3 + 1], 40);            // inside the first dark stripe
    EXPECT_GT(line[96 * 3 + 1], 215);           // inside the first light stripe
    EXPECT_GT(line[(width - 1) * 3 + 1], 215);  // the last column, x / 64 = 5: light
  }
}

TEST(MovieStreamTest, WidthsNotAMultipleOfFourComeOutUnskewed) {
  ExpectRowsUnskewed(322, AV_PIX_FMT_YUVJ420P);
  ExpectRowsUnskewed(321, AV_PIX_FMT_YUVJ444P);
}

TEST(MovieStreamTest, RefusesWhatIsNotAVideo) {
  TempDir dir;
  {
    std::ofstream text(dir.File("notes.avi"));
    text << "This is not a movie, just a few words of text.\n";
  }
  RecordingPrompt prompt;
  MovieStream stream;
  EXPECT_FALSE(stream.Open(dir.File("notes.avi")));
  EXPECT_FALSE(stream.IsOpen());
  // AVERROR_INVALIDDATA is the tag "INDA" negated: -0x41444E49.
  ASSERT_EQ(prompt.messages.size(), 2u);
  EXPECT_EQ(prompt.messages[0],
            "AVI001: Open file error nr.-1094995529 on file <" + dir.File("notes.avi") + ">");
  EXPECT_EQ(prompt.messages[1], "Cannot open the specified file");

  prompt.messages.clear();
  EXPECT_FALSE(stream.Open(dir.File("missing.avi")));
  ASSERT_EQ(prompt.messages.size(), 2u);
  EXPECT_EQ(prompt.messages[0],  // ENOENT
            "AVI001: Open file error nr.-2 on file <" + dir.File("missing.avi") + ">");
}

TEST(MovieStreamTest, RefusesAFileWithoutAVideoStream) {
  TempDir dir;
  // A WAV file: 44-byte header, one second of 8 kHz 8-bit mono silence.
  std::vector<uint8_t> wav = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W',  'A', 'V',
                              'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,    1,   0,
                              1,   0,   0x40, 0x1F, 0,   0,   0x40, 0x1F, 0,    0,   1,
                              0,   8,   0,    'd',  'a', 't', 'a',  0x40, 0x1F, 0,   0};
  const uint32_t riffSize = 36 + 8000;
  for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<uint8_t>(riffSize >> (8 * i));
  wav.resize(44 + 8000, 128);
  {
    std::ofstream out(dir.File("sound.wav"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
  }
  RecordingPrompt prompt;
  MovieStream stream;
  EXPECT_FALSE(stream.Open(dir.File("sound.wav")));
  ASSERT_EQ(prompt.messages.size(), 2u);
  // AVERROR_STREAM_NOT_FOUND is the tag 0xF8 'S' 'T' 'R' negated: -0x525453F8.
  EXPECT_EQ(prompt.messages[0],
            "AVI001: Open file error nr.-1381258232 on file <" + dir.File("sound.wav") + ">");
  EXPECT_EQ(prompt.messages[1], "Cannot open the specified file");
}

TEST(MovieStreamTest, TruncatedFileGivesTheFramesThatAreThere) {
  TempDir dir;
  VideoSpec video;
  video.frames = 100;
  const std::string path = dir.File("cut.avi");
  ASSERT_TRUE(test::WriteCodedVideo(path, video));
  std::filesystem::resize_file(path, std::filesystem::file_size(path) * 7 / 10);
  RecordingPrompt prompt;
  MovieStream stream;
  ASSERT_TRUE(stream.Open(path));
  EXPECT_EQ(stream.FrameCount(), 100u);  // the header still promises all of them
  int readable = 0;
  for (int n = 0; n < 100; ++n) {
    const Dib* dib = stream.Frame(n);
    if (dib == nullptr)
      break;
    EXPECT_EQ(test::ReadCode(*dib), n);
    ++readable;
  }
  EXPECT_GE(readable, 20);
  EXPECT_LT(readable, 100);
  for (int n = readable; n < 100; ++n) EXPECT_EQ(stream.Frame(n), nullptr) << n;
  // Going back after the decoder reached the end of the file still works.
  const Dib* again = stream.Frame(readable / 2);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(test::ReadCode(*again), readable / 2);
  EXPECT_TRUE(prompt.messages.empty());
}

}  // namespace
}  // namespace tessarix

namespace tessarix {
namespace {

TEST(MovieStreamTest, DamagedFrameInTheMiddleDoesNotEndTheMovie) {
  TempDir dir;
  test::VideoSpec video;
  video.frames = 30;
  const std::string path = dir.File("damaged.avi");
  ASSERT_TRUE(test::WriteCodedVideo(path, video));
  // Every MJPEG frame begins with the JPEG start marker FF D8 FF; wipe the tables of frame 15.
  auto bytes = test::ReadBytes(path);
  int seen = 0;
  for (size_t i = 0; i + 2 < bytes.size(); ++i) {
    if (bytes[i] != 0xFF || bytes[i + 1] != 0xD8 || bytes[i + 2] != 0xFF)
      continue;
    if (seen++ == 15) {
      std::fill(bytes.begin() + static_cast<long>(i), bytes.begin() + static_cast<long>(i) + 200,
                0);
      break;
    }
  }
  ASSERT_EQ(seen, 16);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  MovieStream stream;
  ASSERT_TRUE(stream.Open(path));
  for (int n = 0; n < 30; ++n) {  // in order: the decoder itself meets the damage
    const Dib* dib = stream.Frame(n);
    if (n == 15)
      continue;  // the damaged frame itself may or may not come out
    ASSERT_NE(dib, nullptr) << n;
    EXPECT_EQ(test::ReadCode(*dib), n);
  }
}

}  // namespace
}  // namespace tessarix
