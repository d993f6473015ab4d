#include "imaging/dib.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_support.h"

namespace tessarix {
namespace {

using Bytes = std::vector<unsigned char>;

// 3 x 2 with a different byte everywhere; T set to show it is dropped.
Image SmallImage() {
  Image image = test::MakeImage(3, 2, [](uint32_t x, uint32_t y) {
    const uint32_t first = 0x10 * y + 3 * x + 1;
    return MakePixel(first, first + 1, first + 2);
  });
  image.At(0, 0) |= 0x44000000u;
  image.At(2, 1) |= 0xFF000000u;
  return image;
}

// Bottom row first, B G R, three padding bytes to make 12.
const Bytes kSmallRows = {0x13, 0x12, 0x11, 0x16, 0x15, 0x14, 0x19, 0x18, 0x17, 0, 0, 0,
                          0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x09, 0x08, 0x07, 0, 0, 0};

TEST(Dib, DisplayFormIsBottomUpBgrWithRowsPaddedToFourBytes) {
  const auto dib = ToDib(SmallImage());
  ASSERT_TRUE(dib);
  EXPECT_EQ(std::pair(dib->width, dib->height), std::pair(3u, 2u));
  EXPECT_EQ(Bytes(dib->bytes.begin(), dib->bytes.end()), kSmallRows);
  EXPECT_FALSE(ToDib(Image()));
  EXPECT_EQ(Dib::RowStride(1), 4u);
  EXPECT_EQ(Dib::RowStride(4), 12u);
  EXPECT_EQ(Dib::RowStride(2000000000u), 6000000000u);  // no 32-bit wrap
}

// A frame whose stride (968) is not width * 3 (966): rows come back unskewed, and a BMP file of
// them holds the same rows with the padding now zero.
TEST(Dib, OddWidthFrameComesBackUnskewed) {
  constexpr uint32_t kWidth = 322, kHeight = 3, kStride = 968;
  Dib dib{kWidth, kHeight, Bytes(kStride * kHeight, 0xEE)};  // padding holds junk
  for (uint32_t r = 0; r < kHeight; ++r) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      uint8_t* at = dib.bytes.data() + r * kStride + x * 3;
      at[0] = static_cast<uint8_t>(r);       // blue
      at[1] = static_cast<uint8_t>(x);       // green
      at[2] = static_cast<uint8_t>(x >> 8);  // red
    }
  }
  const auto image = FromDib(dib);
  ASSERT_TRUE(image);
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; x += 107)
      EXPECT_EQ(image->At(x, y), MakePixel(x >> 8, x & 0xFF, kHeight - 1 - y)) << x << "," << y;
  }
  EXPECT_EQ(image->At(321, 0), MakePixel(1, 65, 2));

  test::TempDir dir;
  ASSERT_TRUE(SaveBmp(*image, dir.File("frame.bmp")));
  const Bytes file = test::ReadBytes(dir.File("frame.bmp"));
  ASSERT_EQ(file.size(), 54u + kStride * kHeight);
  EXPECT_TRUE(std::equal(dib.bytes.begin(), dib.bytes.begin() + 966, file.begin() + 54));
  EXPECT_EQ(file[54 + 966] | file[54 + 967], 0);

  dib.bytes.resize(kStride * kHeight - 1);  // one byte short of the last row
  EXPECT_FALSE(FromDib(dib));
}

TEST(SaveBmp, WritesHeadersAndPaddedBottomUpRows) {
  test::TempDir dir;
  ASSERT_TRUE(SaveBmp(SmallImage(), dir.File("small.bmp")));
  Bytes expected(54, 0);
  expected[0] = 'B';
  expected[1] = 'M';
  expected[2] = 78;   // file size 54 + 2 * 12
  expected[10] = 54;  // where the rows start
  expected[14] = 40;  // information header size
  expected[18] = 3;   // width
  expected[22] = 2;   // height, positive: bottom-up
  expected[26] = 1;   // planes
  expected[28] = 24;  // bits per pixel; compression stays 0
  expected[34] = 24;  // image size; resolutions and colour counts stay 0
  expected.insert(expected.end(), kSmallRows.begin(), kSmallRows.end());
  EXPECT_EQ(test::ReadBytes(dir.File("small.bmp")), expected);
}

}  // namespace
}  // namespace tessarix
