#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "collection/tile_analysis.h"
#include "imaging/image_ops.h"
#include "platform/memory_budget.h"
#include "test_support.h"

namespace tessarix {
namespace {
namespace fs = std::filesystem;

constexpr Pixel kRed = MakePixel(220, 20, 20);
constexpr Pixel kGreen = MakePixel(20, 200, 20);
constexpr Pixel kBlue = MakePixel(20, 20, 220);

// JPEG is lossy: compare within a few levels per channel.
bool Near(Pixel actual, Pixel expected) {
  const auto near = [](uint32_t a, uint32_t b) { return std::abs(int(a) - int(b)) <= 12; };
  return near(Red(actual), Red(expected)) && near(Green(actual), Green(expected)) &&
         near(Blue(actual), Blue(expected)) && Transparency(actual) == 0;
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
       {{0, 0, kRed}, {1, 7, kGreen}, {11, 7, kGreen}, {5, 3, kBlue}, {11, 0, kBlue}}},
      {1000, 1000, Square, 12, 8,
       {{0, 0, kGreen}, {11, 0, kGreen}, {0, 1, kBlue}, {11, 1, kBlue}, {11, 7, kBlue}}},
      {1000, 1000, Square, 8, 12, {{0, 6, kGreen}, {7, 6, kBlue}}},
      // One side of the tile's size already, or a middle crop of that size: still resampled.
      {12, 4, Landscape, 12, 8, {}},
      {20, 8, Landscape, 12, 8, {}},
      {12, 10, Landscape, 12, 8, {}},
      {1000, 1000, Square, 1, 1, {}},  // the smallest tile there is
  };
  Image memory;  // carried from photo to photo, larger and smaller than the one before
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.w) + "x" + std::to_string(row.h));
    CollectionEntry entry;
    entry.path = dir.File("photo.jpg");
    test::WriteJpeg(test::MakeImage(row.w, row.h, row.colour), entry.path);
    const std::optional<Image> tile = LoadTile(entry, row.tw, row.th, &memory);
    ASSERT_TRUE(tile);
    ASSERT_EQ(std::pair(tile->Width(), tile->Height()), std::pair(row.tw, row.th));
    for (const auto& [x, y, color] : row.spots)
      EXPECT_TRUE(Near(tile->At(x, y), color))
          << x << "," << y << ": " << std::hex << tile->At(x, y);
    EXPECT_EQ(std::tie(entry.pixelWidth, entry.pixelHeight), std::tie(row.w, row.h));
    EXPECT_EQ(entry.portrait, row.h > row.w);
  }
}

// A tile the photo's decoded rows go straight into is the one the whole decoded photo gives, pixel
// for pixel. Crops worked by hand: for 12 x 8, 301 * 8 / 12 = 200 rows from row 1; for 40 x 30,
// 301 * 30 / 40 = 225 rows is more than there are, so 203 * 40 / 30 = 270 columns from column 15.
TEST(LoadTileTest, StreamedTilesAreTheWholeDecodesPixelForPixel) {
  test::TempDir dir;
  const std::string path = dir.File("noise.jpg");
  test::WriteJpeg(test::Noise(301, 203), path, 90);
  Image whole;
  ASSERT_TRUE(whole.LoadJpeg(path));
  const uint32_t crops[][6] = {{12, 8, 301, 200, 0, 1}, {40, 30, 270, 203, 15, 0}};
  for (const auto& [tw, th, cw, ch, cx, cy] : crops) {
    CollectionEntry entry;
    entry.path = path;
    EXPECT_EQ(LoadTile(entry, tw, th), Resample(whole, tw, th, cw, ch, cx, cy)) << tw;
    EXPECT_EQ(std::tie(entry.pixelWidth, entry.pixelHeight, entry.portrait),
              std::tuple(301u, 203u, 0));
  }
}

// Only the rows down to the crop's bottom edge are decoded. A tile made smaller goes row by row and
// holds no decoded photo; one made larger holds the rows it uses within the memory budget: for
// 4000 x 3000 from a 3000 x 3000 photo, 2250 rows from row 375, so the top 2625.
TEST(LoadTileMemoryTest, OnlyTheRowsDownToTheCropAreDecoded) {
  test::TempDir dir;
  CollectionEntry entry;
  entry.path = dir.File("large.jpg");
  test::WriteClaimingSize(entry.path, 3000, 3000);
  {
    const ScopedMemoryBudgetForTest budget(45'000'000);
    EXPECT_TRUE(LoadTile(entry, 12, 8));
    EXPECT_EQ(budget.Budget().Peak(), 0u);
  }
  const ScopedMemoryBudgetForTest budget(45'000'000);
  EXPECT_TRUE(LoadTile(entry, 4000, 3000));
  EXPECT_EQ(budget.Budget().Peak(), uint64_t{3000} * 2625 * sizeof(Pixel));
}

// A record is analysed again when it never was (pixel width 0), when the file's time or size
// changed, or when it holds the sideways size of a photo stored turned by a quarter, as analyses
// made before photos were read upright left it; it then holds the upright size. An unchanged
// upright record is left alone. Every tag's upright reading is the decoder's (see the
// orientation tests).
TEST(AnalyseEntryTest, AnalysesAgainOnlyStaleRecordsAndRecordsThemUpright) {
  test::TempDir dir;
  const Image upright = test::Blocks(48, 96);  // portrait
  test::WriteJpeg(upright, dir.File("upright.jpg"), 100);
  CollectionEntry reference;
  reference.path = dir.File("upright.jpg");
  ASSERT_TRUE(AnalyseEntry(reference));
  EXPECT_EQ(std::tuple(uintmax_t{reference.fileSize}, reference.pixelWidth, reference.portrait),
            std::tuple(fs::file_size(reference.path), 48u, true));
  CollectionEntry e;
  e.path = dir.File("tagged.jpg");
  test::WriteJpeg(test::Turned(upright, 3, false), e.path, 100);
  test::TagOrientation(e.path, 6);
  const struct {
    const char* what;
    void (*change)(CollectionEntry&);
    bool again;
  } rows[] = {
      {"never analysed", [](CollectionEntry&) {}, true},
      {"unchanged", [](CollectionEntry&) {}, false},
      {"sideways", [](CollectionEntry& r) { r.pixelWidth = 96, r.pixelHeight = 48; }, true},
      {"new time", [](CollectionEntry& r) { r.modificationTime += 5; }, true},
      {"new size", [](CollectionEntry& r) { r.fileSize += 1; }, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    row.change(e);
    e.info.grid[0] = 0x00ABCDEF;
    ASSERT_TRUE(AnalyseEntry(e));
    EXPECT_EQ(e.info.grid[0] != 0x00ABCDEFu, row.again);
    if (row.again) {
      EXPECT_EQ(std::tie(e.pixelWidth, e.pixelHeight, e.portrait),
                std::tie(reference.pixelWidth, reference.pixelHeight, reference.portrait));
      EXPECT_TRUE(e.info == reference.info);
    }
  }
}

}  // namespace
}  // namespace tessarix
