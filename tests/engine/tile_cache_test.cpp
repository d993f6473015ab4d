#include "engine/tile_cache.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace tessarix {
namespace {

// 4 bytes a pixel: a 5 x 4 tile takes 80 bytes.
Image Tile(uint8_t shade) {
  return test::MakeFlatImage(5, 4, MakePixel(shade, shade, shade));
}

// A tile is kept for its remaining uses only, under its own size; a reload replaces it, and Trim
// drops tiles until the rest fit the budget (170 bytes: two of three).
TEST(TileCache, KeepsATileForItsRemainingUsesWithinTheBudget) {
  CollectionEntry a, b, c;
  const TileKey small{&a, 5, 4}, large{&a, 10, 8}, other{&b, 5, 4}, third{&c, 5, 4};
  TileCache cache(170);
  for (const TileKey& key : {small, small, large, third}) cache.CountUse(key);
  cache.Store(other, Tile(1));  // nobody will ask for it
  cache.Store(small, Tile(2));
  cache.Store(small, Tile(3));
  cache.Store(third, Tile(4));
  EXPECT_EQ(std::tuple(cache.Find(other), cache.Find(large), cache.Bytes()),
            std::tuple(nullptr, nullptr, 160u));
  ASSERT_NE(cache.Find(small), nullptr);
  EXPECT_EQ(*cache.Find(small), Tile(3));
  cache.Used(small);
  EXPECT_NE(cache.Find(small), nullptr);
  cache.Used(small);
  EXPECT_EQ(std::tuple(cache.Find(small), cache.Bytes()), std::tuple(nullptr, 80u));

  cache.CountUse(other);
  cache.Store(other, Tile(5));
  cache.Store(small, Tile(6));  // no use left
  EXPECT_EQ(std::tuple(cache.Find(small), cache.Bytes()), std::tuple(nullptr, 160u));
  cache.CountUse(small);
  cache.Store(small, Tile(7));
  EXPECT_EQ(cache.Bytes(), 240u);  // over the budget until trimmed
  cache.Trim();
  const int kept = (cache.Find(small) != nullptr) + (cache.Find(other) != nullptr) +
                   (cache.Find(third) != nullptr);
  EXPECT_EQ(std::tuple(cache.Bytes(), kept), std::tuple(160u, 2));
}

}  // namespace
}  // namespace tessarix
