#include "imaging/jpeg_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "imaging/image.h"
#include "platform/memory_limit.h"
#include "test_support.h"

namespace tessarix {
namespace {

using Bytes = std::vector<unsigned char>;

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// Encodes `samples` (width * height * components) with libjpeg itself at quality 100, in the
// given colour space, so the tests can make grey and CMYK files the program never writes.
void EncodeRaw(const std::string& path, const std::vector<JSAMPLE>& samples, int width, int height,
               int components, J_COLOR_SPACE space) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, space);  // stored as given, no YCC or YCCK transform
  info.write_Adobe_marker = FALSE;    // plain CMYK, not the inverted Adobe convention
  jpeg_set_quality(&info, 100, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(samples.data() + size_t{info.next_scanline} * width * components);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(file);
}

// Busy content that compresses poorly.
Image Noise(uint32_t width, uint32_t height) {
  return test::MakeImage(width, height, [](uint32_t x, uint32_t y) {
    const uint32_t v = x * 2654435761u ^ y * 40503u;
    return MakePixel(v & 0xFF, (v >> 8) & 0xFF, (x * 7 + y * 3) & 0xFF);
  });
}

// Grey files fill all three channels. CMYK is scaled by K: C=255 M=128 Y=0 K=255 gives
// (255*255 + 127)/255, (128*255 + 127)/255, 127/255; with K = 128, 32767/255 and 16511/255.
// Other component counts are refused without a word.
TEST(JpegFile, GreyAndCmykFilesReadAsRgbAndOthersAreRefused) {
  test::RecordingPrompt prompt;
  test::TempDir dir;
  const std::string grey = dir.File("grey.jpg"), cmyk = dir.File("cmyk.jpg");
  EncodeRaw(grey, std::vector<JSAMPLE>(16 * 8, 77), 16, 8, 1, JCS_GRAYSCALE);
  std::vector<JSAMPLE> samples;
  std::vector<Pixel> expected;
  for (int i = 0; i < 16 * 8; ++i) {
    const bool left = i % 16 < 8;
    samples.insert(samples.end(), {255, 128, 0, static_cast<JSAMPLE>(left ? 255 : 128)});
    expected.push_back(left ? MakePixel(255, 128, 0) : MakePixel(128, 64, 0));
  }
  EncodeRaw(cmyk, samples, 16, 8, 4, JCS_CMYK);
  Image image;
  ASSERT_TRUE(image.LoadJpeg(grey));
  EXPECT_EQ(image.Width(), 16u);
  EXPECT_EQ(image.Height(), 8u);
  EXPECT_EQ(std::vector<Pixel>(image.Pixels(), image.Pixels() + image.PixelCount()),
            std::vector<Pixel>(16 * 8, 0x004D4D4Du));
  ASSERT_TRUE(image.LoadJpeg(cmyk));
  EXPECT_EQ(std::vector<Pixel>(image.Pixels(), image.Pixels() + image.PixelCount()), expected);

  const std::string two = dir.File("two.jpg");
  EncodeRaw(two, std::vector<JSAMPLE>(16 * 8 * 2, 90), 16, 8, 2, JCS_UNKNOWN);
  EXPECT_FALSE(image.LoadJpeg(two));
  EXPECT_TRUE(image.Empty());
  EXPECT_TRUE(prompt.messages.empty());
}

// A smooth picture survives JPEG closely, with its channels in place and T = 0.
TEST(JpegFile, RoundTripKeepsChannelOrderWithinTolerance) {
  test::TempDir dir;
  const Image original = test::MakeImage(64, 48, [](uint32_t x, uint32_t y) {
    return MakePixel(x * 255 / 64, y * 255 / 48, (x + y) * 127 / 112);
  });
  ASSERT_TRUE(original.SaveJpeg(dir.File("gradient.jpg"), 95));
  Image loaded;
  ASSERT_TRUE(loaded.LoadJpeg(dir.File("gradient.jpg")));
  ASSERT_EQ(loaded.Width(), 64u);
  ASSERT_EQ(loaded.Height(), 48u);
  for (size_t i = 0; i < loaded.PixelCount(); ++i) {
    const Pixel a = original.Pixels()[i], b = loaded.Pixels()[i];
    EXPECT_EQ(Transparency(b), 0u);
    for (auto channel : {Red, Green, Blue})
      ASSERT_LE(std::abs(int(channel(a)) - int(channel(b))), 6) << i;
  }
}

// Pixels are encoded in place, not through a packed copy: the transparency bytes, whatever they
// hold, leave no trace in the file.
TEST(JpegFile, TransparencyDoesNotReachTheFile) {
  test::TempDir dir;
  const Image opaque = Noise(37, 29);
  Image image = opaque;
  for (size_t i = 0; i < image.PixelCount(); ++i)
    image.Pixels()[i] |= static_cast<Pixel>((i * 37) & 0xFF) << 24;
  const std::string plain = dir.File("plain.jpg"), pixels = dir.File("pixels.jpg");
  for (int quality : {75, 100}) {
    ASSERT_TRUE(opaque.SaveJpeg(plain, quality));
    ASSERT_TRUE(image.SaveJpeg(pixels, quality));
    EXPECT_EQ(test::ReadBytes(pixels), test::ReadBytes(plain)) << quality;
  }
}

// Decoding only the top rows gives exactly a full decode's first rows, for a colour file (smooth
// upsampling reads the row below each row pair) and a grey one, wherever the cut falls against
// the 16-row blocks; asking for nothing or too much decodes everything.
TEST(JpegFile, TopRowsAreTheFullDecodesFirstRows) {
  test::TempDir dir;
  const std::string colour = dir.File("colour.jpg"), grey = dir.File("grey.jpg");
  ASSERT_TRUE(Noise(37, 45).SaveJpeg(colour, 80));
  std::vector<JSAMPLE> samples(37 * 45);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<JSAMPLE>(i * 37 % 251);
  EncodeRaw(grey, samples, 37, 45, 1, JCS_GRAYSCALE);
  for (const std::string& path : {colour, grey}) {
    Image full;
    ASSERT_TRUE(full.LoadJpeg(path));
    for (const uint32_t wanted : {1u, 7u, 15u, 16u, 17u, 44u, 45u, 0u, 1000u}) {
      Image top;
      uint32_t fullHeight = 0, askedWidth = 0, askedHeight = 0;
      const auto rows = [&](uint32_t w, uint32_t h) {
        askedWidth = w, askedHeight = h;
        return wanted;
      };
      ASSERT_TRUE(top.LoadJpegTop(path, rows, fullHeight));
      EXPECT_EQ(askedWidth, 37u);
      EXPECT_EQ(askedHeight, 45u);
      EXPECT_EQ(fullHeight, 45u);
      ASSERT_EQ(top.Width(), 37u);
      ASSERT_EQ(top.Height(), wanted == 0 ? 1 : std::min(wanted, 45u)) << wanted;
      EXPECT_TRUE(std::equal(top.Pixels(), top.Pixels() + top.PixelCount(), full.Pixels()))
          << path << " " << wanted;
    }
  }
}

TEST(JpegFile, UnreadableFilesFailQuietly) {
  test::RecordingPrompt prompt;
  test::TempDir dir;
  ASSERT_TRUE(Noise(64, 64).SaveJpeg(dir.File("good.jpg"), 90));
  const Bytes bytes = test::ReadBytes(dir.File("good.jpg"));
  WriteBytes(dir.File("empty.jpg"), {});
  WriteBytes(dir.File("text.jpg"), {'h', 'e', 'l', 'l', 'o', '\n'});
  WriteBytes(dir.File("header-cut.jpg"), Bytes(bytes.begin(), bytes.begin() + 20));
  Bytes corrupt = bytes;
  std::fill(corrupt.begin() + 2, corrupt.begin() + 200, 0xFF);
  WriteBytes(dir.File("corrupt.jpg"), corrupt);
  for (const char* name :
       {"missing.jpg", "empty.jpg", "text.jpg", "header-cut.jpg", "corrupt.jpg"}) {
    Image image = test::MakeFlatImage(2, 2, 0);
    EXPECT_FALSE(image.LoadJpeg(dir.File(name))) << name;
    EXPECT_TRUE(image.Empty()) << name;
  }
  // Data cut off after the header is only a library warning: the picture decodes at full size.
  WriteBytes(dir.File("data-cut.jpg"), Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2));
  Image cut;
  ASSERT_TRUE(cut.LoadJpeg(dir.File("data-cut.jpg")));
  EXPECT_EQ(cut.Width(), 64u);
  EXPECT_EQ(cut.Height(), 64u);
  EXPECT_TRUE(prompt.messages.empty());
}

TEST(JpegFile, HugeHeaderIsRefusedAsOutOfMemory) {
  constexpr uint64_t kSide = 65000;
  if (CanAllocate(kSide * kSide * sizeof(Pixel)))
    GTEST_SKIP() << "this machine could hold the picture";
  test::RecordingPrompt prompt;
  test::TempDir dir;
  // SOI, a baseline frame of 65000 x 65000 with three components, a scan header, a little data.
  const Bytes header = {0xFF, 0xD8,                                            // SOI
                        0xFF, 0xC0, 0x00, 0x11, 0x08, 0xFD, 0xE8, 0xFD, 0xE8,  // SOF0
                        0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01,
                        0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11,  // SOS
                        0x03, 0x11, 0x00, 0x3F, 0x00, 0x12, 0x34, 0x56, 0xFF, 0xD9};
  const std::string path = dir.File("huge.jpg");
  WriteBytes(path, header);
  Image image;
  const Status loaded = image.LoadJpeg(path);
  ASSERT_FALSE(loaded);
  EXPECT_TRUE(image.Empty());
  EXPECT_EQ(JpegFailureText(loaded.Why()), "JpegFile :\nOut of memory");
  EXPECT_TRUE(prompt.messages.empty());  // said by the caller, where it happens
}

// Empty input and a picture the library refuses fail without a word; a folder that cannot be
// written to and a full disk are the person's business and are said, with the path. No failure
// leaves a temporary behind or touches the file already there.
TEST(JpegFile, FailedWritesKeepTheOldFileAndLeaveNoTemporary) {
  test::RecordingPrompt prompt;
  test::TempDir dir;
  const std::string missing = dir.File("no-such-folder/out.jpg");
  EXPECT_FALSE(WithJpegMessage(Noise(8, 8).SaveJpeg(missing, 90)));
  EXPECT_FALSE(WithJpegMessage(Image().SaveJpeg(dir.File("nothing.jpg"), 90)));

  const std::string path = dir.File("keep.jpg");
  WriteBytes(path, {'o', 'l', 'd'});
  auto onlyTheOldFile = [&] {
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
    return files == 1 && test::ReadBytes(path) == Bytes{'o', 'l', 'd'};
  };
  // The library refuses a width beyond its limit after the file is open.
  const Status refused = WithJpegMessage(
      test::MakeFlatImage(70000, 1, MakePixel(128, 128, 128)).SaveJpeg(path, 90));
  ASSERT_FALSE(refused);
  EXPECT_FALSE(refused.Why().detail.empty());  // libjpeg's own words are kept
  EXPECT_TRUE(onlyTheOldFile());

  // The disk fills up half way (a file size limit stands in for it).
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 2000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const Status written = WithJpegMessage(Noise(300, 300).SaveJpeg(path, 95));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_TRUE(onlyTheOldFile());
  EXPECT_EQ(
      prompt.messages,
      (std::vector<std::string>{"JpegFile :\nCan't open " + missing + "\nNo such file or directory",
                                "JpegFile :\nCan't write " + path + "\nFile too large"}));
}

}  // namespace
}  // namespace tessarix
