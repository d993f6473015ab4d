#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "collection/image_collection.h"
#include "collection/tile_analysis.h"
#include "platform/memory_budget.h"
#include "test_support.h"

namespace tessarix {
namespace {
namespace fs = std::filesystem;

constexpr Pixel kRed = MakePixel(220, 20, 20);
constexpr Pixel kGreen = MakePixel(20, 200, 20);
constexpr Pixel kBlue = MakePixel(20, 20, 220);

// JPEG is lossy: compare within a few levels per channel.
::testing::AssertionResult Near(Pixel actual, Pixel expected) {
  const auto off = [](uint32_t a, uint32_t b) { return std::abs(int(a) - int(b)) > 12; };
  if (off(Red(actual), Red(expected)) || off(Green(actual), Green(expected)) ||
      off(Blue(actual), Blue(expected)) || Transparency(actual) != 0) {
    return ::testing::AssertionFailure()
           << std::hex << "pixel 0x" << actual << " is not near 0x" << expected;
  }
  return ::testing::AssertionSuccess();
}

using Spots = std::vector<std::tuple<uint32_t, uint32_t, Pixel>>;

// Landscape: the left 250 columns red, the top 250 rows green: exactly the first thumbnail column
// and row. Portrait: the top rows red, then the left columns green; a quarter turn counter-
// clockwise moves the top edge to the left and the left edge to the bottom. Square: cropH =
// 1000 * 8 / 12 = 666, offY = 167, so rows 167..832 are used: rows 167..249 (the first eighth of
// the band) green, the rest of the band blue, everything outside red. Asked for in portrait shape
// a square photo is turned: the green rows become the left end of the band, columns 0..7 of 1000
// cropped to 666 wide.
Pixel Landscape(uint32_t x, uint32_t y) { return x < 250 ? kRed : (y < 250 ? kGreen : kBlue); }
Pixel Portrait(uint32_t x, uint32_t y) { return y < 250 ? kRed : (x < 250 ? kGreen : kBlue); }
Pixel Square(uint32_t, uint32_t y) {
  return y < 167 || y >= 833 ? kRed : (y < 250 ? kGreen : kBlue);
}

TEST(LoadTileTest, PhotosAreCroppedToTheMiddleAndTurnedToTheTilesShape) {
  test::TempDir dir;
  const struct {
    uint32_t w, h;
    Pixel (*colour)(uint32_t, uint32_t);
    uint32_t tw, th;
    Spots spots;
  } rows[] = {
      {3000, 2000, Landscape, 12, 8,
       {{0, 7, kRed}, {1, 0, kGreen}, {11, 0, kGreen}, {1, 1, kBlue}, {11, 7, kBlue}}},
      {2000, 3000, Portrait, 12, 8,
       {{0, 0, kRed}, {0, 7, kRed}, {1, 7, kGreen}, {11, 7, kGreen}, {5, 3, kBlue},
        {11, 0, kBlue}}},
      {1000, 1000, Square, 12, 8,
       {{0, 0, kGreen}, {11, 0, kGreen}, {0, 1, kBlue}, {11, 1, kBlue}, {0, 7, kBlue},
        {11, 7, kBlue}}},
      {1000, 1000, Square, 8, 12, {{0, 6, kGreen}, {7, 6, kBlue}}},
      // One side of the tile's size already, or a middle crop of that size: still resampled.
      {12, 4, Landscape, 12, 8, {}},
      {20, 8, Landscape, 12, 8, {}},
      {1000, 1000, Square, 1, 1, {}},  // the smallest tile there is
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.w) + "x" + std::to_string(row.h));
    CollectionEntry entry;
    entry.path = dir.File("photo.jpg");
    test::WriteJpeg(test::MakeImage(row.w, row.h, row.colour), entry.path);
    const std::optional<Image> tile = LoadTile(entry, row.tw, row.th);
    ASSERT_TRUE(tile);
    ASSERT_EQ(std::pair(tile->Width(), tile->Height()), std::pair(row.tw, row.th));
    for (const auto& [x, y, color] : row.spots)
      EXPECT_TRUE(Near(tile->At(x, y), color)) << x << "," << y;
    EXPECT_EQ(std::tie(entry.pixelWidth, entry.pixelHeight), std::tie(row.w, row.h));
    EXPECT_EQ(entry.portrait, row.h > row.w);
  }
}

// One decode memory carried through photos of every shape, larger and smaller than the one
// before, an undecodable file and a photo already of tile size gives each the tiles and records
// that fresh memory gives.
TEST(LoadTileMemoryTest, ReusedMemoryGivesWhatFreshMemoryGives) {
  test::TempDir dir;
  const struct {
    uint32_t w, h;
  } photos[] = {{300, 200}, {60, 90}, {12, 8}, {0, 0}, {90, 60}, {400, 420}, {8, 12}};
  std::vector<std::string> paths;
  for (const auto& [w, h] : photos) {
    paths.push_back(dir.File("p" + std::to_string(paths.size()) + ".jpg"));
    if (w == 0) {
      std::ofstream(paths.back()) << "not a picture";
      continue;
    }
    test::WriteJpeg(test::Noise(w, h), paths.back());
  }
  Image memory;
  for (const auto& [tw, th] : {std::pair{12u, 8u}, std::pair{8u, 12u}, std::pair{30u, 20u}}) {
    for (const std::string& path : paths) {
      SCOPED_TRACE(path + " as " + std::to_string(tw) + "x" + std::to_string(th));
      CollectionEntry fresh, reused;
      fresh.path = reused.path = path;
      const std::optional<Image> expected = LoadTile(fresh, tw, th);
      const std::optional<Image> tile = LoadTile(reused, tw, th, &memory);
      EXPECT_EQ(tile, expected);
      EXPECT_EQ(std::tie(reused.pixelWidth, reused.pixelHeight, reused.portrait),
                std::tie(fresh.pixelWidth, fresh.pixelHeight, fresh.portrait));
    }
  }
}

// A 12 x 8 thumbnail of a 3000 x 3000 photo decodes its top 2500 rows: 30 MB. Two such decodes on
// two threads in a budget of 45 MB take turns; both succeed.
TEST(LoadTileMemoryTest, TwoLargeDecodesOnTwoThreadsNeverHoldMoreThanTheBudget) {
  test::TempDir dir;
  const std::string path = dir.File("large.jpg");
  test::WriteClaimingSize(path, 3000, 3000);
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

TEST(AnalyseEntryTest, FillsTheRecordAndAnalysesARecordNeverAnalysed) {
  test::TempDir dir;
  test::WriteJpeg(test::MakeFlatImage(120, 80, MakePixel(200, 100, 50)), dir.File("a.jpg"));
  CollectionEntry e;
  e.path = dir.File("a.jpg");
  ASSERT_TRUE(AnalyseEntry(e));
  EXPECT_EQ(std::pair(uintmax_t{e.fileSize}, e.pixelWidth), std::pair(fs::file_size(e.path), 120u));
  EXPECT_TRUE(Near(e.info.average, MakePixel(200, 100, 50)));

  // Never analysed (pixel width 0) means analyse even with matching time and size.
  e.info.grid[0] = 0x00ABCDEF;
  e.pixelWidth = 0;
  ASSERT_TRUE(AnalyseEntry(e));
  EXPECT_NE(e.info.grid[0], 0x00ABCDEFu);
  EXPECT_EQ(e.pixelWidth, 120u);
}

// Every tag's upright reading is the decoder's (see the orientation tests); here one turned photo
// shows that the record holds the upright size, and that a record analysed before photos were
// read upright, holding the sideways size, is mended by an update, while an unchanged upright
// record is still left alone.
TEST(AnalyseEntryTest, TaggedPhotosAreRecordedUpright) {
  test::TempDir dir;
  const Image upright = test::Blocks(48, 96);  // portrait
  test::WriteJpeg(upright, dir.File("upright.jpg"), 100);
  CollectionEntry reference;
  reference.path = dir.File("upright.jpg");
  ASSERT_TRUE(AnalyseEntry(reference));
  CollectionEntry e;
  e.path = dir.File("tagged.jpg");
  test::WriteJpeg(test::Turned(upright, 3, false), e.path, 100);
  test::TagOrientation(e.path, 6);
  const auto sameAsUpright = [&] {
    EXPECT_EQ(std::tie(e.pixelWidth, e.pixelHeight, e.portrait),
              std::tie(reference.pixelWidth, reference.pixelHeight, reference.portrait));
    EXPECT_TRUE(e.info == reference.info);
  };
  ASSERT_TRUE(AnalyseEntry(e));
  sameAsUpright();
  e.pixelWidth = 96;
  e.pixelHeight = 48;
  e.portrait = 0;
  e.info.grid[0] = 0x00ABCDEF;
  ASSERT_TRUE(AnalyseEntry(e));
  sameAsUpright();
  e.info.grid[0] = 0x00ABCDEF;
  ASSERT_TRUE(AnalyseEntry(e));
  EXPECT_EQ(e.info.grid[0], 0x00ABCDEFu);
  // A new time alone is enough to decode the file again.
  fs::last_write_time(e.path, fs::last_write_time(e.path) + std::chrono::seconds(5));
  ASSERT_TRUE(AnalyseEntry(e));
  EXPECT_TRUE(e.info == reference.info);
}

TEST(AnalysisRunTest, EmptyCollectionCompletesAtOnce) {
  test::TempDir dir;
  ImageCollection c;
  c.imageFolder = dir.Folder();
  ASSERT_TRUE(c.Rescan());
  c.StartAnalysis();
  EXPECT_FALSE(c.AnalyseSome());
  EXPECT_EQ(c.AnalysedCount(), 0u);
  EXPECT_EQ(c.description, "The Collection contains 0 Images.");
}

}  // namespace
}  // namespace tessarix
