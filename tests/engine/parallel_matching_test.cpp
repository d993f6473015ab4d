#include <gtest/gtest.h>

#include "matching_readout.h"

#include <memory>
#include <random>
#include <vector>

#include "engine/distance.h"
#include "engine/matching.h"

namespace tessarix {
namespace {

// A matching problem held twice, so the same assignment can run with one and with several
// threads on identical inputs.
struct Problem {
  MosaicJob job;
  ImageCollection collection;
  Mosaic mosaic;

  std::vector<int> Layout() const { return CellLayout(mosaic, collection); }
  std::vector<uint32_t> Distances() const { return CellDistances(mosaic); }
  std::vector<uint32_t> Locks() const {
    std::vector<uint32_t> d;
    for (const MosaicCell& cell : mosaic.cells) d.push_back(cell.locked);
    return d;
  }
  std::vector<uint32_t> UseCounts() const { return EntryUseCounts(collection); }
};

// Records with texture, so that the early exits of every distance fire at different grid
// positions; a few cells carry transparency and a few are without information.
ColorInfo Textured(std::mt19937& random, bool transparent) {
  ColorInfo info;
  std::uniform_int_distribution<uint32_t> base(0, 255), noise(0, 40);
  const uint32_t r = base(random), g = base(random), b = base(random);
  uint64_t sr = 0, sg = 0, sb = 0;
  for (Pixel& p : info.grid) {
    const uint32_t pr = std::min(255u, r + noise(random));
    const uint32_t pg = std::min(255u, g + noise(random));
    const uint32_t pb = std::min(255u, b + noise(random));
    const uint32_t t = transparent ? noise(random) * 6 : 0;
    p = MakePixel(pr, pg, pb, t);
    sr += pr, sg += pg, sb += pb;
  }
  info.average = MakePixel(static_cast<uint32_t>(sr / 96), static_cast<uint32_t>(sg / 96),
                           static_cast<uint32_t>(sb / 96));
  info.opaque = transparent ? 0 : 1;
  return info;
}

void Fill(Problem& p, unsigned seed, uint32_t columns, uint32_t rows, size_t entries) {
  std::mt19937 random(seed);
  p.mosaic.collection = &p.collection;
  p.mosaic.width = columns * 20;
  p.mosaic.height = rows * 15;
  for (uint32_t y = 0; y < rows; ++y) {
    for (uint32_t x = 0; x < columns; ++x) {
      MosaicCell cell;
      cell.left = x * 20;
      cell.top = y * 15;
      cell.width = 20;
      cell.height = 15;
      cell.area = 300;
      cell.info = Textured(random, (x + y) % 7 == 0);
      cell.hasInfo = (x * 3 + y) % 11 == 5 ? 0 : 1;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = static_cast<int>(x) + dx, ny = static_cast<int>(y) + dy;
          if ((dx != 0 || dy != 0) && nx >= 0 && ny >= 0 && nx < static_cast<int>(columns) &&
              ny < static_cast<int>(rows))
            cell.neighbours.push_back(static_cast<uint32_t>(ny) * columns +
                                      static_cast<uint32_t>(nx));
        }
      p.mosaic.cells.push_back(cell);
    }
  }
  for (size_t e = 0; e < entries; ++e) {
    auto entry = std::make_unique<CollectionEntry>();
    entry->path = "/tiles/" + std::to_string(e) + ".jpg";
    entry->info = Textured(random, false);
    entry->portrait = e % 4 == 1 ? 1 : 0;
    p.collection.Add(std::move(entry));
  }
}

struct Setting {
  const char* name;
  uint32_t maxDuplicates;
  uint32_t duplicateDistance;
  uint32_t sequenceDistance;
  bool useAll;
  bool required;
};

// Every strategy under every distance gives the same cells, distances, locks and use counts with
// one and with three threads (three on two cores also interleaves the workers unevenly).
TEST(ParallelMatchingTest, SameAssignmentAsOneThread) {
  const Setting settings[] = {
      {"multi-use spaced", 0, 2, 0, false, false},
      {"multi-use unspaced, use all", 0, 0, 0, true, false},
      {"three uses at most", 2, 1, 0, false, false},
      {"single use with required", 1, 0, 0, false, true},
      {"sequence spaced", 0, 1, 3, false, false},
      {"sequence everywhere", 0, 0, 2, false, false},
  };
  for (const Setting& setting : settings) {
    for (uint32_t algorithm = 0; algorithm <= 4; ++algorithm) {
      SCOPED_TRACE(std::string(setting.name) + ", algorithm " + std::to_string(algorithm));
      Problem one, many;
      for (Problem* p : {&one, &many}) {
        Fill(*p, 17 + algorithm, 24, 14, setting.useAll ? 200 : 420);
        p->mosaic.params.algorithm = algorithm;
        p->mosaic.params.modifyLimit = 40;
        p->mosaic.params.maxDuplicateCount = setting.maxDuplicates;
        p->mosaic.params.minDuplicateDistance = setting.duplicateDistance;
        p->mosaic.params.minSequenceDistance = setting.sequenceDistance;
        p->mosaic.useAllImages = setting.useAll;
        for (size_t e = 0; e < p->collection.Size(); ++e) {
          CollectionEntry& entry = p->collection.Entry(e);
          if (setting.sequenceDistance > 0 && e % 3 != 0)
            entry.sequenceNumber = static_cast<uint32_t>(e + 1);
          if (setting.required && e % 50 == 7)
            entry.required = 1;
        }
      }
      many.mosaic.params.threads = 3;
      many.mosaic.params.parallelMatchingCells = 1;
      ASSERT_EQ(ResetAssignment(one.job, one.mosaic), 1);
      ASSERT_EQ(ResetAssignment(many.job, many.mosaic), 1);
      ASSERT_TRUE(AssignTiles(one.job, one.mosaic));
      ASSERT_TRUE(AssignTiles(many.job, many.mosaic));
      EXPECT_EQ(one.Layout(), many.Layout());
      EXPECT_EQ(one.Distances(), many.Distances());
      EXPECT_EQ(one.Locks(), many.Locks());
      EXPECT_EQ(one.UseCounts(), many.UseCounts());
      // The problem is not trivial: most cells are filled and images are displaced.
      size_t filled = 0;
      for (const int index : one.Layout()) filled += index >= 0;
      EXPECT_GT(filled, one.mosaic.cells.size() / 2);
    }
  }
}

ColorInfo Grey(uint32_t g, uint32_t transparency) {
  ColorInfo info;
  info.average = MakePixel(g, g, g);
  info.grid.fill(MakePixel(g, g, g, transparency));
  info.opaque = transparency == 0 ? 1 : 0;
  return info;
}

// Single use in a row of 20 x 10 cells with the given records, followed by `blankCells` cells
// without information, and one image per record of `images`, offered in that order.
void SetUpSingleUseRow(Problem& p, uint32_t algorithm, unsigned threads,
                       const std::vector<ColorInfo>& cells, uint32_t blankCells,
                       const std::vector<ColorInfo>& images) {
  p.mosaic.collection = &p.collection;
  p.mosaic.params.algorithm = algorithm;
  p.mosaic.params.maxDuplicateCount = 1;
  p.mosaic.params.threads = threads;
  p.mosaic.params.parallelMatchingCells = 1;
  const uint32_t count = static_cast<uint32_t>(cells.size()) + blankCells;
  p.mosaic.width = count * 20;
  p.mosaic.height = 10;
  for (uint32_t i = 0; i < count; ++i) {
    MosaicCell cell;
    cell.left = i * 20;
    cell.width = 20, cell.height = 10, cell.area = 200;
    cell.hasInfo = i < cells.size() ? 1 : 0;
    cell.info = i < cells.size() ? cells[i] : Grey(100, 0);
    p.mosaic.cells.push_back(cell);
  }
  for (size_t e = 0; e < images.size(); ++e) {
    auto entry = std::make_unique<CollectionEntry>();
    entry->path = "/tiles/" + std::to_string(e) + ".jpg";
    entry->info = images[e];
    p.collection.Add(std::move(entry));
  }
}

// "Exponential" rejects a pair by its averages before looking at the grid. A cell whose grid is
// fully transparent sums to 0, yet with a tight bound its averages test rejects it: measured
// against its own empty cell's bound it looks perfect, and only the tight bound of the running
// best tells the truth. Worked by hand: the 110 image against the opaque 100 cell gives
// 96 * (3 * 10^2) = 28800 for the averages and the same for the grid; against the transparent
// 200 cell the averages give 96 * 3 * 90^2 = 2332800 > 28800, so the first cell keeps it.
TEST(ParallelMatchingTest, TightBoundStillRejectsByAverages) {
  for (const unsigned threads : {1u, 2u}) {
    Problem p;
    // Forty cells so that the pool really splits them; only the first two are measured.
    SetUpSingleUseRow(p, kExponential, threads, {Grey(100, 0), Grey(200, 255)}, 38, {Grey(110, 0)});
    ASSERT_EQ(ResetAssignment(p.job, p.mosaic), 1);
    ASSERT_TRUE(AssignTiles(p.job, p.mosaic));
    EXPECT_EQ(p.Layout()[0], 0) << threads;
    EXPECT_EQ(p.Layout()[1], -1) << threads;
    EXPECT_EQ(p.Distances()[0], 28800u) << threads;
  }
}

// The images offered next are measured together, with the assignment as it was before the
// first of them. Single use, "Max", grey records (96 pixels, so a grey difference g costs 96 g):
// image A (100) and image B (110) are measured while both cells are empty. B's row finds the 100
// cell at 960, so the 200 cell is measured with bound 960 and abandoned at 990. A then takes the
// 100 cell with 0, and when B is offered the 200 cell has no bound at all: its true distance
// 96 * 90 = 8640 must be measured again rather than the abandoned 990 taken for it.
TEST(ParallelMatchingTest, LooserBoundAtTheOfferMeasuresAgain) {
  for (const unsigned threads : {1u, 2u}) {
    Problem p;
    SetUpSingleUseRow(p, kMax, threads, {Grey(100, 0), Grey(200, 0)}, 0,
                      {Grey(100, 0), Grey(110, 0)});
    ASSERT_EQ(ResetAssignment(p.job, p.mosaic), 1);
    ASSERT_TRUE(AssignTiles(p.job, p.mosaic));
    EXPECT_EQ(p.Layout(), (std::vector<int>{0, 1})) << threads;
    EXPECT_EQ(p.Distances(), (std::vector<uint32_t>{0, 8640})) << threads;
  }
}

// A stop request is seen by the measuring threads as well: the run ends without an assignment.
TEST(ParallelMatchingTest, StopEndsTheRun) {
  Problem p;
  Fill(p, 5, 10, 10, 50);
  p.mosaic.params.threads = 2;
  p.mosaic.params.parallelMatchingCells = 1;
  ASSERT_EQ(ResetAssignment(p.job, p.mosaic), 1);
  p.job.RequestStop();
  EXPECT_FALSE(AssignTiles(p.job, p.mosaic));
  for (const int index : p.Layout()) EXPECT_EQ(index, -1);
}

}  // namespace
}  // namespace tessarix
