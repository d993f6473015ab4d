#include "imaging/image.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "test_support.h"

namespace tessarix {
namespace {

// Every byte is filled; a zero size fails quietly and a huge one with a message, each leaving the
// image empty.
TEST(Image, CreateFillsEveryByteOrFailsEmpty) {
  test::RecordingPrompt prompt;
  Image image;
  using Row = std::tuple<uint32_t, uint8_t, Pixel>;  // width (of 2 rows), byte, pixel
  for (const auto& [w, byte, pixel] : {Row{3, 0, 0}, {3, 255, ~0u}, {1, 0x12, 0x12121212u}}) {
    ASSERT_TRUE(image.Create(w, 2, byte));
    EXPECT_EQ(image, test::MakeFlatImage(w, 2, pixel)) << int{byte};
  }
  ASSERT_TRUE(image.CreateTransparent(3, 2));
  EXPECT_EQ(image, test::MakeFlatImage(3, 2, kTransparentBlack));
  EXPECT_FALSE(image.Create(0, 5, 0));
  EXPECT_TRUE(image.Empty() && image.Width() == 0 && image.Height() == 0);
  EXPECT_TRUE(prompt.messages.empty());
  EXPECT_FALSE(image.Create(4000000000u, 4000000000u, 0) || !image.Empty());
  EXPECT_EQ(prompt.messages,
            std::vector<std::string>{"Out Of Memory while creating an Image made with "
                                     "4000000000x4000000000 Pixels"});
}

}  // namespace
}  // namespace tessarix
