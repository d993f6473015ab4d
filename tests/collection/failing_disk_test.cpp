// Saving a collection onto a full disk or into a place that cannot take it must leave the
// previous collection file exactly as it was, and no temporary file behind.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
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
    // Header, folder, file path and count, then per entry its path ("img0.jpg") and 409 bytes.
    const size_t f = dir.Folder().size();
    ASSERT_EQ(previous.size(), 12 + (1 + f) + (1 + f + 7) + 4 + 2 * (1 + f + 8 + 409));
  }

  TempDir dir;
  ImageCollection collection;
  std::vector<unsigned char> previous;
};

// At the very first byte, and part way through: about 18 KB is more than one 16 KB piece, while
// the limit lets the previous file's size through.
TEST_F(CollectionOnFailingDisk, FullDiskKeepsThePreviousFileWhole) {
  AddEntries(collection, 40);
  for (const uint64_t limit : {uint64_t{0}, uint64_t{previous.size()}}) {
    const LimitedRun run = RunWithFileSizeLimit(limit, [&] {
      const Status saved = SaveCollection(collection);
      return std::string(saved ? "saved" : std::strerror(saved.Why().systemError));
    });
    ASSERT_TRUE(run.exited) << limit;
    EXPECT_EQ(run.report, std::strerror(EFBIG)) << limit;
    EXPECT_EQ(ReadBytes(collection.filePath), previous) << limit;
    EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty()) << limit;
  }
  ImageCollection reread;
  reread.filePath = collection.filePath;
  EXPECT_TRUE(LoadCollectionFile(reread));
  EXPECT_EQ(reread.Size(), 2u);
}

// A folder standing where the file should be is refused only at the rename, the last moment a
// save can fail.
TEST_F(CollectionOnFailingDisk, PlacesThatCannotTakeTheFileRefuseTheSave) {
  { std::ofstream(dir.File("plain")) << "keep me"; }
  fs::create_directory(dir.File("blocked.tzc"));
  { std::ofstream(dir.File("blocked.tzc/inside")) << "x"; }
  for (const std::string& path : {dir.File("plain/all.tzc"), dir.File("missing/all.tzc"),
                                  dir.File("blocked.tzc"), std::string()}) {
    collection.filePath = path;
    EXPECT_FALSE(SaveCollection(collection)) << path;
  }
  EXPECT_EQ(ReadBytes(dir.File("plain")),
            (std::vector<unsigned char>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
  EXPECT_FALSE(fs::exists(dir.File("missing")));
  EXPECT_TRUE(fs::is_directory(dir.File("blocked.tzc")));
  EXPECT_EQ(ReadBytes(dir.File("blocked.tzc/inside")), std::vector<unsigned char>{'x'});
  EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
  EXPECT_EQ(ReadBytes(dir.File("all.tzc")), previous);
}

}  // namespace
}  // namespace tessarix::test
