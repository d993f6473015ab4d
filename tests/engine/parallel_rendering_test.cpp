#include <gtest/gtest.h>

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
#include "random_fixture.h"

namespace tessarix {
namespace {

using test::Patterned;

// One mosaic of 8 x 5 grid cells (every fourth portrait: thumbnailed turned) plus three
// overlapping shaped cells that blend, the images shared between cells, one image unreadable.
struct Rendered {
  Rendered(const test::TempDir& dir, const std::string& base) {
    for (uint32_t i = 0; i < 5; ++i) {
      const bool portrait = i == 2;
      auto& entry = entries.emplace_back(std::make_unique<CollectionEntry>());
      entry->path = dir.File(base + std::to_string(i) + ".jpg");
      test::WriteJpeg(Patterned(portrait ? 36 : 60, portrait ? 54 : 40, i + 1), entry->path);
      EXPECT_TRUE(ComputeColorInfo(entry->info, LoadTile(*entry, 12, 8).value_or(Image())));
    }
    entries.push_back(std::make_unique<CollectionEntry>(*entries[0]));
    entries.back()->path = dir.File("missing.jpg");
    mosaic.params.algorithm = kFlipHorizontalVertical;
    mosaic.params.modifyLimit = 60;
    mosaic.sourcePath = "/photos/Beach.jpg";
    mosaic.outputBase = dir.File(base);
    mosaic.jpegQuality = 92;
    mosaic.width = 8 * 26, mosaic.height = 5 * 26 + 40;
    const Image source = Patterned(mosaic.width, mosaic.height, 9);
    for (uint32_t n = 0; n < 40; ++n) {
      const uint32_t x = n % 8 * 26, y = n / 8 * 26, w = n % 4 == 3 ? 16 : 24, h = 40 - w;
      Mosaic scratch;
      MosaicJob scratchJob;
      MosaicCell& cell = scratch.cells.emplace_back();
      cell.width = w, cell.height = h, cell.area = w * h;
      EXPECT_TRUE(
          AnalyseCells(scratchJob, scratch, *Resample(source, w, h, w, h, x, y), 1.0, w, h));
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
  bool Render(unsigned threads) {
    mosaic.params.threads = threads;
    return static_cast<bool>(RenderFinalMosaic(job, mosaic));
  }

  std::vector<std::unique_ptr<CollectionEntry>> entries;
  Mosaic mosaic;
  MosaicJob job;
};

class ParallelRendering : public ::testing::Test {
 protected:
  test::TempDir dir, config;
  test::ScopedEnv configHome{"XDG_CONFIG_HOME", config.Folder()};
  test::RecordingPrompt prompt;
};

// With blending shapes the tiles are pasted in cell order; a grid alone is pasted on the pool;
// two rectangles that overlap must again be pasted in order, the later one on top.
TEST_F(ParallelRendering, SameFileAsOneThread) {
  for (const int variant : {0, 1, 2}) {  // with shapes, grid alone, overlapping rectangles
    SCOPED_TRACE(variant);
    const std::string base = std::to_string(variant);
    Rendered one(dir, base + "one"), many(dir, base + "many");
    for (Mosaic* m : {&one.mosaic, &many.mosaic}) {
      if (variant > 0)
        m->cells.resize(40);
      for (const uint32_t at : {5u, 15u}) {
        MosaicCell cell = m->cells[at / 5];
        cell.left = at, cell.top = 128 + at / 5;
        if (variant == 2)
          m->cells.push_back(cell);
      }
    }
    ASSERT_TRUE(one.Render(1));
    ASSERT_TRUE(many.Render(variant == 0 ? 3 : 2));
    ASSERT_TRUE(one.mosaic.mosaicSaved && many.mosaic.mosaicSaved);
    const std::vector<unsigned char> oneBytes = test::ReadBytes(one.mosaic.mosaicFile);
    ASSERT_FALSE(oneBytes.empty());
    EXPECT_TRUE(oneBytes == test::ReadBytes(many.mosaic.mosaicFile));
    const auto a = one.job.TakeDisplayItem(), b = many.job.TakeDisplayItem();
    ASSERT_TRUE(a && b && a->image && b->image);
    EXPECT_TRUE(*a->image == *b->image);
    EXPECT_EQ(many.job.Progress().target[2], static_cast<double>(many.mosaic.cells.size()));
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
// photo replaced by a 30 x 50 portrait one. The unreadable file keeps the record it had. A stop
// requested before the rendering writes and shows nothing.
TEST_F(ParallelRendering, DecodedSizeReachesTheSharedEntryAndStopWritesNothing) {
  for (const unsigned threads : {1u, 2u}) {
    Rendered r(dir, "size" + std::to_string(threads));
    test::WriteJpeg(Patterned(30, 50, 3), r.entries[1]->path);
    ASSERT_TRUE(r.Render(threads));
    EXPECT_EQ(
        std::tuple(r.entries[1]->pixelWidth, r.entries[1]->pixelHeight, r.entries[1]->portrait),
        std::tuple(30u, 50u, 1u))
        << threads;
    EXPECT_EQ(r.entries[5]->pixelWidth, 60u) << threads;
  }
  Rendered stopped(dir, "stop");
  stopped.job.RequestStop();
  EXPECT_FALSE(stopped.Render(2));
  EXPECT_FALSE(std::filesystem::exists(stopped.mosaic.outputBase + " Mosaic.JPG"));
  EXPECT_FALSE(stopped.job.TakeDisplayItem().has_value());
}

}  // namespace
}  // namespace tessarix
