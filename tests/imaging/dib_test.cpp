#include "imaging/dib.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "test_support.h"

namespace tessarix {
namespace {

using Bytes = std::vector<unsigned char>;

// 3 x 2 with a different byte everywhere; `tint` in two pixels' T shows that it is dropped.
Image SmallImage(Pixel tint) {
  Image image = test::MakeImage(3, 2, [](uint32_t x, uint32_t y) {
    const uint32_t first = 0x10 * y + 3 * x + 1;
    return MakePixel(first, first + 1, first + 2);
  });
  image.At(0, 0) |= tint;
  image.At(2, 1) |= tint;
  return image;
}

// Bottom row first, B G R, three padding bytes to make 12.
const Bytes kSmallRows = {0x13, 0x12, 0x11, 0x16, 0x15, 0x14, 0x19, 0x18, 0x17, 0, 0, 0,
                          0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x09, 0x08, 0x07, 0, 0, 0};

// The display form and the BMP file store the same rows; the file puts its headers before them:
// 'BM', the file size 54 + 2 * 12, the rows' offset 54, an information header of 40 bytes, width
// 3, height 2 (positive: bottom-up), 1 plane, 24 bits, no compression, image size 24, no
// resolutions or colour counts.
TEST(Dib, DisplayFormAndBmpFileAreBottomUpBgrWithRowsPaddedToFourBytes) {
  auto dib = ToDib(SmallImage(0xFF000000u));
  ASSERT_TRUE(dib);
  EXPECT_EQ(std::tuple(dib->width, dib->height, dib->bytes), std::tuple(3u, 2u, kSmallRows));
  test::TempDir dir;
  ASSERT_TRUE(SaveBmp(SmallImage(0x44000000u), dir.File("small.bmp")));
  Bytes file = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0,  0,
                3,   0,   0,  0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0,  0, 24, 0,
                0,   0,   0,  0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0,  0};
  file.insert(file.end(), kSmallRows.begin(), kSmallRows.end());
  EXPECT_EQ(test::ReadBytes(dir.File("small.bmp")), file);
  EXPECT_FALSE(SaveBmp(Image(), dir.File("empty.bmp")));

  // Whatever the padding holds (a decoder's junk), rows are read at the padded stride.
  dib->bytes[9] = dib->bytes[23] = 0xEE;
  EXPECT_EQ(FromDib(*dib), SmallImage(0));
  dib->bytes.pop_back();  // one byte short of the last row
  EXPECT_FALSE(FromDib(*dib));
  EXPECT_FALSE(ToDib(Image()));
  EXPECT_EQ(Dib::RowStride(1), 4u);
  EXPECT_EQ(Dib::RowStride(2000000000u), 6000000000u);  // no 32-bit wrap
}

}  // namespace
}  // namespace tessarix
