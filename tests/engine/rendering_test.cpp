#include "engine/rendering.h"

#include <gtest/gtest.h>

#include <tuple>

#include "collection/tile_analysis.h"
#include "engine/source_analysis.h"
#include "engine/usage_counter.h"
#include "imaging/image_ops.h"
#include "imaging/shifted_copy.h"
#include "random_fixture.h"

namespace tessarix {
namespace {

// Four flat quadrants of different colours: every mirror of it is a different picture.
Image Quadrants(uint32_t w, uint32_t h) {
  const Pixel colours[4] = {MakePixel(220, 30, 30), MakePixel(30, 200, 30), MakePixel(30, 30, 220),
                            MakePixel(230, 220, 40)};
  return test::MakeImage(w, h, [&](uint32_t x, uint32_t y) {
    return colours[(y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1)];
  });
}

// Transposed first when `portrait` (as portrait tiles are), then half turns, then mirrored
// left-right.
Image View(const Image& image, bool portrait, int halfTurns, bool mirror) {
  return test::Turned(portrait ? *Rotate(image, 90) : image, 2 * halfTurns, mirror);
}

class Rendering : public ::testing::Test {
 protected:
  void SetUp() override {
    mosaic_.sourcePath = "/photos/Beach.jpg";
    mosaic_.outputBase = dir_.File("Beach");
    mosaic_.jpegQuality = 90;
    mosaic_.params.modifyLimit = 0;
  }

  // `picture` written as a JPEG, the entry analysed as the collection does it.
  CollectionEntry& AddEntry(const Image& picture) {
    CollectionEntry& entry = *entries_.emplace_back(std::make_unique<CollectionEntry>());
    entry.path = dir_.File("tile" + std::to_string(entries_.size()) + ".jpg");
    test::WriteJpeg(picture, entry.path);
    EXPECT_TRUE(ComputeColorInfo(entry.info, LoadTile(entry, 12, 8).value_or(Image())));
    return entry;
  }
  // A cell analysed from `region` (its part of the photo), placed at (left, top) with `entry`.
  MosaicCell& AddCell(const Image& region, uint32_t left, CollectionEntry* entry,
                      uint32_t top = 0) {
    MosaicJob scratchJob;
    Mosaic scratch;
    MosaicCell& cell = scratch.cells.emplace_back();
    cell.width = region.Width(), cell.height = region.Height();
    cell.area = region.Width() * region.Height();
    EXPECT_TRUE(AnalyseCells(scratchJob, scratch, region, 1.0, region.Width(), region.Height()));
    cell.left = left, cell.top = top, cell.assigned = entry;
    return mosaic_.cells.emplace_back(cell);
  }
  static Image Decoded(const CollectionEntry& entry) {
    Image image;
    EXPECT_TRUE(image.LoadJpeg(entry.path));
    return image;
  }

  // The picture posted for display, if any.
  std::optional<Image> Render(uint32_t width, uint32_t height, bool expectedResult = true) {
    mosaic_.width = width, mosaic_.height = height;
    EXPECT_EQ(static_cast<bool>(RenderFinalMosaic(job_, mosaic_)), expectedResult);
    std::optional<DisplayQueue::Item> item = job_.TakeDisplayItem();
    if (!item)
      return std::nullopt;
    EXPECT_EQ(item->caption, "Mosaic: /photos/Beach.jpg");
    return std::move(item->image);
  }

  // 8 x 5 grid cells (every fourth portrait: thumbnailed turned) plus three overlapping shaped
  // cells that blend; the images shared between cells, one unreadable, one (60 x 40 when it was
  // analysed) since replaced by a 30 x 50 portrait photo.
  void AddMixedCells() {
    for (uint32_t i = 0; i < 5; ++i)
      AddEntry(test::Patterned(i == 2 ? 36 : 60, i == 2 ? 54 : 40, i + 1));
    entries_.push_back(std::make_unique<CollectionEntry>(*entries_[0]));
    entries_.back()->path = dir_.File("missing.jpg");
    test::WriteJpeg(test::Patterned(30, 50, 3), entries_[1]->path);
    mosaic_.params.algorithm = kFlipHorizontalVertical;
    mosaic_.params.modifyLimit = 60;
    const Image source = test::Patterned(8 * 26, 5 * 26 + 40, 9);
    for (uint32_t n = 0; n < 40; ++n) {
      const uint32_t x = n % 8 * 26, y = n / 8 * 26, w = n % 4 == 3 ? 16 : 24, h = 40 - w;
      AddCell(*Resample(source, w, h, w, h, x, y), x, n % 9 == 4 ? nullptr : entries_[n % 6].get(),
              y);
    }
    for (uint32_t s = 0; s < 3; ++s) {
      MosaicCell cell = mosaic_.cells[s];
      cell.left = 10 + s * 12, cell.top = 130;
      cell.width = 30, cell.height = 30, cell.area = 900, cell.portrait = false;
      cell.shape.resize(900);
      for (uint32_t i = 0; i < 900; ++i) cell.shape[i] = (i % 30 + i / 30 + s) % 3 != 0;
      cell.assigned = entries_[s].get();
      mosaic_.cells.push_back(cell);
    }
  }

  // Whether the region at `left` is exactly `expected`.
  static bool Shows(const Image& canvas, uint32_t left, const Image& expected) {
    for (uint32_t y = 0; y < expected.Height(); ++y)
      for (uint32_t x = 0; x < expected.Width(); ++x)
        if (canvas.At(left + x, y) != expected.At(x, y))
          return false;
    return true;
  }

  test::TempDir dir_, config_;
  test::ScopedEnv configHome_{"XDG_CONFIG_HOME", config_.Folder()};
  test::RecordingPrompt prompt_;
  std::vector<std::unique_ptr<CollectionEntry>> entries_;
  MosaicJob job_;
  Mosaic mosaic_;
};

TEST_F(Rendering, EmptyAndUnreadableCellsAndGapsStayBlackAndAStopLeavesNoFile) {
  const Image flat = test::MakeFlatImage(24, 16, MakePixel(200, 150, 100));
  CollectionEntry& entry = AddEntry(flat);
  CollectionEntry& gone = AddEntry(flat);
  gone.path = dir_.File("gone.jpg");
  mosaic_.params.algorithm = kExponential;
  AddCell(flat, 0, &entry);
  AddCell(flat, 28, nullptr);
  AddCell(flat, 56, &gone);
  const std::optional<Image> canvas = Render(80, 16);
  ASSERT_TRUE(canvas.has_value());
  EXPECT_TRUE(Shows(*canvas, 0, Decoded(entry)));
  EXPECT_TRUE(Shows(*canvas, 24, test::MakeFlatImage(56, 16, kTransparentBlack)));
  EXPECT_EQ(mosaic_.mosaicFile, dir_.File("Beach Mosaic.JPG"));
  EXPECT_EQ(ReadUsage().mosaicCount, 1);

  std::filesystem::remove(mosaic_.mosaicFile);  // a stop leaves no file
  job_.RequestStop();
  EXPECT_FALSE(Render(80, 16, false).has_value());
  EXPECT_FALSE(std::filesystem::exists(mosaic_.mosaicFile));
}

// Which view of the tile a cell shows (its colour shift is the shared-image test's). The
// orientation code compares the records, which hold a portrait cell turned: mirroring after
// turning the tile back would flip it about the other axis. An asymmetric shape must stay where the
// mask put it: mirror the tile, then cut.
TEST_F(Rendering, OrientationAndShapeOfTheTile) {
  const struct {
    const char* what;
    uint32_t algorithm;
    bool portrait, regionMirror, tileMirror, leftHalfShape;
    int regionHalfTurns, tileHalfTurns;
  } rows[] = {
      {"mirrored", kFlipHorizontal, false, true, true, false, 0, 0},
      {"upside down", kFlipHorizontalVertical, false, true, true, false, 1, 1},
      {"turned half", kFlipHorizontalVertical, false, false, false, false, 1, 1},
      {"standard never mirrors", kStandard, false, true, false, false, 0, 0},
      // Left-right mirrored: red and blue swap with green and yellow (1140 apart by sums) rather
      // than red with blue and green with yellow (1220) as upright.
      {"Flip Horiz. never mirrors top-bottom", kFlipHorizontal, false, true, true, false, 1, 0},
      {"portrait mirrored", kFlipHorizontal, true, true, true, false, 0, 0},
      {"shape cut after mirroring", kFlipHorizontal, false, true, true, true, 0, 0},
  };
  CollectionEntry& entry = AddEntry(Quadrants(48, 32));
  const Image picture = Quadrants(48, 32), tile = Decoded(entry);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    mosaic_.cells.clear();
    MosaicCell& cell =
        AddCell(View(picture, row.portrait, row.regionHalfTurns, row.regionMirror), 0, &entry);
    Image expected = View(tile, row.portrait, row.tileHalfTurns, row.tileMirror);
    if (row.leftHalfShape) {
      cell.shape.resize(48 * 32);
      for (uint32_t i = 0; i < cell.shape.size(); ++i) cell.shape[i] = i % 48 < 24;
      cell.area = 24 * 32;
      for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 24; x < 48; ++x) expected.At(x, y) = kTransparentBlack;
    }
    mosaic_.params.algorithm = row.algorithm;
    const std::optional<Image> canvas = Render(expected.Width(), expected.Height());
    ASSERT_TRUE(canvas.has_value());
    EXPECT_TRUE(Shows(*canvas, 0, expected));
  }
}

// Cells that share an image load it once; each must still get its own colour shift and turn,
// never one left over from another cell. The portrait cell loads the same tile and turns it.
TEST_F(Rendering, SharedImageIsFinishedForEachCellAlone) {
  CollectionEntry& entry = AddEntry(Quadrants(120, 80));
  entry.info.average = MakePixel(100, 100, 100);
  const Pixel averages[] = {MakePixel(110, 100, 90), MakePixel(100, 100, 100),
                            MakePixel(90, 100, 110)};
  for (uint32_t i = 0; i < 3; ++i)
    AddCell(View(Quadrants(120, 80), i == 2, 0, false), i * 120, &entry).info.average = averages[i];
  mosaic_.params.algorithm = kStandard;
  mosaic_.params.modifyLimit = 255;
  Image warmer = Decoded(entry), cooler = Decoded(entry);
  ShiftPixels(warmer, 10, 0, -10);
  ShiftPixels(cooler, -10, 0, 10);
  const std::optional<Image> canvas = Render(320, 120);
  ASSERT_TRUE(canvas.has_value());
  EXPECT_TRUE(Shows(*canvas, 0, warmer));
  EXPECT_TRUE(Shows(*canvas, 120, Decoded(entry)));
  EXPECT_TRUE(Shows(*canvas, 240, View(cooler, true, 0, false)));
}

// With blending shapes the tiles are pasted in cell order; a grid alone is pasted on the pool.
// LoadTile records the decoded size in the entry: a file changed since the analysis must leave
// the same record as painting cell after cell, and the unreadable file keeps the record it had.
TEST_F(Rendering, SameFileAndEntriesWithOneThreadAsWithSeveral) {
  AddMixedCells();
  for (const bool shapes : {true, false}) {
    SCOPED_TRACE(shapes ? "with shapes" : "grid alone");
    if (!shapes)
      mosaic_.cells.resize(40);
    std::optional<Image> pictures[2];
    for (const unsigned threads : {1u, 3u}) {
      mosaic_.params.threads = threads;
      pictures[threads > 1] = Render(8 * 26, 5 * 26 + 40);
      CollectionEntry &changed = *entries_[1], &missing = *entries_[5];
      EXPECT_EQ(
          std::tuple(changed.pixelWidth, changed.pixelHeight, changed.portrait, missing.pixelWidth),
          std::tuple(30u, 50u, 1u, 60u));
      changed.pixelWidth = 60, changed.pixelHeight = 40, changed.portrait = 0;
    }
    ASSERT_TRUE(pictures[0] && pictures[1]);
    EXPECT_TRUE(*pictures[0] == *pictures[1]);
  }
}

// Rectangles that only touch may be pasted together; one shared pixel, a shape, or an overlap
// with a cell outside the range may not, and cells without an image do not count.
TEST(PasteInAnyOrderTest, WholeSeparateRectanglesOnly) {
  CollectionEntry image;
  const auto cell = [&](uint32_t left, uint32_t top, uint32_t w, uint32_t h, bool assigned) {
    MosaicCell c;
    c.left = left, c.top = top, c.width = w, c.height = h, c.area = w * h;
    c.assigned = assigned ? &image : nullptr;
    return c;
  };
  std::vector<MosaicCell> cells = {cell(0, 0, 10, 10, true), cell(10, 0, 10, 10, true),
                                   cell(0, 10, 10, 10, true), cell(9, 9, 2, 2, false)};
  EXPECT_TRUE(PasteInAnyOrder(cells, 0, cells.size()));
  cells[3].assigned = &image;  // now it covers a corner of each of the others
  EXPECT_FALSE(PasteInAnyOrder(cells, 0, cells.size()));
  EXPECT_TRUE(PasteInAnyOrder(cells, 0, 3));
  cells.push_back(cell(19, 19, 1, 1, true));
  EXPECT_TRUE(PasteInAnyOrder(cells, 4, 5));
  cells[4].shape.assign(1, true);
  EXPECT_FALSE(PasteInAnyOrder(cells, 4, 5));
}

}  // namespace
}  // namespace tessarix
