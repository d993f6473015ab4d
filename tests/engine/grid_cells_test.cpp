#include <gtest/gtest.h>

#include "engine/grid_cells.h"
#include "engine/source_analysis.h"
#include "imaging/image_ops.h"
#include "test_support.h"

namespace tessarix {
namespace {

struct Position {
  uint32_t left, top;
  friend bool operator==(const Position&, const Position&) = default;
};

std::vector<Position> Positions(const Mosaic& mosaic) {
  std::vector<Position> positions;
  for (const MosaicCell& cell : mosaic.cells) positions.push_back({cell.left, cell.top});
  return positions;
}

TEST(GridCells, ColumnByColumnWithBorders) {
  MosaicJob job;
  Mosaic mosaic;
  mosaic.params.tileBorder = 4;
  ASSERT_EQ(BuildGridCells(job, mosaic, 120, 80, 3, 3, 0), 1);
  const std::vector<Position> expected = {{0, 0},     {0, 84},  {0, 168},  {124, 0},  {124, 84},
                                          {124, 168}, {248, 0}, {248, 84}, {248, 168}};
  EXPECT_EQ(Positions(mosaic), expected);
  for (const MosaicCell& cell : mosaic.cells) {
    EXPECT_EQ(cell.width, 120u);
    EXPECT_EQ(cell.height, 80u);
    EXPECT_EQ(cell.area, 9600u);
    EXPECT_TRUE(cell.neighbours.empty());
  }
  const CellExtent extent = MeasureCells(mosaic.cells);
  EXPECT_EQ(extent.width, 368u);  // 2 * 4 + 3 * 120
  EXPECT_EQ(extent.height, 248u);
  EXPECT_EQ(extent.minWidth, 120u);
  EXPECT_EQ(extent.minHeight, 80u);
  EXPECT_EQ(job.Status(), "Calculating Tile Distance...");
}

TEST(GridCells, ZeroArgumentsAndStopLeaveNoCells) {
  MosaicJob job;
  Mosaic mosaic;
  ASSERT_EQ(BuildGridCells(job, mosaic, 10, 10, 2, 2, 1), 1);
  EXPECT_EQ(BuildGridCells(job, mosaic, 10, 10, 0, 2, 1), 0);
  EXPECT_TRUE(mosaic.cells.empty());
  EXPECT_EQ(BuildGridCells(job, mosaic, 10, 0, 2, 2, 1), 0);
  job.RequestStop();
  EXPECT_EQ(BuildGridCells(job, mosaic, 10, 10, 2, 2, 1), 0);
  EXPECT_TRUE(mosaic.cells.empty());
}

// Cell (c, r) of a grid with `rows` rows sits at index c * rows + r.
TEST(GridCells, NeighboursWithinDistanceIncludingEquality) {
  MosaicJob job;
  Mosaic mosaic;
  ASSERT_EQ(BuildGridCells(job, mosaic, 12, 8, 5, 5, 1), 1);
  // Inner cell (2, 2): edge neighbours only, in order of column then row.
  EXPECT_EQ(mosaic.cells[12].neighbours, (std::vector<uint32_t>{7, 11, 13, 17}));
  EXPECT_EQ(mosaic.cells[0].neighbours, (std::vector<uint32_t>{1, 5}));

  ASSERT_EQ(BuildGridCells(job, mosaic, 12, 8, 5, 5, 2), 1);
  const std::vector<uint32_t> twelve = {2, 6, 7, 8, 10, 11, 13, 14, 16, 17, 18, 22};
  EXPECT_EQ(mosaic.cells[12].neighbours, twelve);  // (0, 2) at exactly 2 steps is in
  // Corner (0, 0) with D = 2: (0,1) (0,2) (1,0) (1,1) (2,0); (1,2) is sqrt(5) away.
  EXPECT_EQ(mosaic.cells[0].neighbours, (std::vector<uint32_t>{1, 2, 5, 6, 10}));
}

TEST(FitAspect, LargestSizeOfTheAspectInTheBox) {
  auto fit = [](uint32_t bw, uint32_t bh, uint32_t w, uint32_t h) {
    const std::optional<Size2> s = FitAspect(bw, bh, w, h);
    return s ? std::make_pair(s->width, s->height) : std::make_pair(0u, 0u);
  };
  EXPECT_EQ(fit(12, 8, 80, 120), std::make_pair(5u, 8u));    // 8 * 80 / 120 = 5
  EXPECT_EQ(fit(12, 8, 1000, 10), std::make_pair(12u, 1u));  // 12 * 10 / 1000 = 0 -> 1
  EXPECT_EQ(fit(12, 8, 10, 1000), std::make_pair(1u, 8u));
  EXPECT_EQ(fit(360, 240, 1200, 800), std::make_pair(360u, 240u));
  EXPECT_EQ(fit(360, 240, 1200, 810), std::make_pair(355u, 240u));  // 360*810/1200 = 243 > 240
  // Products beyond 32 bits must not wrap.
  EXPECT_EQ(fit(100000, 100000, 70000, 60000), std::make_pair(100000u, 85714u));
  EXPECT_FALSE(FitAspect(0, 8, 1, 1));
  EXPECT_FALSE(FitAspect(12, 8, 1, 0));
}

TEST(AnalysisScale, ShrinksOnlyCellsOfAtLeast24By4) {
  auto scale = [](uint32_t minW, uint32_t minH) {
    CellExtent extent;
    extent.minWidth = minW;
    extent.minHeight = minH;
    return AnalysisScale(extent);
  };
  EXPECT_DOUBLE_EQ(scale(300, 200), 0.04);
  EXPECT_DOUBLE_EQ(scale(12, 8), 1.0);
  EXPECT_DOUBLE_EQ(scale(24, 4), 0.5);  // min(12/24, 8/4)
  EXPECT_DOUBLE_EQ(scale(24, 3), 1.0);
  EXPECT_DOUBLE_EQ(scale(47, 31), 12.0 / 47);
}

ImageCollection OneEntryCollection() {
  ImageCollection collection;
  auto entry = std::make_unique<CollectionEntry>();
  entry->path = "/nowhere/tile.jpg";
  collection.Add(std::move(entry));
  return collection;
}

TEST(AnalyseSourceGrid, NineCellsOfAThreeColumnPhoto) {
  // Three vertical bands, one per column of cells.
  const Pixel bands[3] = {MakePixel(200, 20, 20), MakePixel(20, 200, 20), MakePixel(20, 20, 200)};
  const Image photo =
      test::MakeImage(1200, 800, [&](uint32_t x, uint32_t) { return bands[x / 400]; });
  ImageCollection collection = OneEntryCollection();
  MosaicJob job;
  Mosaic mosaic;
  mosaic.params.minDuplicateDistance = 1;
  ASSERT_TRUE(AnalyseSourceGrid(job, mosaic, photo, 3, 120, collection));
  const std::vector<Position> expected = {{0, 0},     {0, 80},  {0, 160},  {120, 0},  {120, 80},
                                          {120, 160}, {240, 0}, {240, 80}, {240, 160}};
  ASSERT_EQ(Positions(mosaic), expected);
  EXPECT_EQ(mosaic.width, 360u);
  EXPECT_EQ(mosaic.height, 240u);
  EXPECT_EQ(mosaic.collection, &collection);
  EXPECT_EQ(mosaic.cells[4].neighbours, (std::vector<uint32_t>{1, 3, 5, 7}));
  for (size_t i = 0; i < mosaic.cells.size(); ++i) {
    const MosaicCell& cell = mosaic.cells[i];
    ASSERT_EQ(cell.hasInfo, 1u) << i;
    EXPECT_EQ(cell.info.opaque, 1u);
    const Pixel want = bands[i / 3];
    EXPECT_NEAR(Red(cell.info.average), Red(want), 3) << i;
    EXPECT_NEAR(Green(cell.info.average), Green(want), 3) << i;
    EXPECT_NEAR(Blue(cell.info.average), Blue(want), 3) << i;
  }
}

TEST(AnalyseSourceGrid, RefusesMissingInputs) {
  const Image photo = test::MakeFlatImage(120, 80, MakePixel(1, 2, 3));
  ImageCollection empty;
  ImageCollection collection = OneEntryCollection();
  MosaicJob job;
  Mosaic mosaic;
  EXPECT_EQ(test::KindOf(AnalyseSourceGrid(job, mosaic, Image(), 3, 120, collection)), FailureKind::kRefused);
  EXPECT_EQ(test::KindOf(AnalyseSourceGrid(job, mosaic, photo, 3, 120, empty)), FailureKind::kRefused);
  // cell height 0
  EXPECT_EQ(test::KindOf(AnalyseSourceGrid(job, mosaic, photo, 3, 1, collection)), FailureKind::kRefused);
  EXPECT_EQ(test::KindOf(AnalyseSourceGrid(job, mosaic, photo, 0, 120, collection)), FailureKind::kRefused);
}

TEST(AnalyseCells, PortraitCellIsThumbnailedUprightAndTurned) {
  // Top half red, bottom half blue: the transposition puts red in the left columns.
  const Image photo = test::MakeImage(80, 120, [](uint32_t, uint32_t y) {
    return y < 60 ? MakePixel(255, 0, 0) : MakePixel(0, 0, 255);
  });
  MosaicJob job;
  Mosaic mosaic;
  MosaicCell& cell = mosaic.cells.emplace_back();
  cell.width = 80, cell.height = 120, cell.area = 9600;
  ASSERT_TRUE(AnalyseCells(job, mosaic, photo, 1.0, 80, 120));
  ASSERT_EQ(cell.hasInfo, 1u);
  EXPECT_TRUE(cell.portrait);
  EXPECT_EQ(cell.info.grid[0], MakePixel(255, 0, 0));
  EXPECT_EQ(cell.info.grid[7 * 12 + 5], MakePixel(255, 0, 0));
  EXPECT_EQ(cell.info.grid[6], MakePixel(0, 0, 255));
  EXPECT_EQ(cell.info.grid[7 * 12 + 11], MakePixel(0, 0, 255));
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
  ASSERT_EQ(mosaic.cells[0].hasInfo, 1u);
  EXPECT_EQ(mosaic.cells[0].info.opaque, 0u);
  EXPECT_EQ(mosaic.cells[0].info.grid[0], MakePixel(90, 90, 90));
  EXPECT_EQ(Transparency(mosaic.cells[0].info.grid[11]), 255u);
  EXPECT_EQ(mosaic.cells[1].hasInfo, 0u);
  EXPECT_EQ(mosaic.cells[2].hasInfo, 0u);
  EXPECT_EQ(mosaic.cells[3].hasInfo, 0u);
  EXPECT_EQ(mosaic.cells[4].hasInfo, 1u);
  EXPECT_EQ(mosaic.cells[4].info.opaque, 1u);

  for (MosaicCell& cell : mosaic.cells) cell.hasInfo = 0;
  job.RequestStop();
  EXPECT_EQ(test::KindOf(AnalyseCells(job, mosaic, scaled, 0.1, 36, 24)), FailureKind::kStopped);
  EXPECT_EQ(mosaic.cells.size(), 5u);
  EXPECT_EQ(mosaic.cells[4].hasInfo, 0u);
}

}  // namespace
}  // namespace tessarix
