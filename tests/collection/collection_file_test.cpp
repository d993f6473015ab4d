#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "collection/collection_file.h"
#include "platform/text_format.h"
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

TEST(StringFieldTest, LengthForms) {
  const struct {
    size_t length;
    Bytes prefix;
  } cases[] = {
      {254, {254}},
      {255, {255, 255, 0}},
      {65533, {255, 0xFD, 0xFF}},
      {65534, {255, 0xFF, 0xFF, 0xFE, 0xFF, 0, 0}},  // 65534 itself would read as the UTF-16 mark
      {70000, {255, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
  };
  for (const auto& c : cases) {
    Bytes b;
    AppendStringField(b, std::string(c.length, 'a'));
    EXPECT_EQ(b.size(), c.prefix.size() + c.length) << c.length;
    EXPECT_EQ(Bytes(b.begin(), b.begin() + c.prefix.size()), c.prefix) << c.length;
  }
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
  const std::vector<unsigned char> bytes = test::ReadBytes("C:/P/a.tzc");
  ImageCollection back;
  back.filePath = "C:/P/a.tzc";
  const Status result = LoadCollectionFile(back);
  fs::current_path(before);

  ASSERT_TRUE(saved);
  const std::vector<unsigned char> expected = {
      0x6C, 0,    0,   0,   0x0C, 0,   0,   0,   0x08, 0,   0,   0,   0x05, 'C', ':', '/', 'P',
      '/',  0x0A, 'C', ':', '/',  'P', '/', 'a', '.',  't', 'z', 'c', 0,    0,   0,   0};
  EXPECT_EQ(bytes, expected);
  EXPECT_TRUE(result);
}

TEST_F(CollectionFileTest, RoundTripKeepsEverythingButTheStoredMean) {
  ImageCollection c;
  c.imageFolder = dir.Folder();
  c.filePath = dir.File("all.tzc");
  CollectionEntry& a = AddEntry(c, dir.Folder() + "movie_FRAMES00001/1.jpg", MakePixel(9, 8, 7));
  a.info.grid[5] = MakePixel(1, 2, 3, 200);
  a.info.average = MakePixel(77, 77, 77);  // disagrees with the grid: not what comes back
  AddEntry(c, dir.Folder() + "Required/b.jpg", MakePixel(100, 150, 200));
  AddEntry(c, dir.Folder() + "y/" + std::string(70000, 'y'), 0);  // the four-byte length
  ASSERT_TRUE(SaveCollection(c));

  ImageCollection back;
  back.filePath = c.filePath;
  ASSERT_TRUE(LoadCollectionFile(back));
  ASSERT_EQ(back.Size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(back.Entry(i).path, c.Entry(i).path) << i;
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
  EXPECT_EQ(back.description, "The Collection contains 3 Images.");
  EXPECT_TRUE(prompt.messages.empty());
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

  // Read through a name without any folder, the stored folder stays.
  const fs::path before = fs::current_path();
  fs::current_path(dir.Path());
  ImageCollection here;
  here.filePath = "t.tzc";
  const Status result = LoadCollectionFile(here);
  fs::current_path(before);
  ASSERT_TRUE(result);
  EXPECT_EQ(here.imageFolder, "D:\\Photos\\");
  EXPECT_EQ(here.Entry(0).path, "D:\\Photos\\Trip/Day 1/a.jpg");
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
    EXPECT_TRUE(c.IsEmpty());
    EXPECT_EQ(c.imageFolder, "/kept/");
    EXPECT_EQ(c.description, "The Collection contains 0 Images.");
  }
  EXPECT_EQ(prompt.messages, std::vector<std::string>(3, "Wrong File version!"));
}

// Counts and lengths are believed only when the bytes behind them exist: nothing is allocated for
// them, so each damaged file ends quickly, in little memory, as an empty closed collection.
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
  damaged.emplace_back(good.begin(), good.begin() + 2);  // ends inside the header
  damaged.push_back(record(aJpg, 1, 4000000000u));       // four billion entries, room for one
  damaged.push_back(record({255, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));  // a 4 GB path
  damaged.push_back(
      record({255, 0xFE, 0xFF, 255, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));           // 4G units
  damaged.push_back(record({255, 0xFE, 0xFF, 255, 0xFE, 0xFF, 4, 'a', 0, 'b', 0}));  // UTF-16 twice
  damaged.push_back(record(aJpg, 2));  // colour record mark 2
  damaged.push_back({108, 0, 0, 0, 12, 0, 0, 0, 8, 0, 0, 0, 255, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF,
                     0xFF});  // image folder of 4294967294 bytes

  for (size_t k = 0; k < damaged.size(); ++k) {
    test::WriteBytes(dir.File("bad.tzc"), damaged[k]);
    const test::LimitedRun run = test::RunWithMemoryLimit(64u << 20, [&] {
      test::RecordingPrompt quiet;
      const auto start = std::chrono::steady_clock::now();
      ImageCollection c;
      c.filePath = dir.File("bad.tzc");
      c.imageFolder = "/p/";
      AddEntry(c, "/p/old.jpg", 0);
      const bool refused = test::KindOf(LoadCollectionFile(c)) == FailureKind::kDamaged;
      std::string report = refused ? "damaged" : "other";
      if (!c.IsEmpty() || !c.PathIndex().empty() || !c.filePath.empty() ||
          c.description != "(Please Load an existing collection or Create a new one)")
        report += ",kept";
      if (!quiet.messages.empty())
        report += ",said " + quiet.messages[0];
      if (std::chrono::steady_clock::now() - start > std::chrono::seconds(2))
        report += ",slow";
      return report;
    });
    ASSERT_TRUE(run.exited) << k;
    EXPECT_EQ(run.report, "damaged") << k;
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
  std::ofstream(dir.File("real/b.tzc")) << "old";
  const struct {
    const char* link;
    std::string target;
    const char* file;
  } cases[] = {
      {"absolute.tzc", dir.File("real/a.tzc"), "real/a.tzc"},
      {"relative.tzc", "real/b.tzc", "real/b.tzc"},
      {"chain.tzc", "relative.tzc", "real/b.tzc"},
      {"dangling.tzc", "real/new.tzc", "real/new.tzc"},
  };
  uint32_t mark = 1;
  for (const auto& c : cases) {
    fs::create_symlink(c.target, dir.File(c.link));
    ImageCollection saved;
    saved.imageFolder = dir.Folder();
    saved.filePath = dir.File(c.link);
    AddEntry(saved, dir.File("t.jpg"), 0).fileSize = ++mark;
    ASSERT_TRUE(SaveCollection(saved)) << c.link;
    EXPECT_TRUE(fs::is_symlink(dir.File(c.link))) << c.link;
    ImageCollection back;
    back.filePath = dir.File(c.file);
    ASSERT_TRUE(LoadCollectionFile(back)) << c.link;
    EXPECT_EQ(back.Entry(0).fileSize, mark) << c.link;
  }
}

// A full disk at the very first byte and part way: 42 entries (about 18 KB) are more than one
// 16 KB piece, while the limit lets the previous file's size through. Either, or a missing
// folder, leaves the previous file exactly as it was and no temporary file behind; what else a
// save can meet on the way to the disk is the atomic writer's to handle.
TEST_F(CollectionFileTest, SaveFailuresKeepThePreviousFileWholeAndLeaveNoTemporary) {
  ImageCollection c;
  c.imageFolder = dir.Folder();
  c.filePath = dir.File("all.tzc");
  const auto addEntries = [&c](int count) {
    for (int k = 0; k < count; ++k) AddEntry(c, c.imageFolder + Format("img%d.jpg", k), 0);
  };
  addEntries(2);
  ASSERT_TRUE(SaveCollection(c));
  const std::vector<unsigned char> previous = test::ReadBytes(c.filePath);
  // Header, folder, file path and count, then per entry its path ("img0.jpg") and 409 bytes.
  const size_t f = dir.Folder().size();
  ASSERT_EQ(previous.size(), 12 + (1 + f) + (1 + f + 7) + 4 + 2 * (1 + f + 8 + 409));
  addEntries(40);

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
    c.filePath = row.path;
    const test::LimitedRun run = test::RunWithFileSizeLimit(row.fileLimit, [&] {
      const Status saved = SaveCollection(c);
      return std::string(saved ? "saved" : std::strerror(saved.Why().systemError));
    });
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.report, std::strerror(row.error));
    EXPECT_EQ(test::ReadBytes(dir.File("all.tzc")), previous);
    EXPECT_TRUE(test::LeftoverTemporaries(dir.Path()).empty());
  }
  c.filePath.clear();
  EXPECT_FALSE(SaveCollection(c));
}

}  // namespace
}  // namespace tessarix
