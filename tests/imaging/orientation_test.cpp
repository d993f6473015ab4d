#include <gtest/gtest.h>

#include "imaging/image.h"
#include "test_support.h"

namespace tessarix {
namespace {

struct Stored {
  uint16_t tag;
  size_t exifBytes;  // 0: no EXIF block at all
  int quarterTurns;  // how the camera stored the upright scene
  bool mirror;
};

// Each tag's stored picture is the upright one turned as the EXIF standard says; a damaged or
// absurd tag leaves the picture as stored.
const Stored kStored[] = {
    {1, 0, 0, false},  {1, 32, 0, false}, {2, 32, 0, true},  {3, 32, 2, false},
    {4, 32, 2, true},  {5, 32, 1, true},  {6, 32, 3, false}, {7, 32, 3, true},
    {8, 32, 1, false}, {0, 32, 0, false}, {9, 32, 0, false}, {6, 23, 0, false},
};

TEST(OrientationTest, EveryTagReadsUpright) {
  test::TempDir dir;
  const Image upright = test::Blocks(32, 16);
  test::WriteJpeg(upright, dir.File("upright.jpg"), 100);
  Image expected;
  ASSERT_TRUE(expected.LoadJpeg(dir.File("upright.jpg")));
  for (const Stored& s : kStored) {
    SCOPED_TRACE(testing::Message() << "tag " << s.tag << ", " << s.exifBytes << " bytes");
    const std::string path = dir.File("stored.jpg");
    test::WriteJpeg(test::Turned(upright, s.quarterTurns, s.mirror), path, 100);
    if (s.exifBytes > 0)
      test::TagOrientation(path, s.tag, s.exifBytes);
    Image whole;
    ASSERT_TRUE(whole.LoadJpeg(path));
    EXPECT_TRUE(whole == expected);
    // The top rows are those of the upright picture, asked for by its size.
    Image top;
    uint32_t fullHeight = 0;
    ASSERT_TRUE(top.LoadJpegTop(
        path, [](uint32_t w, uint32_t h) { return w == 32 ? h / 2 : 1; }, fullHeight));
    ASSERT_EQ(std::tuple(top.Width(), top.Height(), fullHeight), std::tuple(32u, 8u, 16u));
    EXPECT_TRUE(std::equal(top.Pixels(), top.Pixels() + top.PixelCount(), expected.Pixels()));
  }
}

}  // namespace
}  // namespace tessarix
