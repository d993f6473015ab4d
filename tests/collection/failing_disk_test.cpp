// Saving a collection onto a full disk or into a place that cannot take it must leave the
// previous collection file exactly as it was, and no temporary file behind.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "collection/collection_file.h"
#include "collection/image_collection.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

void AddEntries(ImageCollection& collection, int count) {
  for (int k = 0; k < count; ++k) {
    auto entry = std::make_unique<CollectionEntry>();
    entry->path = collection.imageFolder + "img" + std::to_string(k) + ".jpg";
    collection.Add(std::move(entry));
  }
}

// A full disk at the very first byte and part way: 42 entries (about 18 KB) are more than one
// 16 KB piece, while the limit lets the previous file's size through. What else a save can meet
// on the way to the disk is the atomic writer's to handle.
TEST(CollectionSave, FailuresKeepThePreviousFileWholeAndLeaveNoTemporary) {
  TempDir dir;
  ImageCollection collection;
  collection.imageFolder = dir.Folder();
  collection.filePath = dir.File("all.tzc");
  AddEntries(collection, 2);
  ASSERT_TRUE(SaveCollection(collection));
  const std::vector<unsigned char> previous = ReadBytes(collection.filePath);
  // Header, folder, file path and count, then per entry its path ("img0.jpg") and 409 bytes.
  const size_t f = dir.Folder().size();
  ASSERT_EQ(previous.size(), 12 + (1 + f) + (1 + f + 7) + 4 + 2 * (1 + f + 8 + 409));
  AddEntries(collection, 40);

  const struct {
    std::string path;
    uint64_t fileLimit;
    int error;
  } rows[] = {
      {dir.File("all.tzc"), 0, EFBIG},
      {dir.File("all.tzc"), previous.size(), EFBIG},
      {dir.File("missing/all.tzc"), 1u << 30, ENOENT},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    collection.filePath = row.path;
    const LimitedRun run = RunWithFileSizeLimit(row.fileLimit, [&] {
      const Status saved = SaveCollection(collection);
      return std::string(saved ? "saved" : std::strerror(saved.Why().systemError));
    });
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.report, std::strerror(row.error));
    EXPECT_EQ(ReadBytes(dir.File("all.tzc")), previous);
    EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
  }
  collection.filePath.clear();
  EXPECT_FALSE(SaveCollection(collection));
}

}  // namespace
}  // namespace tessarix::test
