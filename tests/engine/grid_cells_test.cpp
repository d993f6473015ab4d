#include <gtest/gtest.h>

#include "engine/grid_cells.h"
#include "engine/source_analysis.h"
#include "imaging/image_ops.h"
#include "test_support.h"

namespace tessarix {
namespace {

using Numbers = std::vector<uint32_t>;

// Per cell its left, top, width, height and area.
std::vector<Numbers> Rectangles(const Mosaic& mosaic) {
  std::vector<Numbers> rectangles;
  for (const MosaicCell& c : mosaic.cells)
    rectangles.push_back({c.left, c.top, c.width, c.height, c.area});
  return rectangles;
}

// Three columns of three cells, column by column, `step` apart across and `rowStep` down.
std::vector<Numbers> ThreeByThree(uint32_t step, uint32_t rowStep, uint32_t w, uint32_t h) {
  std::vector<Numbers> rectangles;
  for (uint32_t c = 0; c < 3; ++c)
    for (uint32_t r = 0; r < 3; ++r) rectangles.push_back({c * step, r * rowStep, w, h, w * h});
  return rectangles;
}

// Cell (c, r) of a grid with `rows` rows sits at index c * rows + r.
TEST(GridCells, ColumnByColumnWithBordersAndNeighboursWithinDistanceIncludingEquality) {
  MosaicJob job;
  Mosaic mosaic;
  mosaic.params.tileBorder = 4;
  ASSERT_TRUE(BuildGridCells(job, mosaic, 120, 80, 3, 3, 0));
  EXPECT_EQ(Rectangles(mosaic), ThreeByThree(124, 84, 120, 80));
  for (const MosaicCell& cell : mosaic.cells) EXPECT_TRUE(cell.neighbours.empty());
  // 2 * 4 + 3 * 120 across, 2 * 4 + 3 * 80 down.
  const CellExtent e = MeasureCells(mosaic.cells);
  EXPECT_EQ(Numbers({e.width, e.height, e.minWidth, e.minHeight}), Numbers({368, 248, 120, 80}));

  mosaic.params.tileBorder = 0;
  ASSERT_TRUE(BuildGridCells(job, mosaic, 12, 8, 5, 5, 1));
  // Inner cell (2, 2): edge neighbours only, in order of column then row.
  EXPECT_EQ(mosaic.cells[12].neighbours, Numbers({7, 11, 13, 17}));
  EXPECT_EQ(mosaic.cells[0].neighbours, Numbers({1, 5}));
  ASSERT_TRUE(BuildGridCells(job, mosaic, 12, 8, 5, 5, 2));
  // (0, 2) at exactly 2 steps is in.
  EXPECT_EQ(mosaic.cells[12].neighbours, Numbers({2, 6, 7, 8, 10, 11, 13, 14, 16, 17, 18, 22}));
  // Corner (0, 0) with D = 2: (0,1) (0,2) (1,0) (1,1) (2,0); (1,2) is sqrt(5) away.
  EXPECT_EQ(mosaic.cells[0].neighbours, Numbers({1, 2, 5, 6, 10}));

  // No columns, no height or a stop: no cells.
  EXPECT_FALSE(BuildGridCells(job, mosaic, 10, 10, 0, 2, 1));
  EXPECT_TRUE(mosaic.cells.empty());
  EXPECT_FALSE(BuildGridCells(job, mosaic, 10, 0, 2, 2, 1));
  job.RequestStop();
  EXPECT_FALSE(BuildGridCells(job, mosaic, 10, 10, 2, 2, 1));
  EXPECT_TRUE(mosaic.cells.empty());
}

TEST(FitAspect, LargestSizeOfTheAspectInTheBox) {
  const struct {
    uint32_t boxW, boxH, w, h, width, height;
  } cases[] = {
      {12, 8, 80, 120, 5, 8},    // 8 * 80 / 120 = 5
      {12, 8, 1000, 10, 12, 1},  // 12 * 10 / 1000 = 0 -> 1
      {12, 8, 10, 1000, 1, 8},
      {360, 240, 1200, 800, 360, 240},
      {360, 240, 1200, 810, 355, 240},                // 360 * 810 / 1200 = 243 > 240
      {100000, 100000, 70000, 60000, 100000, 85714},  // products beyond 32 bits must not wrap
      {0, 8, 1, 1, 0, 0},                             // none: any side of either is 0
      {12, 8, 1, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const std::optional<Size2> s = FitAspect(c.boxW, c.boxH, c.w, c.h);
    EXPECT_EQ(s ? Numbers({s->width, s->height}) : Numbers({0, 0}), Numbers({c.width, c.height}))
        << c.boxW << " " << c.w << "x" << c.h;
  }
}

TEST(AnalysisScale, ShrinksOnlyCellsOfAtLeast24By4) {
  const struct {
    uint32_t minW, minH;
    double scale;
  } cases[] = {{300, 200, 0.04}, {12, 8, 1.0}, {24, 4, 0.5},  // min(12/24, 8/4)
               {24, 3, 1.0},     {23, 4, 1.0}, {47, 31, 12.0 / 47}};
  for (const auto& c : cases) {
    CellExtent extent;
    extent.minWidth = c.minW, extent.minHeight = c.minH;
    EXPECT_DOUBLE_EQ(AnalysisScale(extent), c.scale) << c.minW << "x" << c.minH;
  }
}

TEST(AnalyseSourceGrid, NineCellsOfAThreeColumnPhotoAndMissingInputs) {
  // Three vertical bands, one per column of cells.
  const Pixel bands[3] = {MakePixel(200, 20, 20), MakePixel(20, 200, 20), MakePixel(20, 20, 200)};
  const Image photo =
      test::MakeImage(1200, 800, [&](uint32_t x, uint32_t) { return bands[x / 400]; });
  ImageCollection collection, empty;
  collection.Add(std::make_unique<CollectionEntry>()).path = "/nowhere/tile.jpg";
  MosaicJob job;
  Mosaic mosaic;
  ASSERT_TRUE(AnalyseSourceGrid(job, mosaic, photo, 3, 120, collection));
  ASSERT_EQ(Rectangles(mosaic), ThreeByThree(120, 80, 120, 80));
  EXPECT_EQ(Numbers({mosaic.width, mosaic.height}), Numbers({360, 240}));
  EXPECT_EQ(mosaic.collection, &collection);
  Numbers averages, expected;
  for (size_t i = 0; i < mosaic.cells.size(); ++i) {
    const MosaicCell& cell = mosaic.cells[i];
    averages.push_back(cell.hasInfo && cell.info.opaque ? cell.info.average : 0);
    expected.push_back(bands[i / 3]);
  }
  EXPECT_EQ(averages, expected);
  const std::optional<FailureKind> refused = FailureKind::kRefused;
  EXPECT_EQ(test::KindOf(AnalyseSourceGrid(job, mosaic, Image(), 3, 120, collection)), refused);
  EXPECT_EQ(test::KindOf(AnalyseSourceGrid(job, mosaic, photo, 3, 120, empty)), refused);
  EXPECT_EQ(test::KindOf(AnalyseSourceGrid(job, mosaic, photo, 3, 1, collection)), refused);
  EXPECT_EQ(test::KindOf(AnalyseSourceGrid(job, mosaic, photo, 0, 120, collection)), refused);
}

TEST(AnalyseCells, CellsBeyondOrAcrossTheScaledPhotoAndStop) {
  const Image scaled = test::MakeFlatImage(36, 24, MakePixel(90, 90, 90));
  MosaicJob job;
  Mosaic mosaic;
  auto add = [&](uint32_t left, uint32_t top, uint32_t area) {
    MosaicCell& cell = mosaic.cells.emplace_back();
    cell.left = left, cell.top = top, cell.width = 120, cell.height = 80, cell.area = area;
  };
  add(300, 0, 9600);  // 30..42 of 36 columns: the right half is outside
  add(360, 0, 9600);  // left * 0.1 = 36 >= 36: outside
  add(0, 240, 9600);  // top * 0.1 = 24 >= 24: outside
  add(0, 0, 0);       // not part of the mosaic
  add(0, 0, 9600);
  ASSERT_TRUE(AnalyseCells(job, mosaic, scaled, 0.1, 36, 24));
  Numbers hasInfo, opaque;
  for (const MosaicCell& cell : mosaic.cells)
    hasInfo.push_back(cell.hasInfo), opaque.push_back(cell.info.opaque);
  EXPECT_EQ(hasInfo, Numbers({1, 0, 0, 0, 1}));
  EXPECT_EQ(std::pair(opaque[0], opaque[4]), std::pair(0u, 1u));
  EXPECT_EQ(mosaic.cells[0].info.grid[0], MakePixel(90, 90, 90));
  EXPECT_EQ(Transparency(mosaic.cells[0].info.grid[11]), 255u);

  // A square cell is thumbnailed as a landscape one; only a taller one is turned.
  Mosaic shapes;
  for (const uint32_t height : {80u, 90u}) {
    MosaicCell& cell = shapes.cells.emplace_back();
    cell.width = 80, cell.height = height, cell.area = 80 * height;
  }
  ASSERT_TRUE(AnalyseCells(job, shapes, scaled, 0.1, 36, 24));
  EXPECT_EQ(std::pair(shapes.cells[0].portrait, shapes.cells[1].portrait), std::pair(false, true));

  for (MosaicCell& cell : mosaic.cells) cell.hasInfo = 0;
  job.RequestStop();
  EXPECT_EQ(test::KindOf(AnalyseCells(job, mosaic, scaled, 0.1, 36, 24)), FailureKind::kStopped);
  EXPECT_EQ(mosaic.cells.size(), 5u);
  EXPECT_EQ(mosaic.cells[4].hasInfo, 0u);
}

}  // namespace
}  // namespace tessarix
