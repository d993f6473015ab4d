#include "imaging/jpeg_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "imaging/image.h"
#include "platform/memory_budget.h"
#include "platform/memory_limit.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix {
namespace {

using Bytes = std::vector<unsigned char>;

std::vector<Pixel> PixelsOf(const Image& image) {
  return {image.Pixels(), image.Pixels() + image.PixelCount()};
}

// Encodes `samples` (width * height * components) with libjpeg itself at quality 100, stored in
// the given colour space as given, so the tests can make grey and plain (not Adobe) CMYK files.
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
  jpeg_set_colorspace(&info, space);
  info.write_Adobe_marker = FALSE;
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
  EXPECT_EQ(image, test::MakeFlatImage(16, 8, 0x004D4D4Du));
  ASSERT_TRUE(image.LoadJpeg(cmyk));
  EXPECT_EQ(PixelsOf(image), expected);

  EncodeRaw(dir.File("two.jpg"), std::vector<JSAMPLE>(16 * 8 * 2, 90), 16, 8, 2, JCS_UNKNOWN);
  EXPECT_FALSE(image.LoadJpeg(dir.File("two.jpg")));
  EXPECT_TRUE(image.Empty());
  EXPECT_TRUE(prompt.messages.empty());
}

// The pixels are encoded in place, not through a packed copy, so their transparency bytes leave
// no trace in the file; red stays red.
TEST(JpegFile, TransparencyLeavesNoTraceInTheFile) {
  test::TempDir dir;
  const Image plain = test::MakeFlatImage(64, 48, MakePixel(200, 100, 30));
  Image tinted = plain;
  for (size_t i = 0; i < tinted.PixelCount(); ++i)
    tinted.Pixels()[i] |= static_cast<Pixel>((i * 37) & 0xFF) << 24;
  ASSERT_TRUE(plain.SaveJpeg(dir.File("plain.jpg"), 75));
  ASSERT_TRUE(tinted.SaveJpeg(dir.File("tinted.jpg"), 75));
  EXPECT_EQ(test::ReadBytes(dir.File("tinted.jpg")), test::ReadBytes(dir.File("plain.jpg")));
  Image loaded;
  ASSERT_TRUE(loaded.LoadJpeg(dir.File("plain.jpg")));
  EXPECT_TRUE(Red(loaded.At(9, 9)) > 190 && Blue(loaded.At(9, 9)) < 40) << loaded.At(9, 9);
}

// Decoding only the top rows gives exactly a full decode's first rows, for a colour file (smooth
// upsampling reads the row below each row pair) and a grey one, wherever the cut falls against
// the 16-row blocks; asking for nothing or too much decodes everything.
TEST(JpegFile, TopRowsAreTheFullDecodesFirstRows) {
  test::TempDir dir;
  const std::string colour = dir.File("colour.jpg"), grey = dir.File("grey.jpg");
  ASSERT_TRUE(test::Noise(37, 45).SaveJpeg(colour, 80));
  std::vector<JSAMPLE> samples(37 * 45);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<JSAMPLE>(i * 37 % 251);
  EncodeRaw(grey, samples, 37, 45, 1, JCS_GRAYSCALE);
  for (const std::string& path : {colour, grey}) {
    Image full;
    ASSERT_TRUE(full.LoadJpeg(path));
    for (const uint32_t wanted : {1u, 15u, 16u, 17u, 45u, 0u, 1000u}) {
      SCOPED_TRACE(path + " " + std::to_string(wanted));
      Image top;
      uint32_t fullHeight = 0, askedWidth = 0, askedHeight = 0;
      const auto rows = [&](uint32_t w, uint32_t h) {
        askedWidth = w, askedHeight = h;
        return wanted;
      };
      ASSERT_TRUE(top.LoadJpegTop(path, rows, fullHeight));
      EXPECT_EQ(std::tuple(askedWidth, askedHeight, fullHeight), std::tuple(37u, 45u, 45u));
      ASSERT_EQ(top.Width(), 37u);
      ASSERT_EQ(top.Height(), wanted == 0 ? 1 : std::min(wanted, 45u));
      EXPECT_TRUE(std::equal(top.Pixels(), top.Pixels() + top.PixelCount(), full.Pixels()));
    }
  }
}

TEST(JpegFile, UnreadableFilesFailQuietly) {
  test::RecordingPrompt prompt;
  test::TempDir dir;
  ASSERT_TRUE(test::Noise(64, 64).SaveJpeg(dir.File("good.jpg"), 90));
  const Bytes bytes = test::ReadBytes(dir.File("good.jpg"));
  test::WriteBytes(dir.File("empty.jpg"), {});
  test::WriteBytes(dir.File("text.jpg"), {'h', 'e', 'l', 'l', 'o', '\n'});
  test::WriteBytes(dir.File("header-cut.jpg"), Bytes(bytes.begin(), bytes.begin() + 20));
  Bytes corrupt = bytes;
  std::fill(corrupt.begin() + 2, corrupt.begin() + 200, 0xFF);
  test::WriteBytes(dir.File("corrupt.jpg"), corrupt);
  for (const char* name :
       {"missing.jpg", "empty.jpg", "text.jpg", "header-cut.jpg", "corrupt.jpg"}) {
    Image image = test::MakeFlatImage(2, 2, 0);
    EXPECT_FALSE(image.LoadJpeg(dir.File(name))) << name;
    EXPECT_TRUE(image.Empty()) << name;
  }
  // Data cut off after the header is only a library warning: the picture decodes at full size.
  test::WriteBytes(dir.File("data-cut.jpg"),
                   Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2));
  Image cut;
  ASSERT_TRUE(cut.LoadJpeg(dir.File("data-cut.jpg")));
  EXPECT_EQ(std::pair(cut.Width(), cut.Height()), std::pair(64u, 64u));
  EXPECT_TRUE(prompt.messages.empty());
}

// A header claiming more pixels than there is room for is refused before any of it is decoded:
// 17 GB claimed with 256 MB more address space than the process has now, 256 MB claimed within a
// memory budget of 64 MB. The words are said by the caller (here WithJpegMessage), once.
TEST(JpegFile, ClaimedSizeBeyondTheMemoryIsRefusedAtOnce) {
  test::TempDir dir;
  const std::string huge = dir.File("huge.jpg"), large = dir.File("large.jpg");
  test::WriteClaimingSize(huge, 65500, 65500);
  test::WriteClaimingSize(large, 8000, 8000);
  const auto load = [](const std::string& path) {
    test::RecordingPrompt prompt;
    const auto start = std::chrono::steady_clock::now();
    Image image;
    const Status loaded = WithJpegMessage(image.LoadJpeg(path));
    std::string report = loaded ? "loaded" : *JpegFailureText(loaded.Why());
    for (const std::string& m : prompt.messages) report += "|" + m;
    const bool quick = std::chrono::steady_clock::now() - start < std::chrono::seconds(5);
    return report + (image.Empty() ? "|empty" : "") + (quick ? "|quick" : "|slow");
  };
  const std::string refused = "JpegFile :\nOut of memory|JpegFile :\nOut of memory|empty|quick";
  if (test::MemoryLimitWorks() || !CanAllocate(uint64_t{65500} * 65500 * 4)) {
    const test::LimitedRun run = test::RunWithMemoryLimit(256u << 20, [&] { return load(huge); });
    ASSERT_TRUE(run.exited) << "the decode crashed or was killed";
    EXPECT_EQ(run.report, refused);
  }
  const ScopedMemoryBudgetForTest budget(64u << 20);
  EXPECT_EQ(load(large), refused);
  EXPECT_EQ(budget.Budget().Peak(), 0u);
}

}  // namespace
}  // namespace tessarix
