// Sizes no honest file has: photos claiming millions of pixels, paths of 70000 characters.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "collection/collection_file.h"
#include "collection/folder_scan.h"
#include "collection/image_collection.h"
#include "collection/tile_analysis.h"
#include "platform/memory_budget.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

// A 12 x 8 thumbnail of a 3000 x 3000 photo decodes its top 2500 rows: 30 MB. Two such decodes on
// two threads in a budget of 45 MB take turns; both succeed.
TEST(HostileSizes, TwoLargeDecodesOnTwoThreadsNeverHoldMoreThanTheBudget) {
  TempDir dir;
  const std::string path = dir.File("large.jpg");
  WriteClaimingSize(path, 3000, 3000);
  const ScopedMemoryBudgetForTest budget(45'000'000);
  bool loaded[2] = {};
  std::vector<std::thread> threads;
  for (bool& result : loaded) {
    threads.emplace_back([&path, &result] {
      CollectionEntry tile;
      tile.path = path;
      result = LoadTile(tile, 12, 8).has_value();
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(loaded[0] && loaded[1]);
  EXPECT_EQ(budget.Budget().Peak(), uint64_t{3000} * 2500 * sizeof(Pixel));
}

// Also the re-base onto the folder a collection file lies in: the stored folder is another
// machine's, far longer than any real path here.
TEST(HostileSizes, SeventyThousandCharacterFolderAndPathSurviveASaveAndRebase) {
  TempDir dir;
  ImageCollection collection;
  collection.imageFolder = "/" + std::string(69998, 'f') + "/";
  collection.filePath = dir.File("long.tzc");
  auto entry = std::make_unique<CollectionEntry>();
  entry->path = collection.imageFolder + "sub/x.jpg";
  entry->pixelWidth = 4;
  collection.Add(std::move(entry));
  const std::string outside = "/elsewhere/" + std::string(70000, 'e') + ".jpg";
  collection.Add(std::make_unique<CollectionEntry>()).path = outside;
  ASSERT_TRUE(SaveCollection(collection));

  ImageCollection loaded;
  loaded.imageFolder = "/previous/";
  loaded.filePath = collection.filePath;
  ASSERT_TRUE(LoadCollectionFile(loaded));
  EXPECT_EQ(loaded.imageFolder, dir.Folder());
  ASSERT_EQ(loaded.Size(), 2u);
  EXPECT_EQ(loaded.Entry(0).path, dir.Folder() + "sub/x.jpg");
  EXPECT_EQ(loaded.Entry(0).pixelWidth, 4u);
  EXPECT_EQ(loaded.Entry(1).path, outside);  // not under the stored folder: left as it is

  // A path too long for the system: no file to read, analyse or list, and nothing said.
  RecordingPrompt prompt;
  loaded.filePath = dir.Folder() + std::string(70000, 'n') + ".tzc";
  EXPECT_FALSE(LoadCollectionFile(loaded));
  EXPECT_TRUE(loaded.filePath.empty());
  CollectionEntry tooLong;
  tooLong.path = dir.Folder() + std::string(70000, 'n') + ".jpg";
  EXPECT_EQ(KindOf(AnalyseEntry(tooLong)), FailureKind::kCannotRead);
  EXPECT_EQ(tooLong.valid, 0u);
  std::vector<std::string> found;
  ListFiles(dir.Folder() + std::string(70000, 'd') + "/", "*.JPG", true, found);
  EXPECT_TRUE(found.empty());
  EXPECT_TRUE(prompt.messages.empty());
}

}  // namespace
}  // namespace tessarix::test
