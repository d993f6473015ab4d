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
  for (const TileKey& key : {other, small, small, third}) cache.Store(key, Tile(key == other));
  EXPECT_EQ(std::tuple(cache.Find(other), cache.Find(large), cache.Bytes()),
            std::tuple(nullptr, nullptr, 160u));
  cache.Used(small);
  EXPECT_NE(cache.Find(small), nullptr);
  cache.Used(small);
  EXPECT_EQ(std::tuple(cache.Find(small), cache.Bytes()), std::tuple(nullptr, 80u));
  cache.CountUse(other);
  cache.CountUse(large);
  cache.Store(other, Tile(5));
  cache.Store(large, Tile(6));
  cache.Trim();
  EXPECT_EQ(cache.Bytes(), 160u);
}

}  // namespace
}  // namespace tessarix
