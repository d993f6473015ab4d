#include "engine/existing_tiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace tessarix {
namespace {

// Tiles moved or deleted since the collection was made drop out of the batch's copy, whichever
// place in the list they hold; a folder in a tile's place is no tile either.
TEST(WithoutMissingFiles, KeepsTheTilesStillThereInOrder) {
  test::TempDir dir;
  for (const char* name : {"a.jpg", "c.jpg", "e.jpg"}) test::WriteBytes(dir.File(name), {1});
  std::filesystem::create_directory(dir.File("d.jpg"));
  ImageCollection collection;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}) {
    auto entry = std::make_unique<CollectionEntry>();
    entry->path = dir.File(name);
    collection.Add(std::move(entry));
  }
  const std::unique_ptr<ImageCollection> left = WithoutMissingFiles(collection);
  ASSERT_NE(left, nullptr);
  std::vector<std::string> paths;
  for (size_t i = 0; i < left->Size(); ++i) paths.push_back(left->Entry(i).path);
  EXPECT_EQ(paths,
            (std::vector<std::string>{dir.File("a.jpg"), dir.File("c.jpg"), dir.File("e.jpg")}));
  EXPECT_EQ(collection.Size(), 5u);
  EXPECT_EQ(WithoutMissingFiles(*left), nullptr);  // every file there: the collection itself
}

}  // namespace
}  // namespace tessarix
