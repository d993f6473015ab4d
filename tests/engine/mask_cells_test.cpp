#include "engine/mask_cells.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "imaging/pixel.h"
#include "test_support.h"

namespace tessarix {
namespace {

using test::MakeImage;
using Numbers = std::vector<uint32_t>;

constexpr Pixel kDark = MakePixel(40, 40, 40);
constexpr Pixel kLight = MakePixel(200, 200, 200);
constexpr Pixel kMid = MakePixel(120, 120, 120);

// Per cell its left, top, width, height, area, and 1 when it has a shape (is no whole rectangle).
std::vector<Numbers> Rectangles(const std::vector<MosaicCell>& cells) {
  std::vector<Numbers> rectangles;
  for (const MosaicCell& c : cells)
    rectangles.push_back({c.left, c.top, c.width, c.height, c.area, !c.shape.empty()});
  return rectangles;
}

// Every mask pixel must belong to exactly one cell, and every area must count its own pixels.
void ExpectExactCover(const std::vector<MosaicCell>& cells, uint32_t w, uint32_t h) {
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      int owners = 0;
      for (const MosaicCell& c : cells)
        if (x >= c.left && y >= c.top && x < c.left + c.width && y < c.top + c.height)
          owners += InsideShape(c, uint64_t{y - c.top} * c.width + (x - c.left));
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

// A light stripe from 8 to `last` on dark, down the picture or across it.
std::function<Pixel(uint32_t, uint32_t)> Stripe(uint32_t last, bool across) {
  return [=](uint32_t x, uint32_t y) {
    const uint32_t v = across ? y : x;
    return v >= 8 && v <= last ? kLight : kDark;
  };
}

// The same rectangles turned about the diagonal.
std::vector<Numbers> Across(std::vector<Numbers> rectangles) {
  for (Numbers& r : rectangles) std::swap(r[0], r[1]), std::swap(r[2], r[3]);
  return rectangles;
}

const Pixel kStripes[3] = {MakePixel(200, 10, 10), MakePixel(10, 200, 10), MakePixel(10, 10, 200)};
const Pixel kGrey100 = MakePixel(100, 100, 100), kGrey102 = MakePixel(102, 102, 102);
const std::vector<Numbers> kHalves = {{0, 0, 10, 20, 200, 0}, {10, 0, 10, 20, 200, 0}};
const std::vector<Numbers> kThree = {
    {0, 0, 8, 20, 160, 0}, {8, 0, 5, 20, 100, 0}, {13, 0, 7, 20, 140, 0}};

// clang-format off
const struct Segmentation {
  const char* what;
  uint32_t width, height;
  std::function<Pixel(uint32_t, uint32_t)> colour;
  std::vector<Numbers> cells;  // none: the mask is refused
} kSegmentations[] = {
    // Every row but the first is labelled against the row above, which must be reached without
    // an index x - w that wraps in unsigned arithmetic; the sanitizer build stops on one. The
    // two columns cleared on each side of both borders (5..8 and 12..15) grow back to their own
    // stripe in two passes. A single column reads the row above only ever at index 0.
    {"three stripes 7 wide", 21, 15, [](uint32_t x, uint32_t) { return kStripes[x / 7]; },
     {{0, 0, 7, 15, 105, 0}, {7, 0, 7, 15, 105, 0}, {14, 0, 7, 15, 105, 0}}},
    {"one column", 1, 9, [](uint32_t, uint32_t) { return MakePixel(7, 8, 9); },
     {{0, 0, 1, 9, 9, 0}}},
    {"squared distance 9 joins", 20, 10,
     [](uint32_t x, uint32_t) { return x < 10 ? kGrey100 : MakePixel(102, 102, 101); },
     {{0, 0, 20, 10, 200, 0}}},
    {"squared distance 12 splits", 20, 10,
     [](uint32_t x, uint32_t) { return x < 10 ? kGrey100 : kGrey102; },
     {{0, 0, 10, 10, 100, 0}, {10, 0, 10, 10, 100, 0}}},
    // Top half and bottom-right quarter 102-grey, bottom-left quarter 100-grey: the bottom-right
    // pixels differ from their left neighbour by 12 but join the area above, giving an L-shaped
    // area and a square. Where the corners meet, the regrowing hands the square's top-right
    // pixel (9, 10) to the L on the third pass (two of its four neighbours are L by then).
    {"a pixel unlike its left joins the similar area above", 20, 20,
     [](uint32_t x, uint32_t y) { return y < 10 || x >= 10 ? kGrey102 : kGrey100; },
     {{0, 0, 20, 20, 301, 1}, {0, 10, 10, 10, 99, 1}}},
    // The eight cleared columns of a stripe four wide grow back four from each side.
    {"four wide disappears", 20, 20, Stripe(11, false), kHalves},
    {"four wide disappears across", 20, 20, Stripe(11, true), Across(kHalves)},
    // Three wide: the seven cleared columns grow back three from each side; the middle one sees
    // both areas once and goes to the left (upper) one.
    {"three wide disappears", 20, 20, Stripe(10, false), kHalves},
    {"three wide disappears across", 20, 20, Stripe(10, true), Across(kHalves)},
    {"five wide survives", 20, 20, Stripe(12, false), kThree},
    {"five wide survives across", 20, 20, Stripe(12, true), Across(kThree)},
    // Every pixel unlike its four neighbours: nothing survives the narrowing.
    {"noise", 40, 30, [](uint32_t x, uint32_t y) { return (x + y) % 2 ? kLight : kDark; }, {}},
};
// clang-format on

TEST(MaskCells, SegmentationsCoverTheMaskExactly) {
  for (const Segmentation& s : kSegmentations) {
    SCOPED_TRACE(s.what);
    std::vector<MosaicCell> cells(3);  // replaced
    const MaskSegmentation result = SegmentMask(cells, MakeImage(s.width, s.height, s.colour));
    EXPECT_EQ(static_cast<bool>(result.status), !s.cells.empty());
    EXPECT_EQ(result.maskWidth, s.cells.empty() ? 0 : s.width);
    EXPECT_EQ(Rectangles(cells), s.cells);
    if (!s.cells.empty())
      ExpectExactCover(cells, s.width, s.height);
  }
  // Where the L and the square meet.
  std::vector<MosaicCell> cells;
  SegmentMask(cells, MakeImage(20, 20, kSegmentations[4].colour));
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(std::vector<bool>({InsideShape(cells[1], 9), InsideShape(cells[1], 8),
                               InsideShape(cells[1], 10), InsideShape(cells[0], 10 * 20 + 9),
                               InsideShape(cells[0], 10 * 20 + 8)}),
            std::vector<bool>({false, true, true, true, false}));
}

TEST(MaskCells, AreaMapColorsStepDownFromWhiteSkippingEmptyCells) {
  const auto at = [](const Image& map, std::vector<std::pair<uint32_t, uint32_t>> points) {
    Numbers colours = {map.Width(), map.Height()};
    for (const auto& [x, y] : points) colours.push_back(map.At(x, y));
    return colours;
  };
  // An empty cell is skipped but spends its colour.
  std::vector<MosaicCell> cells(3);
  cells[0].width = cells[0].height = 50;  // area 0: not drawn, not measured
  cells[1].width = cells[1].height = cells[2].width = cells[2].height = 2;
  cells[1].area = 4, cells[2].area = 2, cells[2].left = 2;
  cells[2].shape = {true, false, false, true};
  const std::optional<Image> map = RenderMaskInfo(cells);
  ASSERT_TRUE(map);
  // Three cells: step 16777215 / 7 = 2396745.
  EXPECT_EQ(at(*map, {{0, 0}, {1, 1}, {2, 0}, {3, 1}, {3, 0}, {2, 1}}),
            Numbers({4, 2, 14380470, 14380470, 11983725, 11983725, kTransparentBlack,
                     kTransparentBlack}));
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
  std::vector<Numbers> Neighbours(uint32_t duplicateDistance) {
    mosaic.params.minDuplicateDistance = duplicateDistance;
    EXPECT_TRUE(AnalyseSourceMask(job, mosaic, photo, maskPath, collection));
    std::vector<Numbers> neighbours;
    for (const MosaicCell& c : mosaic.cells) neighbours.push_back(c.neighbours);
    return neighbours;
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
  EXPECT_EQ(Neighbours(2), (std::vector<Numbers>{{1}, {0, 2}, {1}}));
  EXPECT_EQ(Numbers({mosaic.width, mosaic.height}), Numbers({48, 16}));
  EXPECT_EQ(Neighbours(3), (std::vector<Numbers>{{1, 2}, {0, 2}, {0, 1}}));  // Q = 2304
  EXPECT_EQ(Neighbours(1), std::vector<Numbers>(3));  // Q = 256: equality is not near enough
  EXPECT_EQ(Neighbours(0), std::vector<Numbers>(3));
}

TEST_F(MaskAnalysis, NeedsPhotoCollectionAndReadableMask) {
  ImageCollection empty;
  EXPECT_EQ(std::tuple(test::KindOf(AnalyseSourceMask(job, mosaic, photo, maskPath, empty)),
                       test::KindOf(AnalyseSourceMask(job, mosaic, Image(), maskPath, collection))),
            std::tuple(FailureKind::kRefused, FailureKind::kRefused));
  const Status unreadable = AnalyseSourceMask(job, mosaic, photo, dir.File("none.jpg"), collection);
  EXPECT_EQ(test::KindOf(unreadable), FailureKind::kCannotRead);
  EXPECT_EQ(unreadable.Why().path, dir.File("none.jpg"));
}

}  // namespace
}  // namespace tessarix
