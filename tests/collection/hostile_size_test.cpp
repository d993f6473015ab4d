// Sizes no honest file has: a photo claiming 65500 x 65500 pixels, a collection file announcing
// four billion entries or strings, paths of 70000 characters.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>

#include "collection/collection_file.h"
#include "collection/image_collection.h"
#include "collection/tile_analysis.h"
#include "imaging/jpeg_file.h"
#include "platform/memory_limit.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

using Bytes = std::vector<unsigned char>;

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void Put32(Bytes& out, uint32_t v) {
  for (int s = 0; s < 32; s += 8) out.push_back(static_cast<unsigned char>(v >> s));
}

// The three header numbers, the image folder "/p/" and an empty file path.
Bytes Header() {
  Bytes bytes;
  Put32(bytes, 108);
  Put32(bytes, 12);
  Put32(bytes, 8);
  bytes.insert(bytes.end(), {3, '/', 'p', '/', 0});
  return bytes;
}

int64_t MillisSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

TEST(HostileSizes, PhotoClaiming65500SquareIsRefusedAtOnceInLittleMemory) {
  // Unbounded (sanitizer builds) the refusal rests on the machine's size alone.
  if (!MemoryLimitWorks() && CanAllocate(uint64_t{65500} * 65500 * 4))
    GTEST_SKIP() << "this machine could hold the picture and no limit can be set";
  TempDir dir;
  WriteJpeg(MakeFlatImage(16, 16, MakePixel(90, 120, 150)), dir.File("small.jpg"));
  const Bytes huge = WithClaimedSize(ReadBytes(dir.File("small.jpg")), 65500, 65500);
  ASSERT_FALSE(huge.empty());
  WriteAll(dir.File("huge.jpg"), huge);

  // 17 GB of pixels are asked for; 256 MB more than the process has now must do.
  const LimitedRun run = RunWithMemoryLimit(256u << 20, [&] {
    RecordingPrompt prompt;
    const auto start = std::chrono::steady_clock::now();
    CollectionEntry tile;
    tile.path = dir.File("huge.jpg");
    const bool loaded = LoadTile(tile, 12, 8).has_value();
    CollectionEntry analysed;
    analysed.path = tile.path;
    const bool analysedOk = AnalyseEntry(analysed);
    const bool read = !ReadRgb(tile.path).Empty();
    std::string report = std::string(loaded ? "loaded" : "refused") + "," +
                         (analysedOk ? "analysed" : "refused") + "," + (read ? "read" : "refused");
    for (const std::string& m : prompt.messages) report += "|" + m;
    return report + "|" + (MillisSince(start) < 5000 ? "quick" : "slow");
  });
  ASSERT_TRUE(run.exited) << "the decode crashed or was killed";
  EXPECT_EQ(run.report,
            "refused,refused,refused|JpegFile :\nOut of memory|JpegFile :\nOut of memory|"
            "JpegFile :\nOut of memory|quick");
}

// Counts and lengths are believed only when the bytes behind them exist, so none of these is
// allocated for, and each ends as a damaged file with an empty collection.
TEST(HostileSizes, CollectionFileAnnouncingBillionsIsRefusedAtOnce) {
  TempDir dir;
  std::vector<Bytes> files;
  Bytes entries = Header();
  Put32(entries, 4000000000u);                  // four billion entries
  entries.resize(entries.size() + 409 + 1, 0);  // and room for one
  files.push_back(entries);
  Bytes longString = Header();
  Put32(longString, 1);
  longString.insert(longString.end(), {255, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});  // 4 GB path
  longString.resize(longString.size() + 500, 'x');
  files.push_back(longString);
  Bytes wideString = Header();
  Put32(wideString, 1);
  wideString.insert(wideString.end(), {255, 0xFE, 0xFF,                            // UTF-16 follows
                                       255, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});  // 4G units
  wideString.resize(wideString.size() + 500, 'x');
  files.push_back(wideString);
  Bytes longFolder = {
      108, 0, 0,   0,    12,   0,    0,    0,    8,   0,
      0,   0, 255, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF};  // image folder of 4294967294 bytes
  files.push_back(longFolder);

  for (size_t k = 0; k < files.size(); ++k) {
    const std::string path = dir.File("hostile" + std::to_string(k) + ".tzc");
    WriteAll(path, files[k]);
    const LimitedRun run = RunWithMemoryLimit(64u << 20, [&] {
      const auto start = std::chrono::steady_clock::now();
      ImageCollection collection;
      collection.filePath = path;
      const CollectionLoadResult result = LoadCollectionFile(collection);
      return std::string(result == CollectionLoadResult::kDamaged ? "damaged" : "other") +
             (collection.IsEmpty() && collection.filePath.empty() ? ",cleared" : ",kept") +
             (MillisSince(start) < 2000 ? ",quick" : ",slow");
    });
    ASSERT_TRUE(run.exited) << "file " << k;
    EXPECT_EQ(run.report, "damaged,cleared,quick") << "file " << k;
  }
}

TEST(HostileSizes, SeventyThousandCharacterStringsAreStoredInTheLongForm) {
  const std::string text(70000, 'q');
  Bytes field;
  AppendStringField(field, text);
  ASSERT_EQ(field.size(), 7u + 70000u);
  // u8 255, u16 65535, u32 70000 = 0x00011170.
  EXPECT_EQ(Bytes(field.begin(), field.begin() + 7),
            (Bytes{0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
  EXPECT_EQ(field.back(), 'q');
}

TEST(HostileSizes, SeventyThousandCharacterFolderAndPathSurviveASaveAndRebase) {
  TempDir dir;
  ImageCollection collection;
  // A folder of another machine, far longer than any real path here.
  collection.imageFolder = "/" + std::string(69998, 'f') + "/";
  ASSERT_EQ(collection.imageFolder.size(), 70000u);
  collection.filePath = dir.File("long.tzc");
  auto entry = std::make_unique<CollectionEntry>();
  entry->path = collection.imageFolder + "sub/x.jpg";
  entry->pixelWidth = 4;
  entry->pixelHeight = 3;
  collection.Add(std::move(entry));
  auto outside = std::make_unique<CollectionEntry>();
  outside->path = "/elsewhere/" + std::string(70000, 'e') + ".jpg";
  collection.Add(std::move(outside));
  ASSERT_TRUE(SaveCollection(collection));

  ImageCollection loaded;
  loaded.filePath = collection.filePath;
  ASSERT_EQ(LoadCollectionFile(loaded), CollectionLoadResult::kLoaded);
  EXPECT_EQ(loaded.imageFolder, dir.Folder());
  ASSERT_EQ(loaded.Size(), 2u);
  // Cut by the stored folder's 70000 characters and put under the folder the file lies in.
  EXPECT_EQ(loaded.Entry(0).path, dir.Folder() + "sub/x.jpg");
  EXPECT_EQ(loaded.Entry(0).pixelWidth, 4u);
  EXPECT_EQ(loaded.Entry(1).path, "/elsewhere/" + std::string(70000, 'e') + ".jpg");
}

TEST(HostileSizes, SeventyThousandCharacterPathsFailCleanlyInEveryFileOperation) {
  RecordingPrompt prompt;
  TempDir dir;
  const std::string path = dir.Folder() + std::string(70000, 'n') + ".jpg";

  ImageCollection collection;
  collection.filePath = path;
  EXPECT_EQ(LoadCollectionFile(collection), CollectionLoadResult::kCannotOpen);
  EXPECT_TRUE(collection.filePath.empty());
  collection.filePath = path;
  collection.imageFolder = dir.Folder();
  EXPECT_FALSE(SaveCollection(collection));

  Image image;
  EXPECT_FALSE(image.LoadJpeg(path));
  EXPECT_TRUE(prompt.messages.empty());
  EXPECT_FALSE(MakeFlatImage(4, 4, 0).SaveJpeg(path, 90));
  EXPECT_EQ(prompt.messages, std::vector<std::string>{"JpegFile :\nCan't open " + path + "\n"});

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
