#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "collection/collection_file.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix {
namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

void U32(Bytes& out, uint32_t v) {
  for (int s = 0; s < 32; s += 8) out.push_back(static_cast<uint8_t>(v >> s));
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
  for (uint32_t v : {108u, 12u, 8u}) U32(b, v);
  AppendStringField(b, folder);
  AppendStringField(b, file);
  U32(b, count);
  return b;
}

// Everything of a record after its path: time, size, width, height, portrait, mark, mean, grid.
void RecordTail(Bytes& b, uint8_t mark = 1) {
  for (uint32_t v : {1000u, 2000u, 30u, 20u, 0u}) U32(b, v);
  b.push_back(mark);
  U32(b, 0);
  for (int i = 0; i < 96; ++i) U32(b, 0);
}

CollectionEntry& AddEntry(ImageCollection& c, const std::string& path, Pixel color) {
  auto e = std::make_unique<CollectionEntry>();
  e->path = path;
  e->modificationTime = 1700000000;
  e->fileSize = 123456;
  e->pixelWidth = 2000;
  e->pixelHeight = 3000;
  e->portrait = true;
  e->info.grid.fill(color);
  RecomputeColorInfo(e->info);
  return c.Add(std::move(e));
}

class CollectionFileTest : public ::testing::Test {
 protected:
  // Loads `bytes`, written as a collection file, into `c`.
  Status Load(const Bytes& bytes, ImageCollection& c) {
    test::WriteBytes(dir.File("t.tzc"), bytes);
    c.filePath = dir.File("t.tzc");
    return LoadCollectionFile(c);
  }

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
  const Status saved = SaveCollection(c);
  fs::current_path(before);
  ASSERT_TRUE(saved);
  const Bytes expected = {0x6C, 0,    0,   0,   0x0C, 0,   0,   0,    0x08, 0,   0,
                          0,    0x05, 'C', ':', '/',  'P', '/', 0x0A, 'C',  ':', '/',
                          'P',  '/',  'a', '.', 't',  'z', 'c', 0,    0,    0,   0};
  EXPECT_EQ(test::ReadBytes(dir.File("C:/P/a.tzc")), expected);
}

TEST_F(CollectionFileTest, RoundTripKeepsEverythingButTheStoredMean) {
  ImageCollection c;
  c.imageFolder = dir.Folder();
  c.filePath = dir.File("all.tzc");
  CollectionEntry& a = AddEntry(c, dir.Folder() + "movie_FRAMES00001/1.jpg", MakePixel(9, 8, 7));
  a.info.grid[5] = MakePixel(1, 2, 3, 200);
  a.info.average = MakePixel(77, 77, 77);  // disagrees with the grid: not what comes back
  AddEntry(c, dir.Folder() + "Required/b.jpg", MakePixel(100, 150, 200));
  // Each length form at its ends (65534 itself would read as the UTF-16 announcement).
  for (const size_t length : {254, 255, 65533, 65534, 70000})
    AddEntry(c, std::string(length, 'y'), 0);
  ASSERT_TRUE(SaveCollection(c));

  ImageCollection back;
  back.filePath = c.filePath;
  ASSERT_TRUE(LoadCollectionFile(back));
  ASSERT_EQ(back.Size(), 7u);
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(back.Entry(i).path, c.Entry(i).path) << i;
  const CollectionEntry& e = back.Entry(0);
  EXPECT_EQ(std::tie(e.modificationTime, e.fileSize, e.pixelWidth, e.pixelHeight, e.portrait,
                     e.valid, e.info.grid),
            std::tie(a.modificationTime, a.fileSize, a.pixelWidth, a.pixelHeight, a.portrait,
                     a.valid, a.info.grid));
  // 95 opaque (9, 8, 7) and one at T 200 of weight (65280 - 51200) / 255 = 55:
  // R = (95*256*9 + 55*1) / 24375 = 218935 / 24375 = 8, T = 51200 / 24576 = 2.
  EXPECT_EQ(e.info.average, MakePixel(8, 7, 6, 2));
  EXPECT_EQ(e.info.opaque, 0u);
  EXPECT_EQ(e.sequenceNumber, 2u);  // "Required/..." sorts before "movie_..."
  EXPECT_TRUE(back.Entry(1).required);
  EXPECT_EQ(back.description, "The Collection contains 7 Images.");
  EXPECT_TRUE(prompt.messages.empty());
  c.filePath.clear();
  EXPECT_FALSE(SaveCollection(c));
}

TEST_F(CollectionFileTest, WindowsCollectionLoadsWithSlashes) {
  Bytes b = Header("D:\\Photos\\", "D:\\Photos\\All.tzc", 2);
  AppendStringField(b, "D:\\Photos\\Trip\\Day 1\\a.jpg");
  RecordTail(b);
  AppendStringField(b, "E:\\Other\\b.jpg");
  RecordTail(b);
  ImageCollection c;
  ASSERT_TRUE(Load(b, c));
  ASSERT_EQ(c.Size(), 2u);
  EXPECT_EQ(c.Entry(0).path, dir.Folder() + "Trip/Day 1/a.jpg");
  EXPECT_EQ(c.Entry(1).path, "E:\\Other\\b.jpg");
}

// A UTF-16 folder re-bases by its UTF-8 bytes (3 units, 4 bytes); a path outside it is kept as
// read: each encoding length at its ends, surrogate pairs at the ends of both halves, and unpaired
// halves (also at the end, or beside a unit just outside the halves' ranges) as U+FFFD.
TEST_F(CollectionFileTest, Utf16StringsBecomeUtf8AndRebaseByBytes) {
  const std::string bad = "\xEF\xBF\xBD";
  const struct {
    std::u16string units;
    std::string utf8;
  } rows[] = {
      {u"/\u00f6/\u20ac\U0001F600.jpg", "\xE2\x82\xAC\xF0\x9F\x98\x80.jpg"},  // rebased
      {u"\u007F\u0080\u07FF", "\x7F\xC2\x80\xDF\xBF"},
      {u"\u0800\uFFFF\uD7FF\uE000", "\xE0\xA0\x80\xEF\xBF\xBF\xED\x9F\xBF\xEE\x80\x80"},
      {{0xD800, 0xDC00, 0xDBFF, 0xDFFF}, "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {{0xD800, 0xDBFF, 'a', 0xDC00, 0xDC00}, bad + bad + "a" + bad + bad},
      {{0xD800, 0xE000, 0xDFFF, 0xD7FF, 0xDC00}, bad + "\xEE\x80\x80" + bad + "\xED\x9F\xBF" + bad},
      {{'a', 0xD800}, "a" + bad},
  };
  for (const auto& row : rows) {
    Bytes b;
    for (uint32_t v : {108u, 12u, 8u}) U32(b, v);
    Wide(b, u"/\u00f6/");
    AppendStringField(b, "/x.tzc");
    U32(b, 1);
    Wide(b, row.units);
    RecordTail(b);
    ImageCollection c;
    ASSERT_TRUE(Load(b, c));
    ASSERT_EQ(c.Size(), 1u);
    EXPECT_EQ(c.Entry(0).path, (&row == rows ? dir.Folder() : "") + row.utf8);
  }
}

TEST_F(CollectionFileTest, WrongVersionShowsTheMessageAndLeavesAnEmptyCollection) {
  for (const int field : {0, 1, 2}) {
    Bytes b = Header("/p/", "/p/a.tzc", 0);
    b[4 * field] = field == 0 ? 107 : 13;
    ImageCollection c;
    c.imageFolder = "/kept/";
    AddEntry(c, "/kept/a.jpg", 0);
    EXPECT_EQ(test::KindOf(Load(b, c)), FailureKind::kWrongVersion);
    EXPECT_EQ(std::tuple(c.Size(), c.imageFolder, c.description),
              std::tuple(0u, "/kept/", "The Collection contains 0 Images."));
  }
  EXPECT_EQ(prompt.messages, std::vector<std::string>(3, "Wrong File version!"));
}

// Counts and lengths are believed only when the bytes behind them exist: nothing is allocated for
// them, so each damaged file ends in little memory as an empty closed collection.
TEST_F(CollectionFileTest, DamagedFilesFailCleanlyAndAtOnce) {
  const auto record = [](const Bytes& path, uint8_t mark = 1, uint32_t count = 1) {
    Bytes b = Header("/p/", "/p/a.tzc", count);
    b.insert(b.end(), path.begin(), path.end());
    RecordTail(b, mark);
    return b;
  };
  const Bytes aJpg = {8, '/', 'p', '/', 'a', '.', 'j', 'p', 'g'};
  Bytes good = record(aJpg, 1, 2);
  AppendStringField(good, "/p/b.jpg");
  RecordTail(good);
  // The fewest bytes a record can have (an empty path) are enough for its count.
  Bytes least = record({0}, 1, 3);
  for (int i = 0; i < 2; ++i) least.push_back(0), RecordTail(least);
  ImageCollection few;
  ASSERT_TRUE(Load(least, few));
  EXPECT_EQ(few.Size(), 3u);

  std::vector<Bytes> damaged;
  damaged.emplace_back(good.begin(), good.end() - 100);  // ends inside the second record
  damaged.push_back(record(aJpg, 1, 4000000000u));       // four billion entries, room for one
  damaged.push_back(record({255, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));  // a 4 GB path
  damaged.push_back(
      record({255, 0xFE, 0xFF, 255, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));           // 4G units
  damaged.push_back(record({255, 0xFE, 0xFF, 255, 0xFE, 0xFF, 4, 'a', 0, 'b', 0}));  // UTF-16 twice
  damaged.push_back(record(aJpg, 2));  // colour record mark 2

  for (size_t k = 0; k < damaged.size(); ++k) {
    test::WriteBytes(dir.File("bad.tzc"), damaged[k]);
    const test::LimitedRun run = test::RunWithMemoryLimit(64u << 20, [&] {
      ImageCollection c;
      c.filePath = dir.File("bad.tzc");
      c.imageFolder = "/p/";
      AddEntry(c, "/p/old.jpg", 0);
      const bool refused = test::KindOf(LoadCollectionFile(c)) == FailureKind::kDamaged;
      const bool closed =
          c.IsEmpty() && c.PathIndex().empty() && c.filePath.empty() &&
          c.description == "(Please Load an existing collection or Create a new one)";
      return std::string(refused && closed ? "damaged, closed" : "other");
    });
    ASSERT_TRUE(run.exited) << k;
    EXPECT_EQ(run.report, "damaged, closed") << k;
  }
}

// Anything but a regular file is refused before it is read. A FIFO would block the read until a
// writer came; this one has a writer, so that a read ends instead of hanging the test. The
// collection is left empty and closed.
TEST_F(CollectionFileTest, MissingFilesAndOthersThanRegularFilesAreRefused) {
  fs::create_directory(dir.File("folder.tzc"));
  ASSERT_EQ(mkfifo(dir.File("fifo.tzc").c_str(), 0600), 0);
  const int writer = open(dir.File("fifo.tzc").c_str(), O_RDWR | O_NONBLOCK);
  for (const auto& [name, kind] : {std::pair{"none.tzc", FailureKind::kCannotRead},
                                   {"folder.tzc", FailureKind::kNotAFile},
                                   {"fifo.tzc", FailureKind::kNotAFile}}) {
    ImageCollection c;
    c.filePath = dir.File(name);
    c.imageFolder = dir.Folder();
    AddEntry(c, dir.File("a.jpg"), 0);
    EXPECT_EQ(test::KindOf(LoadCollectionFile(c)), kind) << name;
    EXPECT_TRUE(c.IsEmpty() && c.filePath.empty() && c.imageFolder.empty()) << name;
  }
  close(writer);
}

// A save through symbolic links replaces the file at the end of the links and keeps the links.
TEST_F(CollectionFileTest, SavingThroughLinksWritesTheirTarget) {
  fs::create_directory(dir.File("real"));
  std::ofstream(dir.File("real/a.tzc")) << "old";
  fs::create_symlink(dir.File("real/a.tzc"), dir.File("absolute.tzc"));
  fs::create_symlink("real/b.tzc", dir.File("relative.tzc"));  // dangling until the save
  fs::create_symlink("relative.tzc", dir.File("chain.tzc"));
  uint32_t mark = 1;
  for (const auto& [link, file] : {std::pair{"absolute.tzc", "real/a.tzc"},
                                   {"relative.tzc", "real/b.tzc"},
                                   {"chain.tzc", "real/b.tzc"}}) {
    ImageCollection saved;
    saved.imageFolder = dir.Folder();
    saved.filePath = dir.File(link);
    AddEntry(saved, dir.File("t.jpg"), 0).fileSize = ++mark;
    ASSERT_TRUE(SaveCollection(saved)) << link;
    EXPECT_TRUE(fs::is_symlink(dir.File(link))) << link;
    ImageCollection back;
    back.filePath = dir.File(file);
    ASSERT_TRUE(LoadCollectionFile(back)) << link;
    EXPECT_EQ(back.Entry(0).fileSize, mark) << link;
  }
}

}  // namespace
}  // namespace tessarix
