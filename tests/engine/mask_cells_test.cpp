#include "engine/mask_cells.h"

#include <gtest/gtest.h>

#include <memory>

#include "imaging/pixel.h"
#include "test_support.h"

namespace tessarix {
namespace {

using test::MakeImage;

constexpr Pixel kDark = MakePixel(40, 40, 40);
constexpr Pixel kLight = MakePixel(200, 200, 200);
constexpr Pixel kMid = MakePixel(120, 120, 120);

// Every mask pixel must belong to exactly one cell, and every area must count its own pixels.
void ExpectExactCover(const std::vector<MosaicCell>& cells, uint32_t w, uint32_t h) {
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      int owners = 0;
      for (const MosaicCell& c : cells) {
        if (x < c.left || y < c.top || x >= c.left + c.width || y >= c.top + c.height)
          continue;
        owners += InsideShape(c, uint64_t{y - c.top} * c.width + (x - c.left));
      }
      ASSERT_EQ(owners, 1) << "pixel " << x << "," << y;
    }
  }
  for (const MosaicCell& c : cells) {
    uint32_t inside = 0;
    for (uint64_t i = 0; i < uint64_t{c.width} * c.height; ++i) inside += InsideShape(c, i);
    EXPECT_EQ(inside, c.area);
    EXPECT_EQ(c.shape.empty(), c.area == c.width * c.height);
  }
}

void ExpectRect(const MosaicCell& c, uint32_t left, uint32_t top, uint32_t w, uint32_t h) {
  EXPECT_EQ(c.left, left);
  EXPECT_EQ(c.top, top);
  EXPECT_EQ(c.width, w);
  EXPECT_EQ(c.height, h);
}

// Every row but the first is labelled against the row above, which must be reached without an
// index x - w that wraps in unsigned arithmetic; the sanitizer build stops on one. Three stripes
// 7 wide: the two columns cleared on each side of both borders (5..8 and 12..15) grow back to
// their own stripe in two passes. A single column reads the row above only ever at index 0.
TEST(MaskCells, RowsBelowTheFirstReadTheRowAboveSafely) {
  const Pixel colors[3] = {MakePixel(200, 10, 10), MakePixel(10, 200, 10), MakePixel(10, 10, 200)};
  std::vector<MosaicCell> cells;
  const MaskSegmentation s =
      SegmentMask(cells, MakeImage(21, 15, [&](uint32_t x, uint32_t) { return colors[x / 7]; }));
  ASSERT_TRUE(s.status);
  EXPECT_EQ(s.maskWidth, 21u);
  EXPECT_EQ(s.maskHeight, 15u);
  ASSERT_EQ(cells.size(), 3u);
  for (uint32_t k = 0; k < 3; ++k) {
    ExpectRect(cells[k], 7 * k, 0, 7, 15);
    EXPECT_EQ(cells[k].area, 105u);
    EXPECT_TRUE(cells[k].shape.empty());
  }

  ASSERT_TRUE(SegmentMask(cells, test::MakeFlatImage(1, 9, MakePixel(7, 8, 9))).status);
  ASSERT_EQ(cells.size(), 1u);
  ExpectRect(cells[0], 0, 0, 1, 9);
  EXPECT_EQ(cells[0].area, 9u);
}

TEST(MaskCells, SquaredDistanceNineJoinsTwelveSplits) {
  const Pixel base = MakePixel(100, 100, 100);
  std::vector<MosaicCell> cells(3);  // replaced
  ASSERT_TRUE(SegmentMask(cells, MakeImage(20, 10,
                                           [&](uint32_t x, uint32_t) {
                                             return x < 10 ? base : MakePixel(102, 102, 101);
                                           }))
                  .status);
  ASSERT_EQ(cells.size(), 1u);
  ExpectRect(cells[0], 0, 0, 20, 10);
  EXPECT_EQ(cells[0].area, 200u);
  EXPECT_TRUE(cells[0].shape.empty());

  SegmentMask(cells, MakeImage(20, 10, [&](uint32_t x, uint32_t) {
                return x < 10 ? base : MakePixel(102, 102, 102);
              }));
  ASSERT_EQ(cells.size(), 2u);
  ExpectRect(cells[0], 0, 0, 10, 10);
  ExpectRect(cells[1], 10, 0, 10, 10);
}

TEST(MaskCells, PixelUnlikeItsLeftJoinsTheSimilarAreaAbove) {
  // Top half and bottom-right quarter 102-grey, bottom-left quarter 100-grey: the bottom-right
  // pixels differ from their left neighbour by 12 but join the area above, giving an L-shaped
  // area and a square. Where the corners meet, the regrowing hands the square's top-right
  // pixel (9, 10) to the L on the third pass (two of its four neighbours are L by then).
  const Pixel a = MakePixel(102, 102, 102);
  const Pixel b = MakePixel(100, 100, 100);
  std::vector<MosaicCell> cells;
  SegmentMask(cells,
              MakeImage(20, 20, [&](uint32_t x, uint32_t y) { return y < 10 || x >= 10 ? a : b; }));
  ASSERT_EQ(cells.size(), 2u);
  const MosaicCell& l = cells[0];
  const MosaicCell& square = cells[1];
  ExpectRect(l, 0, 0, 20, 20);
  EXPECT_EQ(l.area, 301u);
  ExpectRect(square, 0, 10, 10, 10);
  EXPECT_EQ(square.area, 99u);
  EXPECT_FALSE(InsideShape(square, 9));
  EXPECT_TRUE(InsideShape(square, 8));
  EXPECT_TRUE(InsideShape(square, 10));
  EXPECT_TRUE(InsideShape(l, 10 * 20 + 9));
  EXPECT_FALSE(InsideShape(l, 10 * 20 + 8));
  ExpectExactCover(cells, 20, 20);
}

TEST(MaskCells, RingCoversItsHoleWithAClearedShape) {
  const Pixel ring = MakePixel(200, 50, 50);
  const Pixel hole = MakePixel(50, 50, 200);
  auto inside = [](uint32_t v, uint32_t lo, uint32_t hi) { return v >= lo && v <= hi; };
  std::vector<MosaicCell> cells;
  SegmentMask(cells, MakeImage(30, 30, [&](uint32_t x, uint32_t y) {
                if (inside(x, 10, 19) && inside(y, 10, 19))
                  return hole;
                if (inside(x, 5, 24) && inside(y, 5, 24))
                  return ring;
                return kDark;
              }));
  ASSERT_EQ(cells.size(), 3u);  // background, ring, hole: the order first met
  ExpectRect(cells[0], 0, 0, 30, 30);
  ExpectRect(cells[1], 5, 5, 20, 20);
  ExpectRect(cells[2], 10, 10, 10, 10);
  const MosaicCell& r = cells[1];
  EXPECT_FALSE(r.shape.empty());
  EXPECT_FALSE(InsideShape(r, 10 * 20 + 10));  // hole centre (15, 15)
  EXPECT_FALSE(InsideShape(r, 5 * 20 + 10));   // (15, 10), on the hole's top edge
  EXPECT_TRUE(InsideShape(r, 10 * 20 + 2));    // (7, 15), in the ring's band
  // 300 ring pixels, give or take the few that change hands where corners meet.
  EXPECT_GT(r.area, 290u);
  EXPECT_LT(r.area, 310u);
  ExpectExactCover(cells, 30, 30);
}

TEST(MaskCells, AreaFourPixelsWideDisappearsFiveSurvives) {
  for (bool across : {false, true}) {
    auto stripe = [across](uint32_t last) {
      return MakeImage(20, 20, [=](uint32_t x, uint32_t y) {
        const uint32_t v = across ? y : x;
        return v >= 8 && v <= last ? kLight : kDark;
      });
    };
    std::vector<MosaicCell> cells;
    SegmentMask(cells, stripe(11));
    ASSERT_EQ(cells.size(), 2u);
    // The eight cleared columns grow back four from each side.
    if (across) {
      ExpectRect(cells[0], 0, 0, 20, 10);
      ExpectRect(cells[1], 0, 10, 20, 10);
    } else {
      ExpectRect(cells[0], 0, 0, 10, 20);
      ExpectRect(cells[1], 10, 0, 10, 20);
    }

    // Three wide: the seven cleared columns grow back three from each side; the middle one
    // sees both areas once and goes to the left (upper) one.
    SegmentMask(cells, stripe(10));
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(across ? cells[0].height : cells[0].width, 10u);
    EXPECT_EQ(across ? cells[1].top : cells[1].left, 10u);

    SegmentMask(cells, stripe(12));
    ASSERT_EQ(cells.size(), 3u);
    const uint32_t extents[3][2] = {{0, 8}, {8, 5}, {13, 7}};
    for (int i = 0; i < 3; ++i) {
      if (across)
        ExpectRect(cells[i], 0, extents[i][0], 20, extents[i][1]);
      else
        ExpectRect(cells[i], extents[i][0], 0, extents[i][1], 20);
      EXPECT_TRUE(cells[i].shape.empty());
    }
  }
}

TEST(MaskCells, NoiseLeavingNothingToRegrowEndsWithZero) {
  std::vector<MosaicCell> cells(2);
  const MaskSegmentation s = SegmentMask(cells, MakeImage(40, 30, [](uint32_t x, uint32_t y) {
                                           return (x + y) % 2 ? kLight : kDark;
                                         }));
  EXPECT_FALSE(s.status);
  EXPECT_EQ(s.maskWidth, 0u);
  EXPECT_TRUE(cells.empty());
}

TEST(MaskCells, JpegMaskSegmentsAlongBlockAlignedEdgesAndMissingFileFails) {
  test::TempDir dir;
  const std::string path = dir.File("mask.jpg");
  test::WriteJpeg(MakeImage(32, 16, [](uint32_t x, uint32_t) { return x < 16 ? kDark : kLight; }),
                  path, 100);
  std::vector<MosaicCell> cells;
  const MaskSegmentation s = BuildMaskCells(cells, path);
  ASSERT_TRUE(s.status);
  EXPECT_EQ(s.maskWidth, 32u);
  EXPECT_EQ(s.maskHeight, 16u);
  ASSERT_EQ(cells.size(), 2u);
  ExpectRect(cells[0], 0, 0, 16, 16);
  ExpectRect(cells[1], 16, 0, 16, 16);
  ExpectExactCover(cells, 32, 16);

  EXPECT_FALSE(BuildMaskCells(cells, dir.File("missing.jpg")).status);
  EXPECT_TRUE(cells.empty());
}

TEST(MaskCells, AreaMapColorsStepDownFromWhiteSkippingEmptyCells) {
  std::vector<MosaicCell> cells;
  SegmentMask(cells,
              MakeImage(20, 10, [](uint32_t x, uint32_t) { return x < 8 ? kDark : kLight; }));
  std::optional<Image> map = RenderMaskInfo(cells);
  ASSERT_TRUE(map);
  EXPECT_EQ(map->Width(), 20u);
  EXPECT_EQ(map->Height(), 10u);
  // Two cells: step 16777215 / 5 = 3355443.
  EXPECT_EQ(map->At(0, 0), 0x00FFFFFFu);
  EXPECT_EQ(map->At(7, 9), 0x00FFFFFFu);
  EXPECT_EQ(map->At(8, 0), 0x00CCCCCCu);
  EXPECT_EQ(map->At(19, 9), 0x00CCCCCCu);

  // An empty cell is skipped but spends its colour.
  cells.assign(3, MosaicCell{});
  cells[0].width = cells[0].height = 50;  // area 0: not drawn, not measured
  cells[1].width = cells[1].height = 2;
  cells[1].area = 4;
  cells[2].left = 2;
  cells[2].width = cells[2].height = 2;
  cells[2].area = 2;
  cells[2].shape = {true, false, false, true};
  map = RenderMaskInfo(cells);
  ASSERT_TRUE(map);
  EXPECT_EQ(map->Width(), 4u);
  EXPECT_EQ(map->Height(), 2u);
  // Three cells: step 16777215 / 7 = 2396745.
  EXPECT_EQ(map->At(0, 0), 14380470u);
  EXPECT_EQ(map->At(1, 1), 14380470u);
  EXPECT_EQ(map->At(2, 0), 11983725u);
  EXPECT_EQ(map->At(3, 1), 11983725u);
  EXPECT_EQ(map->At(3, 0), kTransparentBlack);
  EXPECT_EQ(map->At(2, 1), kTransparentBlack);

  EXPECT_FALSE(RenderMaskInfo({}));
}

class MaskAnalysis : public ::testing::Test {
 protected:
  void SetUp() override {
    // Three bands 16 wide: corners at lefts 0, 16 and 32, 16 pixels apart.
    test::WriteJpeg(MakeImage(48, 16,
                              [](uint32_t x, uint32_t) {
                                return x < 16 ? kDark : x < 32 ? kLight : kMid;
                              }),
                    maskPath, 100);
    collection.Add(std::make_unique<CollectionEntry>());
  }

  Status Analyse(uint32_t duplicateDistance) {
    mosaic.params.minDuplicateDistance = duplicateDistance;
    return AnalyseSourceMask(job, mosaic, photo, maskPath, collection);
  }

  test::TempDir dir;
  std::string maskPath = dir.File("bands.jpg");
  MosaicJob job;
  Mosaic mosaic;
  ImageCollection collection;
  Image photo = test::MakeFlatImage(96, 32, kMid);
};

TEST_F(MaskAnalysis, NeighboursAreCornersStrictlyCloserThanThreshold) {
  // Q = (48 * 16 / 3) * D^2 = 256 D^2; neighbouring bands are 16^2 = 256 apart, the outer two
  // 32^2 = 1024.
  ASSERT_TRUE(Analyse(2));
  EXPECT_EQ(mosaic.width, 48u);
  EXPECT_EQ(mosaic.height, 16u);
  EXPECT_EQ(mosaic.collection, &collection);
  ASSERT_EQ(mosaic.cells.size(), 3u);
  EXPECT_EQ(mosaic.cells[0].neighbours, (std::vector<uint32_t>{1}));
  EXPECT_EQ(mosaic.cells[1].neighbours, (std::vector<uint32_t>{0, 2}));
  EXPECT_EQ(mosaic.cells[2].neighbours, (std::vector<uint32_t>{1}));
  for (const MosaicCell& c : mosaic.cells) EXPECT_EQ(c.hasInfo, 1u);

  ASSERT_TRUE(Analyse(3));  // Q = 2304
  EXPECT_EQ(mosaic.cells[0].neighbours, (std::vector<uint32_t>{1, 2}));

  ASSERT_TRUE(Analyse(1));  // Q = 256: equality is not near enough
  for (const MosaicCell& c : mosaic.cells) EXPECT_TRUE(c.neighbours.empty());

  ASSERT_TRUE(Analyse(0));
  for (const MosaicCell& c : mosaic.cells) EXPECT_TRUE(c.neighbours.empty());
}

TEST_F(MaskAnalysis, NeedsPhotoCollectionAndReadableMask) {
  ImageCollection empty;
  EXPECT_EQ(test::KindOf(AnalyseSourceMask(job, mosaic, photo, maskPath, empty)), FailureKind::kRefused);
  EXPECT_EQ(test::KindOf(AnalyseSourceMask(job, mosaic, Image(), maskPath, collection)), FailureKind::kRefused);
  const Status unreadable = AnalyseSourceMask(job, mosaic, photo, dir.File("none.jpg"), collection);
  EXPECT_EQ(test::KindOf(unreadable), FailureKind::kCannotRead);
  EXPECT_EQ(unreadable.Why().path, dir.File("none.jpg"));
}

}  // namespace
}  // namespace tessarix
