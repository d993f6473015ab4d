// Saving a collection onto a full disk or into a folder that cannot take it must leave the
// previous collection file exactly as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "collection/collection_file.h"
#include "collection/image_collection.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

namespace fs = std::filesystem;

void AddEntries(ImageCollection& collection, int count) {
  for (int k = 0; k < count; ++k) {
    auto entry = std::make_unique<CollectionEntry>();
    entry->path = collection.imageFolder + "img" + std::to_string(k) + ".jpg";
    entry->pixelWidth = 640;
    entry->pixelHeight = 480;
    entry->fileSize = 1000u + static_cast<uint32_t>(k);
    collection.Add(std::move(entry));
  }
}

class CollectionOnFailingDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    collection.imageFolder = dir.Folder();
    collection.filePath = dir.File("all.tzc");
    AddEntries(collection, 2);
    ASSERT_TRUE(SaveCollection(collection));
    previous = ReadBytes(collection.filePath);
    // Header 12 + two strings + count 4, then per entry its path string and 409 bytes.
    ASSERT_GT(previous.size(), 2u * 409u);
  }

  TempDir dir;
  ImageCollection collection;
  std::vector<unsigned char> previous;
};

TEST_F(CollectionOnFailingDisk, FullDiskKeepsThePreviousFileWhole) {
  AddEntries(collection, 40);  // about 18 KB: more than one 16 KB piece reaches the disk
  // The limit lets the previous file's size through but not the new one: a disk that fills up
  // part way through the save.
  const LimitedRun run = RunWithFileSizeLimit(previous.size(), [&] {
    return std::string(SaveCollection(collection) ? "saved" : "refused");
  });
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.report, "refused");
  EXPECT_EQ(ReadBytes(collection.filePath), previous);
  EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());

  ImageCollection reread;
  reread.filePath = collection.filePath;
  EXPECT_EQ(LoadCollectionFile(reread), CollectionLoadResult::kLoaded);
  EXPECT_EQ(reread.Size(), 2u);
}

TEST_F(CollectionOnFailingDisk, FullDiskAtTheVeryFirstByte) {
  const LimitedRun run = RunWithFileSizeLimit(
      0, [&] { return std::string(SaveCollection(collection) ? "saved" : "refused"); });
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.report, "refused");
  EXPECT_EQ(ReadBytes(collection.filePath), previous);
  EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
}

TEST_F(CollectionOnFailingDisk, FolderThatIsAFileOrMissingRefusesTheSave) {
  { std::ofstream(dir.File("plain")) << "keep me"; }
  ImageCollection elsewhere;
  elsewhere.imageFolder = dir.Folder();
  AddEntries(elsewhere, 1);
  elsewhere.filePath = dir.File("plain/all.tzc");  // ENOTDIR
  EXPECT_FALSE(SaveCollection(elsewhere));
  elsewhere.filePath = dir.File("missing/all.tzc");  // ENOENT
  EXPECT_FALSE(SaveCollection(elsewhere));
  EXPECT_EQ(ReadBytes(dir.File("plain")),
            (std::vector<unsigned char>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
  EXPECT_FALSE(fs::exists(dir.File("missing")));
  EXPECT_EQ(ReadBytes(collection.filePath), previous);
}

// A folder standing where the file should be: the new file is written completely and only the
// rename is refused, so this is the last moment a save can fail.
TEST_F(CollectionOnFailingDisk, RefusedRenameLeavesNoTemporaryBehind) {
  ImageCollection blocked;
  blocked.imageFolder = dir.Folder();
  AddEntries(blocked, 3);
  fs::create_directory(dir.File("blocked.tzc"));
  { std::ofstream(dir.File("blocked.tzc/inside")) << "x"; }
  blocked.filePath = dir.File("blocked.tzc");
  EXPECT_FALSE(SaveCollection(blocked));
  EXPECT_TRUE(fs::is_directory(dir.File("blocked.tzc")));
  EXPECT_EQ(ReadBytes(dir.File("blocked.tzc/inside")), std::vector<unsigned char>{'x'});
  EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
}

}  // namespace
}  // namespace tessarix::test
