#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "collection/collection_file.h"
#include "test_support.h"

namespace tessarix {
namespace {
namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

void U32(Bytes& out, uint32_t v) {
  for (int s = 0; s < 32; s += 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void Str(Bytes& out, const std::string& s) {
  AppendStringField(out, s);
}

// A UTF-16 string field: the 65534 announcement, a one-byte unit count, the units.
void Wide(Bytes& out, const std::u16string& s) {
  out.insert(out.end(), {255, 0xFE, 0xFF, static_cast<uint8_t>(s.size())});
  for (char16_t u : s) {
    out.push_back(static_cast<uint8_t>(u));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
}

Bytes Header(const std::string& folder, const std::string& file, uint32_t count) {
  Bytes b;
  U32(b, 108);
  U32(b, 12);
  U32(b, 8);
  Str(b, folder);
  Str(b, file);
  U32(b, count);
  return b;
}

// Everything of a record after its path: time, size, width, height, portrait, mark, mean, grid.
void RecordTail(Bytes& b, Pixel grid, Pixel mean = 0, uint8_t mark = 1) {
  for (uint32_t v : {1000u, 2000u, 30u, 20u, 0u}) U32(b, v);
  b.push_back(mark);
  U32(b, mean);
  for (int i = 0; i < 96; ++i) U32(b, grid);
}

void WriteFile(const std::string& path, const Bytes& b) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

CollectionEntry& AddEntry(ImageCollection& c, const std::string& path, Pixel colour) {
  auto e = std::make_unique<CollectionEntry>();
  e->path = path;
  e->modificationTime = 1700000000;
  e->fileSize = 123456;
  e->pixelWidth = 2000;
  e->pixelHeight = 3000;
  e->portrait = 1;
  e->info.grid.fill(colour);
  RecomputeColorInfo(e->info);
  return c.Add(std::move(e));
}

TEST(StringFieldTest, LengthForms) {
  Bytes b;
  Str(b, std::string(254, 'a'));
  EXPECT_EQ(b.size(), 255u);
  EXPECT_EQ(b[0], 254);
  b.clear();
  Str(b, std::string(255, 'a'));
  EXPECT_EQ(b.size(), 3u + 255u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 3), (Bytes{255, 255, 0}));
  b.clear();
  Str(b, std::string(65533, 'a'));
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 3), (Bytes{255, 0xFD, 0xFF}));
  b.clear();
  Str(b, std::string(65534, 'a'));  // 65534 itself would read as the UTF-16 mark
  EXPECT_EQ(b.size(), 7u + 65534u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 7), (Bytes{255, 0xFF, 0xFF, 0xFE, 0xFF, 0, 0}));
}

class CollectionFileTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  test::RecordingPrompt prompt;
};

TEST_F(CollectionFileTest, EmptyCollectionIsExactly33Bytes) {
  // Relative paths of the same lengths as a drive-letter folder and file.
  const fs::path before = fs::current_path();
  fs::current_path(dir.Path());
  fs::create_directories("C:/P");
  ImageCollection c;
  c.imageFolder = "C:/P/";
  c.filePath = "C:/P/a.tzc";
  const bool saved = SaveCollection(c);
  const std::vector<unsigned char> bytes = test::ReadBytes("C:/P/a.tzc");
  ImageCollection back;
  back.filePath = "C:/P/a.tzc";
  const CollectionLoadResult result = LoadCollectionFile(back);
  fs::current_path(before);

  ASSERT_TRUE(saved);
  const std::vector<unsigned char> expected = {
      0x6C, 0,    0,   0,   0x0C, 0,   0,   0,   0x08, 0,   0,   0,   0x05, 'C', ':', '/', 'P',
      '/',  0x0A, 'C', ':', '/',  'P', '/', 'a', '.',  't', 'z', 'c', 0,    0,   0,   0};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(result, CollectionLoadResult::kLoaded);
  EXPECT_TRUE(back.IsEmpty());
  EXPECT_EQ(back.imageFolder, "C:/P/");
  EXPECT_EQ(back.description, "The Collection contains 0 Images.");
}

TEST_F(CollectionFileTest, RoundTripKeepsEverythingButTheStoredMean) {
  ImageCollection c;
  c.imageFolder = dir.Folder();
  c.filePath = dir.File("all.tzc");
  CollectionEntry& a = AddEntry(c, dir.Folder() + "movie_FRAMES00001/1.jpg", MakePixel(9, 8, 7));
  a.info.grid[5] = MakePixel(1, 2, 3, 200);
  a.info.average = MakePixel(77, 77, 77);  // disagrees with the grid: not what comes back
  AddEntry(c, dir.Folder() + "Required/b.jpg", MakePixel(100, 150, 200));
  AddEntry(c, dir.Folder() + std::string(254, 'x'), 0);
  AddEntry(c, dir.Folder() + "y/" + std::string(300, 'y'), 0);
  AddEntry(c, dir.Folder() + "z/" + std::string(70000, 'z'), 0);
  ASSERT_TRUE(SaveCollection(c));

  ImageCollection back;
  back.filePath = c.filePath;
  ASSERT_TRUE(LoadCollection(back));
  ASSERT_EQ(back.Size(), 5u);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(back.Entry(i).path, c.Entry(i).path) << i;
  const CollectionEntry& e = back.Entry(0);
  EXPECT_EQ(e.modificationTime, 1700000000u);
  EXPECT_EQ(e.fileSize, 123456u);
  EXPECT_EQ(e.pixelWidth, 2000u);
  EXPECT_EQ(e.pixelHeight, 3000u);
  EXPECT_EQ(e.portrait, 1u);
  EXPECT_EQ(e.valid, 1u);
  EXPECT_EQ(e.info.grid, a.info.grid);
  // 95 opaque (9, 8, 7) and one at T 200 of weight (65280 - 51200) / 255 = 55:
  // R = (95*256*9 + 55*1) / 24375 = 218935 / 24375 = 8, T = 51200 / 24576 = 2.
  EXPECT_EQ(e.info.average, MakePixel(8, 7, 6, 2));
  EXPECT_EQ(e.info.opaque, 0u);
  EXPECT_EQ(e.sequenceNumber, 2u);  // "Required/..." sorts before "movie_..."
  EXPECT_EQ(back.Entry(1).required, 1);
  EXPECT_EQ(back.Entry(1).info.average, MakePixel(100, 150, 200));
  EXPECT_EQ(back.description, "The Collection contains 5 Images.");
  EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(CollectionFileTest, MovedCollectionIsRebasedOnItsNewFolder) {
  fs::create_directories(dir.Path() / "D/Photos/Trip");
  ImageCollection c;
  c.imageFolder = dir.Folder() + "D/Photos/";
  c.filePath = dir.Folder() + "D/Photos/All.tzc";
  AddEntry(c, c.imageFolder + "Trip/a.jpg", 0);
  AddEntry(c, "/elsewhere/b.jpg", 0);  // not under the folder: nothing to re-base
  ASSERT_TRUE(SaveCollection(c));
  fs::create_directories(dir.Path() / "E/Backup");
  fs::rename(dir.Path() / "D/Photos", dir.Path() / "E/Backup/Photos");

  ImageCollection back;
  back.imageFolder = "/previous/";
  back.filePath = dir.Folder() + "E/Backup/Photos/All.tzc";
  ASSERT_TRUE(LoadCollection(back));
  EXPECT_EQ(back.imageFolder, dir.Folder() + "E/Backup/Photos/");
  ASSERT_EQ(back.Size(), 2u);
  EXPECT_EQ(back.Entry(0).path, dir.Folder() + "E/Backup/Photos/Trip/a.jpg");
  EXPECT_EQ(back.Entry(1).path, "/elsewhere/b.jpg");
}

TEST_F(CollectionFileTest, WindowsCollectionLoadsWithSlashes) {
  Bytes b = Header("D:\\Photos\\", "D:\\Photos\\All.tzc", 2);
  Str(b, "D:\\Photos\\Trip\\Day 1\\a.jpg");
  RecordTail(b, MakePixel(1, 2, 3));
  Str(b, "E:\\Other\\b.jpg");
  RecordTail(b, MakePixel(1, 2, 3));
  WriteFile(dir.File("All.tzc"), b);
  ImageCollection c;
  c.filePath = dir.File("All.tzc");
  ASSERT_EQ(LoadCollectionFile(c), CollectionLoadResult::kLoaded);
  ASSERT_EQ(c.Size(), 2u);
  EXPECT_EQ(c.Entry(0).path, dir.Folder() + "Trip/Day 1/a.jpg");
  EXPECT_EQ(c.Entry(1).path, "E:\\Other\\b.jpg");
  EXPECT_EQ(c.Entry(0).info.average, MakePixel(1, 2, 3));

  // Read through a name without any folder, the stored folder stays.
  const fs::path before = fs::current_path();
  fs::current_path(dir.Path());
  ImageCollection here;
  here.filePath = "All.tzc";
  const CollectionLoadResult result = LoadCollectionFile(here);
  fs::current_path(before);
  ASSERT_EQ(result, CollectionLoadResult::kLoaded);
  EXPECT_EQ(here.imageFolder, "D:\\Photos\\");
  EXPECT_EQ(here.Entry(0).path, "D:\\Photos\\Trip/Day 1/a.jpg");
}

TEST_F(CollectionFileTest, Utf16StringsBecomeUtf8AndRebaseByBytes) {
  Bytes b;
  U32(b, 108);
  U32(b, 12);
  U32(b, 8);
  Wide(b, u"/\u00f6/");  // 3 units, 4 bytes in UTF-8
  Str(b, "/x.tzc");
  U32(b, 1);
  Wide(b, u"/\u00f6/\u20ac\U0001F600.jpg");
  RecordTail(b, 0);
  WriteFile(dir.File("w.tzc"), b);
  ImageCollection c;
  c.filePath = dir.File("w.tzc");
  ASSERT_EQ(LoadCollectionFile(c), CollectionLoadResult::kLoaded);
  ASSERT_EQ(c.Size(), 1u);
  EXPECT_EQ(c.Entry(0).path, dir.Folder() + "\xE2\x82\xAC\xF0\x9F\x98\x80.jpg");
}

TEST_F(CollectionFileTest, WrongVersionShowsTheMessageAndLeavesAnEmptyCollection) {
  for (const int field : {0, 1, 2}) {
    Bytes b = Header("/p/", "/p/a.tzc", 0);
    b[4 * field] = field == 0 ? 107 : 13;
    WriteFile(dir.File("old.tzc"), b);
    ImageCollection c;
    c.imageFolder = "/kept/";
    c.filePath = dir.File("old.tzc");
    AddEntry(c, "/kept/a.jpg", 0);
    EXPECT_EQ(LoadCollectionFile(c), CollectionLoadResult::kWrongVersion);
    EXPECT_TRUE(c.IsEmpty());
    EXPECT_EQ(c.imageFolder, "/kept/");
    EXPECT_EQ(c.description, "The Collection contains 0 Images.");
  }
  EXPECT_EQ(prompt.messages, std::vector<std::string>(3, "Wrong File version!"));
  ImageCollection c;
  c.filePath = dir.File("old.tzc");
  EXPECT_TRUE(LoadCollection(c));
}

TEST_F(CollectionFileTest, DamagedFilesFailCleanly) {
  Bytes good = Header("/p/", "/p/a.tzc", 2);
  Str(good, "/p/a.jpg");
  RecordTail(good, 0);
  Str(good, "/p/b.jpg");
  RecordTail(good, 0);

  std::vector<Bytes> damaged;
  damaged.emplace_back(good.begin(), good.end() - 100);      // ends inside the second record
  damaged.emplace_back(good.begin(), good.begin() + 2);      // ends inside the header
  damaged.push_back(Header("/p/", "/p/a.tzc", 0xFFFFFFFF));  // a count the file cannot hold
  {
    Bytes b = Header("/p/", "/p/a.tzc", 1);
    b.insert(b.end(), {255, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF});  // string past the end
    RecordTail(b, 0);
    damaged.push_back(b);
  }
  {
    Bytes b = Header("/p/", "/p/a.tzc", 1);
    b.insert(b.end(), {255, 0xFE, 0xFF, 255, 0xFE, 0xFF, 4, 'a', 0, 'b', 0});  // UTF-16 twice
    RecordTail(b, 0);
    damaged.push_back(b);
  }
  {
    Bytes b = Header("/p/", "/p/a.tzc", 1);
    Str(b, "/p/a.jpg");
    RecordTail(b, 0, 0, 2);  // colour record mark 2
    damaged.push_back(b);
  }
  {
    Bytes b;
    U32(b, 108);
    U32(b, 12);
    U32(b, 8);
    b.insert(b.end(), {255, 0xFE, 0xFF, 200, 'a', 0});  // 200 UTF-16 units, 1 present
    damaged.push_back(b);
  }
  for (size_t k = 0; k < damaged.size(); ++k) {
    WriteFile(dir.File("bad.tzc"), damaged[k]);
    ImageCollection c;
    c.filePath = dir.File("bad.tzc");
    c.imageFolder = "/p/";
    AddEntry(c, "/p/old.jpg", 0);
    EXPECT_EQ(LoadCollectionFile(c), CollectionLoadResult::kDamaged) << k;
    EXPECT_TRUE(c.IsEmpty()) << k;
    EXPECT_TRUE(c.PathIndex().empty()) << k;
    EXPECT_EQ(c.filePath, "") << k;
    EXPECT_EQ(c.description, ImageCollection::kNoCollectionText) << k;
  }
  EXPECT_TRUE(prompt.messages.empty());

  // The intact file reads, so the cases above fail for the damage alone.
  WriteFile(dir.File("good.tzc"), good);
  ImageCollection c;
  c.filePath = dir.File("good.tzc");
  EXPECT_EQ(LoadCollectionFile(c), CollectionLoadResult::kLoaded);
  EXPECT_EQ(c.Size(), 2u);
}

TEST_F(CollectionFileTest, MissingFileCannotBeOpened) {
  ImageCollection c;
  c.filePath = dir.File("none.tzc");
  c.imageFolder = dir.Folder();
  AddEntry(c, dir.File("a.jpg"), 0);
  EXPECT_EQ(LoadCollectionFile(c), CollectionLoadResult::kCannotOpen);
  EXPECT_TRUE(c.IsEmpty());
  EXPECT_EQ(c.filePath, "");
  EXPECT_EQ(c.imageFolder, "");
  c.filePath = dir.File("none.tzc");
  EXPECT_FALSE(LoadCollection(c));
}

TEST_F(CollectionFileTest, FailedSaveLeavesThePreviousFile) {
  ImageCollection c;
  c.imageFolder = dir.Folder();
  c.filePath = dir.File("all.tzc");
  AddEntry(c, dir.File("a.jpg"), 0);
  ASSERT_TRUE(SaveCollection(c));
  const std::vector<unsigned char> before = test::ReadBytes(c.filePath);
  const size_t f = dir.Folder().size();
  ASSERT_EQ(before.size(), 12 + (1 + f) + (1 + f + 7) + 4 + (1 + f + 5) + 409);

  // A file-size limit makes the writes fail part-way through a large collection.
  for (int i = 0; i < 200; ++i) AddEntry(c, dir.File(std::to_string(i) + ".jpg"), 0);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = SaveCollection(c);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_EQ(test::ReadBytes(c.filePath), before);
  // No temporary file is left behind.
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir.Path())) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1u);

  c.filePath = dir.Folder() + "no/such/folder/all.tzc";
  EXPECT_FALSE(SaveCollection(c));
  c.filePath.clear();
  EXPECT_FALSE(SaveCollection(c));
}

}  // namespace
}  // namespace tessarix
