#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "collection/image_collection.h"
#include "collection/tile_analysis.h"
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

CollectionEntry EntryFor(const std::string& path) {
  CollectionEntry e;
  e.path = path;
  return e;
}

TEST(LoadTileTest, LandscapePhotoIsReducedWhole) {
  test::TempDir dir;
  // Left 250 columns red, top 250 rows green: exactly the first thumbnail column and row.
  test::WriteJpeg(test::MakeImage(3000, 2000,
                                  [](uint32_t x, uint32_t y) {
                                    return x < 250 ? kRed : (y < 250 ? kGreen : kBlue);
                                  }),
                  dir.File("wide.jpg"));
  CollectionEntry e = EntryFor(dir.File("wide.jpg"));
  const std::optional<Image> tile = LoadTile(e, 12, 8);
  ASSERT_TRUE(tile);
  ASSERT_EQ(tile->Width(), 12u);
  ASSERT_EQ(tile->Height(), 8u);
  EXPECT_TRUE(Near(tile->At(0, 0), kRed));
  EXPECT_TRUE(Near(tile->At(0, 7), kRed));
  EXPECT_TRUE(Near(tile->At(1, 0), kGreen));
  EXPECT_TRUE(Near(tile->At(11, 0), kGreen));
  EXPECT_TRUE(Near(tile->At(1, 1), kBlue));
  EXPECT_TRUE(Near(tile->At(11, 7), kBlue));
  EXPECT_EQ(e.pixelWidth, 3000u);
  EXPECT_EQ(e.pixelHeight, 2000u);
  EXPECT_EQ(e.portrait, 0u);
}

TEST(LoadTileTest, PortraitPhotoIsTurnedCounterClockwise) {
  test::TempDir dir;
  // Top 250 rows red, then the left 250 columns green. A quarter turn counter-clockwise
  // moves the top edge to the left and the left edge to the bottom.
  test::WriteJpeg(test::MakeImage(2000, 3000,
                                  [](uint32_t x, uint32_t y) {
                                    return y < 250 ? kRed : (x < 250 ? kGreen : kBlue);
                                  }),
                  dir.File("tall.jpg"));
  CollectionEntry e = EntryFor(dir.File("tall.jpg"));
  const std::optional<Image> tile = LoadTile(e, 12, 8);
  ASSERT_TRUE(tile);
  ASSERT_EQ(tile->Width(), 12u);
  EXPECT_TRUE(Near(tile->At(0, 0), kRed));
  EXPECT_TRUE(Near(tile->At(0, 7), kRed));
  EXPECT_TRUE(Near(tile->At(1, 7), kGreen));
  EXPECT_TRUE(Near(tile->At(11, 7), kGreen));
  EXPECT_TRUE(Near(tile->At(5, 3), kBlue));
  EXPECT_TRUE(Near(tile->At(11, 0), kBlue));
  EXPECT_EQ(e.pixelWidth, 2000u);
  EXPECT_EQ(e.pixelHeight, 3000u);
  EXPECT_EQ(e.portrait, 1u);
}

TEST(LoadTileTest, SquarePhotoShowsItsMiddleBand) {
  test::TempDir dir;
  // cropH = 1000 * 8 / 12 = 666, offY = 167: rows 167..832 are used. Rows 167..249 (the first
  // eighth of the band) are green, the rest of the band blue, everything outside red.
  test::WriteJpeg(test::MakeImage(1000, 1000,
                                  [](uint32_t, uint32_t y) {
                                    if (y < 167 || y >= 833)
                                      return kRed;
                                    return y < 250 ? kGreen : kBlue;
                                  }),
                  dir.File("square.jpg"));
  CollectionEntry e = EntryFor(dir.File("square.jpg"));
  std::optional<Image> tile = LoadTile(e, 12, 8);
  ASSERT_TRUE(tile);
  for (uint32_t x = 0; x < 12; ++x) {
    EXPECT_TRUE(Near(tile->At(x, 0), kGreen)) << x;
    EXPECT_TRUE(Near(tile->At(x, 1), kBlue)) << x;
    EXPECT_TRUE(Near(tile->At(x, 7), kBlue)) << x;
  }
  EXPECT_EQ(e.portrait, 0u);
  // Asked for in portrait shape, a square photo is turned: the green rows become the left end
  // of the middle band, which in 8 x 12 is columns 0..7 of 1000 cropped to 666 wide.
  tile = LoadTile(e, 8, 12);
  ASSERT_TRUE(tile);
  ASSERT_EQ(tile->Width(), 8u);
  ASSERT_EQ(tile->Height(), 12u);
  EXPECT_TRUE(Near(tile->At(0, 6), kGreen));
  EXPECT_TRUE(Near(tile->At(7, 6), kBlue));
}

TEST(LoadTileTest, FilesThatAreNoJpegGiveNothing) {
  test::TempDir dir;
  std::ofstream(dir.File("text.jpg")) << "this is not a picture";
  CollectionEntry e = EntryFor(dir.File("text.jpg"));
  EXPECT_FALSE(LoadTile(e, 12, 8));
  EXPECT_FALSE(AnalyseEntry(e));
  EXPECT_EQ(e.pixelWidth, 0u);
  CollectionEntry gone = EntryFor(dir.File("missing.jpg"));
  EXPECT_FALSE(AnalyseEntry(gone));
  EXPECT_EQ(gone.valid, 0u);
}

TEST(AnalyseEntryTest, FillsTheRecordAndSkipsUnchangedFiles) {
  test::TempDir dir;
  test::WriteJpeg(test::MakeFlatImage(120, 80, MakePixel(200, 100, 50)), dir.File("a.jpg"));
  CollectionEntry e = EntryFor(dir.File("a.jpg"));
  ASSERT_TRUE(AnalyseEntry(e));
  EXPECT_EQ(e.fileSize, fs::file_size(dir.File("a.jpg")));
  EXPECT_NE(e.modificationTime, 0u);
  EXPECT_EQ(e.pixelWidth, 120u);
  EXPECT_TRUE(Near(e.info.average, MakePixel(200, 100, 50)));
  EXPECT_EQ(e.info.opaque, 1u);

  // Same time and size: nothing is decoded, so a marked thumbnail survives.
  e.info.grid[0] = 0x00ABCDEF;
  ASSERT_TRUE(AnalyseEntry(e));
  EXPECT_EQ(e.info.grid[0], 0x00ABCDEFu);
  // Never analysed (pixel width 0) means analyse even with matching time and size.
  e.pixelWidth = 0;
  ASSERT_TRUE(AnalyseEntry(e));
  EXPECT_NE(e.info.grid[0], 0x00ABCDEFu);
  EXPECT_EQ(e.pixelWidth, 120u);
}

class AnalysisRunTest : public ::testing::Test {
 protected:
  void RunUpdate() {
    ASSERT_TRUE(c.Rescan());
    c.StartAnalysis();
    int slices = 0;
    while (c.AnalyseSome()) ASSERT_LT(++slices, 1000);
  }
  void Mark() {
    for (size_t i = 0; i < c.Size(); ++i) c.Entry(i).info.grid[0] = 0x00ABCDEF;
  }
  test::TempDir dir;
  ImageCollection c;
};

TEST_F(AnalysisRunTest, UndecodableFilesDisappearOthersAreAnalysed) {
  test::WriteJpeg(test::MakeFlatImage(30, 20, kRed), dir.File("a.jpg"));
  std::ofstream(dir.File("b.jpg")) << "broken";
  test::WriteJpeg(test::MakeFlatImage(20, 30, kGreen), dir.File("c.jpg"));
  fs::create_directory(dir.Path() / "FRAMES_1");
  test::WriteJpeg(test::MakeFlatImage(20, 20, kBlue), dir.File("FRAMES_1/d.jpg"));
  c.imageFolder = dir.Folder();
  RunUpdate();
  EXPECT_EQ(c.AnalysedCount(), 4u);
  EXPECT_DOUBLE_EQ(c.analysisPercent, 100.0);
  ASSERT_EQ(c.Size(), 3u);
  EXPECT_EQ(c.Entry(0).path, dir.File("a.jpg"));
  EXPECT_EQ(c.Entry(1).path, dir.File("c.jpg"));
  EXPECT_EQ(c.Entry(1).portrait, 1u);
  EXPECT_TRUE(Near(c.Entry(1).info.average, kGreen));
  // Marks are set when the run completes: FRAMES_1/d.jpg is first in the index.
  EXPECT_EQ(c.Entry(2).sequenceNumber, 1u);
  EXPECT_EQ(c.description, "The Collection contains 3 Images.");
}

TEST_F(AnalysisRunTest, SecondUpdateDecodesNothingAndTouchedFileOnlyIsRedone) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    test::WriteJpeg(test::MakeFlatImage(30, 20, kRed), dir.File(name));
  }
  c.imageFolder = dir.Folder();
  RunUpdate();
  ASSERT_EQ(c.Size(), 3u);
  Mark();
  RunUpdate();
  for (size_t i = 0; i < c.Size(); ++i) EXPECT_EQ(c.Entry(i).info.grid[0], 0x00ABCDEFu) << i;

  const fs::path touched = dir.Path() / "b.jpg";
  fs::last_write_time(touched, fs::last_write_time(touched) + std::chrono::seconds(30));
  RunUpdate();
  ASSERT_EQ(c.Size(), 3u);
  EXPECT_EQ(c.Entry(0).info.grid[0], 0x00ABCDEFu);
  EXPECT_TRUE(Near(c.Entry(1).info.grid[0], kRed));
  EXPECT_EQ(c.Entry(2).info.grid[0], 0x00ABCDEFu);
}

TEST_F(AnalysisRunTest, EmptyCollectionCompletesAtOnce) {
  c.imageFolder = dir.Folder();
  ASSERT_TRUE(c.Rescan());
  c.StartAnalysis();
  EXPECT_FALSE(c.AnalyseSome());
  EXPECT_EQ(c.AnalysedCount(), 0u);
  EXPECT_EQ(c.description, "The Collection contains 0 Images.");
}

}  // namespace
}  // namespace tessarix
