#include "imaging/image.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "imaging/color_accumulator.h"
#include "test_support.h"

namespace tessarix {
namespace {

TEST(ColorAccumulator, TransparencyReducesTheColorWeight) {
  ColorAccumulator sum;
  sum.Add(MakePixel(100, 50, 25, 1), 256);
  EXPECT_EQ(sum.ColorWeight(), 254u);  // 256 * 254 / 255, truncated
  EXPECT_EQ(sum.TransparencyWeight(), 256u);
  EXPECT_EQ(sum.Average(), MakePixel(100, 50, 25, 1));

  sum.Clear();
  sum.Add(0x000000FF, 128);
  sum.Add(0x00FF0000, 128);
  EXPECT_EQ(sum.Average(), 0x007F007Fu);

  sum.Clear();
  sum.Add(0xFF123456, 200);  // fully transparent: no colour at all
  EXPECT_EQ(sum.ColorWeight(), 0u);
  EXPECT_EQ(sum.Average(), kTransparentBlack);

  sum.Clear();
  EXPECT_EQ(sum.Average(), 0u);
  sum.AddOutside(100);
  sum.Add(MakePixel(90, 0, 0), 100);
  EXPECT_EQ(sum.Average(), MakePixel(90, 0, 0, 127));  // 255 * 100 / 200
}

TEST(Image, CreateFillsEveryByte) {
  Image image;
  using Row = std::tuple<uint32_t, uint8_t, Pixel>;  // width (of 2 rows), byte, pixel
  for (const auto& [w, byte, pixel] : {Row{3, 0, 0}, {3, 255, ~0u}, {1, 0x12, 0x12121212u}}) {
    ASSERT_TRUE(image.Create(w, 2, byte));
    EXPECT_EQ(image, test::MakeFlatImage(w, 2, pixel)) << int{byte};
  }
  ASSERT_TRUE(image.CreateTransparent(3, 2));
  EXPECT_EQ(image, test::MakeFlatImage(3, 2, kTransparentBlack));
}

TEST(Image, ZeroSizeFailsQuietlyAndHugeSizeWithAMessage) {
  test::RecordingPrompt prompt;
  Image image = test::MakeFlatImage(2, 2, 7);
  EXPECT_FALSE(image.Create(0, 5, 0));
  EXPECT_TRUE(image.Empty() && image.Width() == 0 && image.Height() == 0);
  EXPECT_TRUE(prompt.messages.empty());
  EXPECT_FALSE(image.Create(4000000000u, 4000000000u, 0) || !image.Empty());
  EXPECT_EQ(prompt.messages,
            std::vector<std::string>{"Out Of Memory while creating an Image made with "
                                     "4000000000x4000000000 Pixels"});
}

TEST(Image, TakeOverAdoptsOrKeeps) {
  Image image = test::MakeFlatImage(2, 2, 7);
  EXPECT_FALSE(image.TakeOver(std::nullopt));
  EXPECT_EQ(image, test::MakeFlatImage(2, 2, 7));
  EXPECT_TRUE(image.TakeOver(test::MakeFlatImage(3, 1, 9)));
  EXPECT_EQ(image, test::MakeFlatImage(3, 1, 9));
}

}  // namespace
}  // namespace tessarix
