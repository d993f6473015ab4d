#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "collection/tile_analysis.h"
#include "engine/rendering.h"
#include "engine/source_analysis.h"
#include "imaging/image_ops.h"
#include "test_support.h"

namespace tessarix {
namespace {

// Stripes and a corner mark: every mirror and turn of it is a different picture.
Image Pattern(uint32_t w, uint32_t h, uint32_t seed) {
  return test::MakeImage(w, h, [w, h, seed](uint32_t x, uint32_t y) {
    if (x < w / 4 && y < h / 3)
      return MakePixel(250, 250, (seed * 40) % 256);
    return MakePixel((x * 7 + seed * 50) % 256, (y * 11 + seed * 30) % 256,
                     ((x + y) * 3 + seed * 90) % 256);
  });
}

class ParallelRendering : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"))
      savedXdg_ = xdg;
    setenv("XDG_CONFIG_HOME", config_.Folder().c_str(), 1);
  }
  void TearDown() override {
    if (savedXdg_)
      setenv("XDG_CONFIG_HOME", savedXdg_->c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
  }

  // One mosaic of 8 x 5 grid cells (every fourth portrait: thumbnailed turned) plus three
  // overlapping shaped cells that blend, the images shared between cells, one image unreadable.
  void Build(Mosaic& mosaic, std::vector<std::unique_ptr<CollectionEntry>>& entries,
             const std::string& base) {
    for (uint32_t i = 0; i < 5; ++i) {
      const bool portrait = i == 2;
      auto& entry = entries.emplace_back(std::make_unique<CollectionEntry>());
      entry->path = dir_.File(base + std::to_string(i) + ".jpg");
      test::WriteJpeg(Pattern(portrait ? 36 : 60, portrait ? 54 : 40, i + 1), entry->path);
      ASSERT_TRUE(ComputeColorInfo(entry->info, LoadTile(*entry, 12, 8).value_or(Image())));
    }
    entries.push_back(std::make_unique<CollectionEntry>(*entries[0]));
    entries.back()->path = dir_.File("missing.jpg");

    mosaic.params.algorithm = kFlipHorizontalVertical;
    mosaic.params.modifyLimit = 60;
    mosaic.sourcePath = "/photos/Beach.jpg";
    mosaic.outputBase = dir_.File(base);
    mosaic.jpegQuality = 92;
    mosaic.width = 8 * 26;
    mosaic.height = 5 * 26 + 40;
    const Image source = Pattern(mosaic.width, mosaic.height, 9);
    MosaicJob scratchJob;
    for (uint32_t n = 0; n < 40; ++n) {
      const uint32_t x = n % 8 * 26, y = n / 8 * 26, w = n % 4 == 3 ? 16 : 24, h = 40 - w;
      Mosaic scratch;
      MosaicCell& cell = scratch.cells.emplace_back();
      cell.width = w, cell.height = h, cell.area = w * h;
      const std::optional<Image> region = Resample(source, w, h, w, h, x, y);
      ASSERT_TRUE(region.has_value());
      ASSERT_TRUE(AnalyseCells(scratchJob, scratch, *region, 1.0, w, h));
      cell.left = x, cell.top = y;
      cell.assigned = n % 9 == 4 ? nullptr : entries[n % entries.size()].get();
      mosaic.cells.push_back(cell);
    }
    for (uint32_t s = 0; s < 3; ++s) {
      MosaicCell cell = mosaic.cells[s];
      cell.left = 10 + s * 12, cell.top = 130;
      cell.width = 30, cell.height = 30, cell.area = 900, cell.portrait = false;
      cell.shape.resize(900);
      for (uint32_t i = 0; i < 900; ++i) cell.shape[i] = (i % 30 + i / 30 + s) % 3 != 0;
      cell.assigned = entries[s].get();
      mosaic.cells.push_back(cell);
    }
  }

  test::TempDir dir_;
  test::TempDir config_;
  test::RecordingPrompt prompt_;
  std::optional<std::string> savedXdg_;
};

// With blending shapes the tiles are pasted in cell order; a grid alone is pasted on the pool;
// two rectangles that overlap must again be pasted in order, the later one on top.
TEST_F(ParallelRendering, SameFileAsOneThread) {
  enum Variant { kWithShapes, kGridAlone, kOverlappingRectangles };
  for (const Variant variant : {kWithShapes, kGridAlone, kOverlappingRectangles}) {
    SCOPED_TRACE(variant);
    Mosaic one, many;
    std::vector<std::unique_ptr<CollectionEntry>> oneEntries, manyEntries;
    const std::string base = "v" + std::to_string(variant);
    Build(one, oneEntries, base + "one");
    Build(many, manyEntries, base + "many");
    for (Mosaic* m : {&one, &many}) {
      if (variant == kWithShapes)
        continue;
      m->cells.resize(40);
      if (variant == kOverlappingRectangles) {
        for (const uint32_t at : {5u, 15u}) {
          MosaicCell cell = m->cells[at / 5];
          cell.left = at, cell.top = 128 + at / 5;
          m->cells.push_back(cell);
        }
      }
    }
    many.params.threads = variant == kWithShapes ? 3 : 2;
    MosaicJob oneJob, manyJob;
    ASSERT_TRUE(RenderFinalMosaic(oneJob, one));
    ASSERT_TRUE(RenderFinalMosaic(manyJob, many));
    ASSERT_TRUE(one.mosaicSaved && many.mosaicSaved);
    const std::vector<unsigned char> oneBytes = test::ReadBytes(one.mosaicFile);
    ASSERT_FALSE(oneBytes.empty());
    EXPECT_TRUE(oneBytes == test::ReadBytes(many.mosaicFile));
    const std::optional<DisplayQueue::Item> a = oneJob.TakeDisplayItem();
    const std::optional<DisplayQueue::Item> b = manyJob.TakeDisplayItem();
    ASSERT_TRUE(a && b && a->image && b->image);
    EXPECT_TRUE(*a->image == *b->image);
    EXPECT_EQ(manyJob.Progress().target[2], static_cast<double>(many.cells.size()));
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
  // The right edge of the first lies past 32 bits, beyond the second's left edge.
  cells = {cell(0xFFFFFFF0u, 0, 0x20, 1, true), cell(0xFFFFFFF8u, 0, 1, 1, true)};
  EXPECT_FALSE(PasteInAnyOrder(cells, 0, 2));
}

// LoadTile records the decoded size in the entry; when the file changed since the analysis, the
// parallel rendering must leave the same record as painting cell after cell: here a 60 x 40
// photo replaced by a 30 x 50 portrait one. The unreadable file keeps the record it had.
TEST_F(ParallelRendering, DecodedSizeReachesTheSharedEntry) {
  for (const unsigned threads : {1u, 2u}) {
    Mosaic mosaic;
    std::vector<std::unique_ptr<CollectionEntry>> entries;
    Build(mosaic, entries, "size" + std::to_string(threads));
    mosaic.params.threads = threads;
    test::WriteJpeg(Pattern(30, 50, 3), entries[1]->path);
    MosaicJob job;
    ASSERT_TRUE(RenderFinalMosaic(job, mosaic));
    EXPECT_EQ(std::tuple(entries[1]->pixelWidth, entries[1]->pixelHeight, entries[1]->portrait),
              std::tuple(30u, 50u, 1u))
        << threads;
    EXPECT_EQ(entries[5]->pixelWidth, 60u) << threads;
  }
}

TEST_F(ParallelRendering, StopWritesNothing) {
  Mosaic mosaic;
  std::vector<std::unique_ptr<CollectionEntry>> entries;
  Build(mosaic, entries, "stop");
  mosaic.params.threads = 2;
  MosaicJob job;
  job.RequestStop();
  EXPECT_EQ(test::KindOf(RenderFinalMosaic(job, mosaic)), FailureKind::kStopped);
  EXPECT_FALSE(std::filesystem::exists(mosaic.outputBase + " Mosaic.JPG"));
  EXPECT_FALSE(job.TakeDisplayItem().has_value());
}

}  // namespace
}  // namespace tessarix
