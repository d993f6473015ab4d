#include "imaging/jpeg_file.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Encodes `samples` (width * height * components) with libjpeg itself at quality 100, stored in
// the given colour space as given, so the tests can make grey and plain (not Adobe) CMYK files.
void EncodeRaw(const std::string& path, const std::vector<JSAMPLE>& samples, int width, int height,
               int components, J_COLOR_SPACE space) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
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
TEST(JpegFile, GreyAndCmykFilesReadAsRgb) {
  test::TempDir dir;
  EncodeRaw(dir.File("grey.jpg"), std::vector<JSAMPLE>(16 * 8, 77), 16, 8, 1, JCS_GRAYSCALE);
  std::vector<JSAMPLE> samples;
  for (int i = 0; i < 16 * 8; ++i)
    samples.insert(samples.end(), {255, 128, 0, static_cast<JSAMPLE>(i % 16 < 8 ? 255 : 128)});
  EncodeRaw(dir.File("cmyk.jpg"), samples, 16, 8, 4, JCS_CMYK);
  Image image;
  ASSERT_TRUE(image.LoadJpeg(dir.File("grey.jpg")));
  EXPECT_EQ(image, test::MakeFlatImage(16, 8, 0x004D4D4Du));
  ASSERT_TRUE(image.LoadJpeg(dir.File("cmyk.jpg")));
  EXPECT_EQ(image, test::MakeImage(16, 8, [](uint32_t x, uint32_t) {
              return x < 8 ? MakePixel(255, 128, 0) : MakePixel(128, 64, 0);
            }));
}

// Other component counts, a missing file and a damaged header fail without a word, leaving the
// image empty. Data cut off after the header is only a library warning: the picture decodes at
// full size.
TEST(JpegFile, UnreadableFilesFailQuietly) {
  test::RecordingPrompt prompt;
  test::TempDir dir;
  EncodeRaw(dir.File("two.jpg"), std::vector<JSAMPLE>(16 * 8 * 2, 90), 16, 8, 2, JCS_UNKNOWN);
  ASSERT_TRUE(test::Noise(64, 64).SaveJpeg(dir.File("good.jpg"), 90));
  const Bytes bytes = test::ReadBytes(dir.File("good.jpg"));
  test::WriteBytes(dir.File("corrupt.jpg"), Bytes(200, 0xFF));
  for (const char* name : {"two.jpg", "missing.jpg", "corrupt.jpg"}) {
    Image image = test::MakeFlatImage(2, 2, 0);
    EXPECT_FALSE(image.LoadJpeg(dir.File(name))) << name;
    EXPECT_TRUE(image.Empty()) << name;
  }
  test::WriteBytes(dir.File("cut.jpg"), Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2));
  Image cut;
  ASSERT_TRUE(cut.LoadJpeg(dir.File("cut.jpg")));
  EXPECT_EQ(std::pair(cut.Width(), cut.Height()), std::pair(64u, 64u));
  EXPECT_TRUE(prompt.messages.empty());
}

// A header claiming more pixels than there is room for is refused before any of it is decoded:
// 17 GB claimed with 256 MB more address space than the process has now, 256 MB claimed within a
// memory budget of 64 MB, which stays untouched. The words are said by the caller (here
// WithJpegMessage), once.
TEST(JpegFile, ClaimedSizeBeyondTheMemoryIsRefusedAtOnce) {
  test::TempDir dir;
  const std::string huge = dir.File("huge.jpg"), large = dir.File("large.jpg");
  test::WriteClaimingSize(huge, 65500, 65500);
  test::WriteClaimingSize(large, 8000, 8000);
  const auto load = [](const std::string& path) {
    test::RecordingPrompt prompt;
    Image image;
    const Status loaded = WithJpegMessage(image.LoadJpeg(path));
    std::string report = loaded ? "loaded" : *JpegFailureText(loaded.Why());
    for (const std::string& m : prompt.messages) report += "|" + m;
    return report + (image.Empty() ? "|empty" : "");
  };
  const std::string refused = "JpegFile :\nOut of memory|JpegFile :\nOut of memory|empty";
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
