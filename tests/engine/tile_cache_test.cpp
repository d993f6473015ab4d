#include "engine/tile_cache.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace tessarix {
namespace {

// 4 bytes a pixel: a 5 x 4 tile takes 80 bytes.
Image Tile(uint8_t shade) {
  return test::MakeFlatImage(5, 4, MakePixel(shade, shade, shade));
}

TEST(TileCache, KeepsATileForItsRemainingUsesOnly) {
  CollectionEntry a, b;
  const TileKey small{&a, 5, 4}, large{&a, 10, 8}, other{&b, 5, 4};
  TileCache cache(1000);
  cache.CountUse(small);
  cache.CountUse(small);
  cache.CountUse(large);

  cache.Store(other, Tile(1));  // nobody will ask for it
  EXPECT_EQ(cache.Find(other), nullptr);
  EXPECT_EQ(cache.Bytes(), 0u);

  cache.Store(small, Tile(2));
  cache.Store(small, Tile(3));  // a reload replaces, it does not add
  EXPECT_EQ(cache.Bytes(), 80u);
  ASSERT_NE(cache.Find(small), nullptr);
  EXPECT_EQ(*cache.Find(small), Tile(3));
  EXPECT_EQ(cache.Find(large), nullptr);  // same entry, other size

  cache.Used(small);
  EXPECT_NE(cache.Find(small), nullptr);
  cache.Used(small);
  EXPECT_EQ(cache.Find(small), nullptr);
  EXPECT_EQ(cache.Bytes(), 0u);
  cache.Store(small, Tile(4));  // no use left
  EXPECT_EQ(cache.Find(small), nullptr);
}

TEST(TileCache, TrimDropsTilesUntilTheRestFit) {
  CollectionEntry a, b, c;
  const TileKey keys[] = {{&a, 5, 4}, {&b, 5, 4}, {&c, 5, 4}};
  TileCache cache(170);
  for (const TileKey& key : keys) {
    cache.CountUse(key);
    cache.Store(key, Tile(9));
  }
  EXPECT_EQ(cache.Bytes(), 240u);  // over the budget until trimmed
  cache.Trim();
  EXPECT_EQ(cache.Bytes(), 160u);
  // Two are kept; a dropped tile's use is still counted: stored again, it is kept.
  int kept = 0;
  for (const TileKey& key : keys) {
    kept += cache.Find(key) != nullptr;
    cache.Store(key, Tile(7));
    EXPECT_NE(cache.Find(key), nullptr);
  }
  EXPECT_EQ(kept, 2);
}

}  // namespace
}  // namespace tessarix
