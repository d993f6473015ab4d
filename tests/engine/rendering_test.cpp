#include "engine/rendering.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "collection/tile_analysis.h"
#include "engine/source_analysis.h"
#include "engine/usage_counter.h"
#include "imaging/image_ops.h"
#include "imaging/shifted_copy.h"
#include "test_support.h"

namespace tessarix {
namespace {

// Four flat quadrants of different colours: every mirror of it is a different picture.
Image Quadrants(uint32_t w, uint32_t h) {
  return test::MakeImage(w, h, [w, h](uint32_t x, uint32_t y) {
    const bool left = x < w / 2, top = y < h / 2;
    if (top)
      return left ? MakePixel(220, 30, 30) : MakePixel(30, 200, 30);
    return left ? MakePixel(30, 30, 220) : MakePixel(230, 220, 40);
  });
}

Image Turned(const Image& image) {
  return *Rotate(image, 90);
}
Image MirroredLeftRight(const Image& image) {
  return test::MakeImage(image.Width(), image.Height(), [&image](uint32_t x, uint32_t y) {
    return image.At(image.Width() - 1 - x, y);
  });
}
Image MirroredTopBottom(const Image& image) {
  return test::MakeImage(image.Width(), image.Height(), [&image](uint32_t x, uint32_t y) {
    return image.At(x, image.Height() - 1 - y);
  });
}

class Rendering : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"))
      savedXdg_ = xdg;
    setenv("XDG_CONFIG_HOME", config_.Folder().c_str(), 1);
    mosaic_.sourcePath = "/photos/Beach.jpg";
    mosaic_.outputBase = dir_.File("Beach");
    mosaic_.jpegQuality = 90;
    mosaic_.params.modifyLimit = 0;
  }
  void TearDown() override {
    if (savedXdg_)
      setenv("XDG_CONFIG_HOME", savedXdg_->c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
  }

  // Writes `picture` as the JPEG of a collection entry analysed as the collection does it.
  CollectionEntry& AddEntry(const Image& picture) {
    const std::string path = dir_.File("tile" + std::to_string(entries_.size()) + ".jpg");
    test::WriteJpeg(picture, path);
    auto entry = std::make_unique<CollectionEntry>();
    entry->path = path;
    const std::optional<Image> thumbnail = LoadTile(*entry, 12, 8);
    EXPECT_TRUE(thumbnail && ComputeColorInfo(entry->info, *thumbnail));
    entries_.push_back(std::move(entry));
    return *entries_.back();
  }

  static Image Decoded(const CollectionEntry& entry) {
    Image image;
    EXPECT_TRUE(image.LoadJpeg(entry.path));
    return image;
  }

  // A cell analysed from `region` (its part of the photo) and placed at (left, top).
  MosaicCell& AddCell(const Image& region, uint32_t left, uint32_t top) {
    MosaicJob scratchJob;
    Mosaic scratch;
    MosaicCell& analysed = scratch.cells.emplace_back();
    analysed.width = region.Width(), analysed.height = region.Height();
    analysed.area = region.Width() * region.Height();
    EXPECT_TRUE(AnalyseCells(scratchJob, scratch, region, 1.0, region.Width(), region.Height()));
    EXPECT_EQ(analysed.hasInfo, 1u);
    analysed.left = left, analysed.top = top;
    mosaic_.cells.push_back(analysed);
    return mosaic_.cells.back();
  }

  // The picture posted for display, if any.
  std::optional<Image> Render(uint32_t width, uint32_t height, bool rendered = true) {
    mosaic_.width = width, mosaic_.height = height;
    EXPECT_EQ(static_cast<bool>(RenderFinalMosaic(job_, mosaic_)), rendered);
    std::optional<DisplayQueue::Item> item = job_.TakeDisplayItem();
    if (!item)
      return std::nullopt;
    EXPECT_EQ(item->caption, "Mosaic: /photos/Beach.jpg");
    return std::move(item->image);
  }

  // How many pixels of the region at (left, top) differ from `expected`.
  static int Mismatches(const Image& canvas, uint32_t left, uint32_t top, const Image& expected) {
    int count = 0;
    for (uint32_t y = 0; y < expected.Height(); ++y)
      for (uint32_t x = 0; x < expected.Width(); ++x)
        if (canvas.At(left + x, top + y) != expected.At(x, y))
          ++count;
    return count;
  }

  test::TempDir dir_;
  test::TempDir config_;
  test::RecordingPrompt prompt_;
  std::optional<std::string> savedXdg_;
  std::vector<std::unique_ptr<CollectionEntry>> entries_;
  MosaicJob job_;
  Mosaic mosaic_;
};

TEST_F(Rendering, EmptyAndUnreadableCellsAndGapsStayBlackAndTheMosaicIsSaved) {
  const Image flat = test::MakeFlatImage(24, 16, MakePixel(200, 150, 100));
  CollectionEntry& entry = AddEntry(flat);
  CollectionEntry& gone = AddEntry(flat);
  gone.path = dir_.File("gone.jpg");
  mosaic_.params.algorithm = kExponential;
  AddCell(flat, 0, 0).assigned = &entry;
  AddCell(flat, 28, 0);  // left without an image
  AddCell(flat, 56, 0).assigned = &gone;

  const std::optional<Image> canvas = Render(80, 16);
  ASSERT_TRUE(canvas.has_value());
  EXPECT_EQ(Mismatches(*canvas, 0, 0, Decoded(entry)), 0);
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t x = 24; x < 80; ++x) ASSERT_EQ(canvas->At(x, y), kTransparentBlack) << x;

  EXPECT_EQ(mosaic_.mosaicFile, dir_.File("Beach Mosaic.JPG"));
  Image saved;
  ASSERT_TRUE(saved.LoadJpeg(mosaic_.mosaicFile));
  EXPECT_EQ(saved.Width(), 80u);
  EXPECT_LT(Red(saved.At(44, 8)) + Green(saved.At(44, 8)) + Blue(saved.At(44, 8)), 30u);
  EXPECT_EQ(ReadUsage().mosaicCount, 1);
}

TEST_F(Rendering, StandardShiftsTowardTheCellWithinTheLimit) {
  CollectionEntry& entry = AddEntry(test::MakeFlatImage(24, 16, MakePixel(100, 100, 100)));
  entry.info.average = MakePixel(100, 100, 100);
  MosaicCell& cell = AddCell(test::MakeFlatImage(24, 16, MakePixel(110, 100, 90)), 0, 0);
  cell.info.average = MakePixel(110, 100, 90);
  cell.assigned = &entry;
  mosaic_.params.algorithm = kStandard;
  const Image decoded = Decoded(entry);

  struct Case {
    uint32_t limit;
    int32_t r, g, b;
  };
  for (const Case c : {Case{255, 10, 0, -10}, Case{4, 2, 0, -2}, Case{0, 0, 0, 0}}) {
    mosaic_.params.modifyLimit = c.limit;
    const std::optional<Image> canvas = Render(24, 16);
    ASSERT_TRUE(canvas.has_value());
    Image expected = decoded;
    ShiftPixels(expected, c.r, c.g, c.b);
    EXPECT_EQ(Mismatches(*canvas, 0, 0, expected), 0) << "limit " << c.limit;
  }
}

// Cells that share an image load it once; each must still get its own colour shift and turn,
// never one left over from another cell. The portrait cell loads the same 120 x 80 tile and
// turns it.
TEST_F(Rendering, SharedImageIsFinishedForEachCellAlone) {
  CollectionEntry& entry = AddEntry(Quadrants(120, 80));
  entry.info.average = MakePixel(100, 100, 100);
  const Pixel averages[] = {MakePixel(110, 100, 90), MakePixel(100, 100, 100),
                            MakePixel(90, 100, 110)};
  for (uint32_t i = 0; i < 3; ++i) {
    MosaicCell& cell = AddCell(i < 2 ? Quadrants(120, 80) : Turned(Quadrants(120, 80)), i * 120, 0);
    cell.info.average = averages[i];
    cell.assigned = &entry;
  }
  ASSERT_TRUE(mosaic_.cells[2].portrait);
  mosaic_.params.algorithm = kStandard;
  mosaic_.params.modifyLimit = 255;
  Image warmer = Decoded(entry), cooler = Decoded(entry);
  ShiftPixels(warmer, 10, 0, -10);
  ShiftPixels(cooler, -10, 0, 10);
  for (const uint32_t threads : {1u, 2u}) {
    mosaic_.params.threads = threads;
    const std::optional<Image> canvas = Render(320, 120);
    ASSERT_TRUE(canvas.has_value());
    EXPECT_EQ(Mismatches(*canvas, 0, 0, warmer), 0) << threads;
    EXPECT_EQ(Mismatches(*canvas, 120, 0, Decoded(entry)), 0) << threads;
    EXPECT_EQ(Mismatches(*canvas, 240, 0, Turned(cooler)), 0) << threads;
  }
}

// The orientation code compares the records, which hold a portrait cell turned; mirroring after
// turning the tile back would flip it about the other axis.
TEST_F(Rendering, PortraitCellShowsTheMirrorItWasMatchedWith) {
  CollectionEntry& entry = AddEntry(Quadrants(120, 80));
  const Image region = MirroredLeftRight(Turned(Quadrants(120, 80)));
  MosaicCell& cell = AddCell(region, 0, 0);
  ASSERT_TRUE(cell.portrait);
  cell.assigned = &entry;
  mosaic_.params.algorithm = kFlipHorizontal;  // portrait flags differ: all four orientations
  const std::optional<Image> canvas = Render(80, 120);
  ASSERT_TRUE(canvas.has_value());
  EXPECT_EQ(Mismatches(*canvas, 0, 0, MirroredLeftRight(Turned(Decoded(entry)))), 0);
}

TEST_F(Rendering, LandscapeFlipCodes) {
  CollectionEntry& entry = AddEntry(Quadrants(48, 32));
  const Image tile = Decoded(entry);
  const Image picture = Quadrants(48, 32);
  struct Case {
    uint32_t algorithm;
    Image region, expected;
  };
  const Case cases[] = {
      {kFlipHorizontal, MirroredLeftRight(picture), MirroredLeftRight(tile)},
      {kFlipHorizontalVertical, MirroredTopBottom(picture), MirroredTopBottom(tile)},
      {kFlipHorizontalVertical, MirroredLeftRight(MirroredTopBottom(picture)),
       MirroredLeftRight(MirroredTopBottom(tile))},
      {kStandard, MirroredLeftRight(picture), tile},
  };
  for (const Case& c : cases) {
    mosaic_.cells.clear();
    AddCell(c.region, 0, 0).assigned = &entry;
    mosaic_.params.algorithm = c.algorithm;
    const std::optional<Image> canvas = Render(48, 32);
    ASSERT_TRUE(canvas.has_value());
    EXPECT_EQ(Mismatches(*canvas, 0, 0, c.expected), 0) << "algorithm " << c.algorithm;
  }

  // "Flip Horiz." with a landscape tile in a landscape cell never mirrors top-bottom.
  mosaic_.cells.clear();
  AddCell(MirroredTopBottom(picture), 0, 0).assigned = &entry;
  mosaic_.params.algorithm = kFlipHorizontal;
  const std::optional<Image> canvas = Render(48, 32);
  ASSERT_TRUE(canvas.has_value());
  EXPECT_NE(Mismatches(*canvas, 0, 0, MirroredTopBottom(tile)), 0);
  EXPECT_TRUE(Mismatches(*canvas, 0, 0, tile) == 0 ||
              Mismatches(*canvas, 0, 0, MirroredLeftRight(tile)) == 0);
}

// An asymmetric shape must stay where the mask put it: mirror the tile, then cut.
TEST_F(Rendering, ShapedCellIsMirroredBeforeItIsCut) {
  CollectionEntry& entry = AddEntry(Quadrants(48, 32));
  MosaicCell& cell = AddCell(MirroredLeftRight(Quadrants(48, 32)), 0, 0);
  cell.assigned = &entry;
  cell.shape.resize(48 * 32);
  for (uint32_t i = 0; i < cell.shape.size(); ++i) cell.shape[i] = i % 48 < 24;
  cell.area = 24 * 32;
  mosaic_.params.algorithm = kFlipHorizontal;
  const std::optional<Image> canvas = Render(48, 32);
  ASSERT_TRUE(canvas.has_value());
  const Image mirrored = MirroredLeftRight(Decoded(entry));
  for (uint32_t y = 0; y < 32; ++y)
    for (uint32_t x = 0; x < 48; ++x)
      ASSERT_EQ(canvas->At(x, y), x < 24 ? mirrored.At(x, y) : kTransparentBlack) << x << "," << y;
}

TEST_F(Rendering, StopOrAFailedSaveLeavesNoFile) {
  CollectionEntry& entry = AddEntry(Quadrants(24, 16));
  AddCell(Quadrants(24, 16), 0, 0).assigned = &entry;
  const auto filesInFolder = [this] {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(dir_.Path()))
      if (item.path().filename().string().find("Beach") != std::string::npos ||
          item.path().filename().string().find("tmp") != std::string::npos)
        names.push_back(item.path().filename().string());
    return names;
  };

  job_.RequestStop();
  EXPECT_FALSE(Render(24, 16, false).has_value());
  EXPECT_TRUE(filesInFolder().empty());
  job_.ClearStop();

  // A folder in the way of the mosaic file: the save fails, nothing is shown or counted, and
  // the batch goes on (result 1).
  std::filesystem::create_directory(dir_.File("Beach Mosaic.JPG"));
  EXPECT_FALSE(Render(24, 16, true).has_value());
  EXPECT_EQ(filesInFolder(), std::vector<std::string>{"Beach Mosaic.JPG"});
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("Beach Mosaic.JPG")));
  EXPECT_EQ(ReadUsage().mosaicCount, 0);

  EXPECT_FALSE(Render(0, 16, false).has_value());  // no canvas to paint on
}

}  // namespace
}  // namespace tessarix
