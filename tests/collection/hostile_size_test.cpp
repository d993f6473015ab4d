// Sizes no honest file has: a photo claiming 65500 x 65500 pixels, paths of 70000 characters.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "collection/collection_file.h"
#include "collection/folder_scan.h"
#include "collection/image_collection.h"
#include "collection/tile_analysis.h"
#include "imaging/jpeg_file.h"
#include "platform/memory_budget.h"
#include "platform/memory_limit.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

// The kind of a load's failure; none when the load succeeded.
std::optional<FailureKind> LoadFailure(ImageCollection& collection) {
  const Status loaded = LoadCollectionFile(collection);
  return loaded ? std::nullopt : std::optional<FailureKind>(loaded.Why().kind);
}

// A 16 x 16 photo whose header claims `width` x `height`: the rest decodes as grey.
std::string ClaimingSize(const TempDir& dir, uint16_t width, uint16_t height) {
  WriteJpeg(MakeFlatImage(16, 16, MakePixel(90, 120, 150)), dir.File("small.jpg"));
  const std::vector<unsigned char> bytes =
      WithClaimedSize(ReadBytes(dir.File("small.jpg")), width, height);
  EXPECT_FALSE(bytes.empty());
  const std::string path = dir.File("huge.jpg");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

TEST(HostileSizes, PhotoClaiming65500SquareIsRefusedAtOnceInLittleMemory) {
  // Unbounded (sanitizer builds) the refusal rests on the machine's size alone.
  if (!MemoryLimitWorks() && CanAllocate(uint64_t{65500} * 65500 * 4))
    GTEST_SKIP() << "this machine could hold the picture and no limit can be set";
  TempDir dir;
  const std::string huge = ClaimingSize(dir, 65500, 65500);

  // 17 GB of pixels are asked for; 256 MB more than the process has now must do.
  const LimitedRun run = RunWithMemoryLimit(256u << 20, [&] {
    RecordingPrompt prompt;
    const auto start = std::chrono::steady_clock::now();
    CollectionEntry tile;
    tile.path = huge;
    const bool loaded = LoadTile(tile, 12, 8).has_value();
    CollectionEntry analysed;
    analysed.path = tile.path;
    std::string report = std::string(loaded ? "loaded" : "refused") + "," +
                         (AnalyseEntry(analysed) ? "analysed" : "refused");
    for (const std::string& m : prompt.messages) report += "|" + m;
    const bool quick = std::chrono::steady_clock::now() - start < std::chrono::seconds(5);
    return report + "|" + (quick ? "quick" : "slow");
  });
  ASSERT_TRUE(run.exited) << "the decode crashed or was killed";
  EXPECT_EQ(run.report,
            "refused,refused|JpegFile :\nOut of memory|JpegFile :\nOut of memory|quick");
}

// A 12 x 8 thumbnail of a 3000 x 3000 photo decodes its top 2500 rows: 30 MB. Two such decodes on
// two threads in a budget of 45 MB take turns; both succeed.
TEST(HostileSizes, TwoLargeDecodesOnTwoThreadsNeverHoldMoreThanTheBudget) {
  TempDir dir;
  const std::string path = ClaimingSize(dir, 3000, 3000);
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
}

TEST(HostileSizes, SeventyThousandCharacterPathsFailCleanlyInEveryFileOperation) {
  RecordingPrompt prompt;
  TempDir dir;
  const std::string path = dir.Folder() + std::string(70000, 'n') + ".jpg";

  ImageCollection collection;
  collection.filePath = path;
  EXPECT_EQ(LoadFailure(collection), FailureKind::kCannotRead);
  EXPECT_TRUE(collection.filePath.empty());
  collection.filePath = path;
  collection.imageFolder = dir.Folder();
  EXPECT_FALSE(SaveCollection(collection));

  Image image;
  EXPECT_FALSE(WithJpegMessage(image.LoadJpeg(path)));
  EXPECT_TRUE(prompt.messages.empty());
  EXPECT_FALSE(WithJpegMessage(MakeFlatImage(4, 4, 0).SaveJpeg(path, 90)));
  EXPECT_EQ(prompt.messages,
            std::vector<std::string>{"JpegFile :\nCan't open " + path + "\nFile name too long"});

  CollectionEntry entry;
  entry.path = path;
  EXPECT_FALSE(AnalyseEntry(entry));
  EXPECT_EQ(entry.valid, 0u);
  std::vector<std::string> found;
  ListFiles(dir.Folder() + std::string(70000, 'd') + "/", "*.JPG", true, found);
  EXPECT_TRUE(found.empty());
}

}  // namespace
}  // namespace tessarix::test
