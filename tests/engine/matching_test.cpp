#include "engine/matching.h"

#include <gtest/gtest.h>

#include <thread>

#include "collection/image_collection.h"
#include "color/distance.h"
#include "random_fixture.h"

namespace tessarix {
namespace {

// A small matching problem built by hand, and what the matching tests read back from it.
using Cells = std::vector<int>;
using Values = std::vector<uint32_t>;

// One grey everywhere: under "Max" a cell of grey g and an image of grey t are 96 * |g - t|
// apart, so assignments can be worked out by hand.
ColorInfo Flat(uint32_t grey, uint32_t transparency = 0) {
  ColorInfo info;
  info.average = MakePixel(grey, grey, grey);
  info.grid.fill(MakePixel(grey, grey, grey, transparency));
  info.opaque = transparency == 0 ? 1 : 0;
  return info;
}

struct MatchingProblem {
  MatchingProblem() {
    mosaic.params.algorithm = kMax;
    mosaic.params.minDuplicateDistance = 0;
    mosaic.collection = &collection;
  }

  // Cells are 10 x 10 and lie in one row unless placed otherwise.
  MosaicCell& Cell(uint32_t grey, uint32_t hasInfo = 1) {
    MosaicCell& cell = mosaic.cells.emplace_back();
    cell.left = 10 * static_cast<uint32_t>(mosaic.cells.size() - 1);
    cell.width = cell.height = 10, cell.area = 100;
    cell.info = Flat(grey), cell.hasInfo = hasInfo;
    mosaic.width = cell.left + 10, mosaic.height = 10;
    return cell;
  }
  CollectionEntry& Entry(uint32_t grey, uint32_t sequence = 0, bool required = false) {
    auto entry = std::make_unique<CollectionEntry>();
    entry->path = "/tiles/" + std::to_string(collection.Size()) + ".jpg";
    entry->info = Flat(grey), entry->sequenceNumber = sequence, entry->required = required;
    return collection.Add(std::move(entry));
  }
  bool Match() { return ResetAssignment(job, mosaic) && AssignTiles(job, mosaic); }

  // Per cell, the collection index of its image (named after it), -1 when empty.
  Cells Layout() const {
    Cells layout;
    for (const MosaicCell& cell : mosaic.cells)
      layout.push_back(cell.assigned ? std::stoi(cell.assigned->path.substr(7)) : -1);
    return layout;
  }
  // Per cell its distance and lock, then per entry its use count.
  std::tuple<Values, Values, Values> Counts() const {
    Values distances, locks, uses;
    for (const MosaicCell& cell : mosaic.cells)
      distances.push_back(cell.assignedDistance), locks.push_back(cell.locked);
    for (size_t e = 0; e < collection.Size(); ++e) uses.push_back(collection.Entry(e).useCount);
    return {distances, locks, uses};
  }

  MosaicJob job;
  ImageCollection collection;
  Mosaic mosaic;
};

class MatchingTest : public ::testing::Test, public MatchingProblem {};

TEST_F(MatchingTest, RefusesWithoutImagesOrCollection) {
  Cell(100);
  EXPECT_FALSE(ResetAssignment(job, mosaic));
  Entry(100);
  mosaic.collection = nullptr;
  EXPECT_FALSE(ResetAssignment(job, mosaic));
  EXPECT_FALSE(AssignTiles(job, mosaic));
}

constexpr uint32_t kBlank = 1000;  // a cell without information
constexpr uint32_t kClear = 1001;  // a 200 grey cell, fully transparent

// Each row: the settings, cell greys and images, then per cell its image (collection index) and,
// when given, per cell its distance and lock and per image its use count. Distances under "Max"
// are 96 * |cell grey - image grey|.
struct Tile {
  uint32_t grey, sequence = 0;
  bool required = false;
};
struct Row {
  const char* what;
  uint32_t maxDuplicates, duplicateDistance, sequenceDistance;
  bool useAll;
  Values cells;
  std::vector<Tile> images;
  Cells layout;
  Values distances = {}, locks = {}, uses = {};  // empty: not checked
  uint32_t algorithm = kMax;
};

// clang-format off
const Row kRows[] = {
    // 120 takes the 100 cell (1920); 100 displaces it (0); 140 takes the 150 cell (960); 120
    // comes back but is 2880 from the 150 cell, no better than 960, and stays out. No insertion
    // with single use, even with cells for every image.
    {"single use: a displaced image is offered again", 1, 0, 0, true, {100, 150, kBlank},
     {{120}, {100}, {140}}, {1, 2, -1}, {0, 960, kNoDistance}, {}, {0, 1, 1}},
    // The required 110 replaces the exact 100 (960 > 0) and locks its cell; neither 100 gets
    // that cell back.
    {"a required image takes a closer image's cell and locks it", 1, 0, 0, false, {100, 150},
     {{100}, {110, 0, true}, {100}}, {1, 2}, {960, 4800}, {1, 0}, {0, 1, 1}},
    {"ties go to the first cell with single use", 1, 0, 0, false, {100, 100, 100, 100},
     {{100}, {100}}, {0, 1, -1, -1}},
    // Two duplicates allowed: the count is checked before each assignment, so three cells.
    {"ties go to the later cell with multiple use", 2, 0, 0, false, {100, 100, 100, 100},
     {{100}, {100}}, {1, 0, 0, 0}, {}, {}, {3, 1}},
    // Average cell area 100, D = 2: Q = 400, so only direct neighbours (100) are too close.
    {"the spacing threshold is exclusive", 0, 2, 0, false, {100, 100, 100, 100}, {{100}, {101}},
     {1, 0, 1, 0}, {96, 0, 96, 0}},
    // 104 is 384 from every cell and takes cells 4, 2, 0. 108 takes cell 2 (0) and shuts out its
    // neighbours. 104 is offered again: cells 3 and 1 would improve (384 < none) but lie beside
    // the cells 4 and 0 that it kept.
    {"spacing holds against cells kept from earlier offers", 0, 2, 0, false,
     {100, 100, 108, 100, 100}, {{104}, {108}}, {0, -1, 1, -1, 0}, {}, {}, {2, 1}},
    // D = 0: near means anywhere. 15 is within 5 of 10 and stays out; 0 takes no part; 16 is 6
    // away. Unlimited duplicates do not matter: each frame goes to one cell, the first of equals.
    {"sequence numbers keep nearby frames apart", 0, 0, 5, false, {100, 100, 100},
     {{100, 10}, {100, 15}, {100, 0}, {100, 16}}, {0, 2, 3}, {}, {}, {1, 0, 1, 1}},
    {"a frame may replace a conflicting frame in the same cell", 0, 0, 5, false, {100, kBlank},
     {{90, 10}, {100, 12}}, {1, -1}, {}, {}, {0, 1}},
    // Spaced, the sequence test looks at the neighbours only (each cell's left and right).
    {"spaced, frames conflict with neighbouring cells only", 0, 1, 5, false, {100, 100, 100},
     {{100, 10}, {100, 15}}, {0, -1, 1}},
    // 100 fills all three cells exactly; nothing else improves any of them.
    // A (100) and B (110) are measured together while both cells are empty: B finds the 100
    // cell at 960, so the 200 cell is measured with bound 960 and abandoned at 990. A then takes
    // the 100 cell with 0, and when B is offered the 200 cell has no bound at all: its true
    // distance 96 * 90 = 8640 must be measured again rather than the abandoned 990 taken.
    {"a looser bound at the offer measures again", 1, 0, 0, false, {100, 200}, {{100}, {110}},
     {0, 1}, {0, 8640}},
    // "Exponential" rejects a pair by its averages before looking at the grid. The transparent
    // cell's grid sums to 0, yet with the tight bound of the running best its averages test
    // rejects it: 96 * 3 * 90^2 = 2332800 against 96 * (3 * 10^2) = 28800 for the 100 cell.
    // Measured against its own empty cell's bound it would look perfect.
    {"a tight bound still rejects by averages", 1, 0, 0, false, {100, kClear}, {{110}}, {0, -1},
     {28800, kNoDistance}, {}, {}, kExponential},
    {"unused images are not inserted unless asked", 0, 0, 0, false, {100, 100, 100},
     {{100}, {150}, {140}}, {0, 0, 0}},
    // 150 goes to the first of three equal cells (4800); 140 may not take that cell, which now
    // holds an image used once, and goes to the next (3840).
    {"unused images are inserted", 0, 0, 0, true, {100, 100, 100}, {{100}, {150}, {140}},
     {1, 2, 0}, {4800, 3840, 0}, {}, {1, 1, 1}},
    {"no insertion with more images than cells", 0, 0, 0, true, {100, 100, 100},
     {{100}, {150}, {140}, {200}}, {0, 0, 0}},
};
// clang-format on

void Build(MatchingProblem& p, const Row& row) {
  p.mosaic.params.maxDuplicateCount = row.maxDuplicates;
  p.mosaic.params.minDuplicateDistance = row.duplicateDistance;
  p.mosaic.params.minSequenceDistance = row.sequenceDistance;
  p.mosaic.useAllImages = row.useAll;
  p.mosaic.params.algorithm = row.algorithm;
  for (const uint32_t grey : row.cells) {
    MosaicCell& cell = p.Cell(grey == kBlank ? 0 : grey, grey != kBlank);
    if (grey == kClear)
      cell.info = Flat(200, 255);
  }
  for (const Tile& image : row.images) p.Entry(image.grey, image.sequence, image.required);
  std::vector<MosaicCell>& cells = p.mosaic.cells;
  for (uint32_t i = 0; i < cells.size(); ++i) {
    if (i > 0)
      cells[i].neighbours.push_back(i - 1);
    if (i + 1 < cells.size())
      cells[i].neighbours.push_back(i + 1);
  }
}

void UseThreads(MatchingProblem& p, unsigned threads) {
  p.mosaic.params.threads = threads;
  p.mosaic.params.parallelMatchingCells = 1;
}

// With two threads the images offered next are measured together, against the assignment as it
// was before the first of them: the answers must stay those of one thread.
TEST(MatchingTable, CellsDistancesLocksAndUses) {
  for (const unsigned threads : {1u, 2u}) {
    for (const Row& row : kRows) {
      SCOPED_TRACE(std::string(row.what) + ", threads " + std::to_string(threads));
      MatchingProblem p;
      Build(p, row);
      UseThreads(p, threads);
      ASSERT_TRUE(p.Match());
      const auto found = p.Counts();
      const auto& [distances, locks, uses] = found;
      const auto given = [](const Values& wanted, const Values& actual) {
        return wanted.empty() ? actual : wanted;
      };
      EXPECT_EQ(p.Layout(), row.layout);
      EXPECT_EQ(found, std::tuple(given(row.distances, distances), given(row.locks, locks),
                                  given(row.uses, uses)));
    }
  }
}

// W * H / 2 = 3,000,000 and D = 40: Q = 4,800,000,000 (505,032,704 if cut to 32 bits). The
// corners are 30000 apart down and 10 across: 900,000,100 is too close.
TEST_F(MatchingTest, SpacingDoesNotWrapAt32BitsAndCountsRowsApart) {
  mosaic.params.minDuplicateDistance = 40;
  Cell(100);
  Cell(100).top = 30000;
  mosaic.width = 3000, mosaic.height = 2000;
  Entry(100);
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{-1, 0}));
}

// Cells in one row with textured colour records (a few carrying transparency, a few without
// information), and textured images, every fourth portrait.
void Fill(MatchingProblem& p, unsigned seed, uint32_t cells, size_t entries) {
  std::mt19937 random(seed);
  for (uint32_t i = 0; i < cells; ++i)
    p.Cell(0, i % 11 == 5 ? 0 : 1).info = test::Textured(random, i % 7 == 0);
  for (size_t e = 0; e < entries; ++e) {
    CollectionEntry& entry = p.Entry(0);
    entry.info = test::Textured(random, false);
    entry.portrait = e % 4 == 1 ? 1 : 0;
  }
}

// Every strategy under every distance gives the same cells, distances, locks and use counts with
// one and with three threads (three on two cores also interleaves the workers unevenly).
TEST(ParallelMatchingTest, SameAssignmentAsOneThread) {
  // Single use comes with required images.
  const Row settings[] = {
      {"multi-use spaced", 0, 2, 0, false, {}, {}, {}},
      {"multi-use unspaced, use all", 0, 0, 0, true, {}, {}, {}},
      {"three uses at most", 2, 1, 0, false, {}, {}, {}},
      {"single use with required", 1, 0, 0, false, {}, {}, {}},
      {"sequence spaced", 0, 1, 3, false, {}, {}, {}},
      {"sequence everywhere", 0, 0, 2, false, {}, {}, {}},
  };
  for (const Row& setting : settings) {
    for (uint32_t algorithm = 0; algorithm <= 4; ++algorithm) {
      SCOPED_TRACE(std::string(setting.what) + ", algorithm " + std::to_string(algorithm));
      // The plain walk over the cells is the reference; measuring ahead, on three threads or, where
      // the distance floor applies, on one, must give the same.
      const bool ahead = algorithm == kFlipHorizontal || algorithm == kFlipHorizontalVertical;
      MatchingProblem one, many, oneAhead;
      for (MatchingProblem* p : {&one, &many, &oneAhead}) {
        Fill(*p, 17 + algorithm, 336, setting.useAll ? 200 : 420);
        Build(*p, setting);
        p->mosaic.params.algorithm = algorithm, p->mosaic.params.modifyLimit = 40;
        for (size_t e = 0; e < p->collection.Size(); ++e) {
          CollectionEntry& entry = p->collection.Entry(e);
          if (setting.sequenceDistance > 0 && e % 3 != 0)
            entry.sequenceNumber = static_cast<uint32_t>(e + 1);
          entry.required = setting.maxDuplicates == 1 && e % 50 == 7 ? 1 : 0;
        }
      }
      one.mosaic.params.parallelMatchingCells = UINT32_MAX;
      UseThreads(many, 3);
      UseThreads(oneAhead, 1);
      ASSERT_TRUE(one.Match());
      ASSERT_TRUE(many.Match());
      EXPECT_EQ(one.Layout(), many.Layout());
      EXPECT_EQ(one.Counts(), many.Counts());
      if (ahead) {
        ASSERT_TRUE(oneAhead.Match());
        EXPECT_EQ(one.Layout(), oneAhead.Layout());
        EXPECT_EQ(one.Counts(), oneAhead.Counts());
      }
    }
  }
}

// Flat greys from a few values: most images find several cells at their smallest distance, in
// ranges the threads measure in any order, and the offers of a round keep taking the cells that
// others measured as their best. Single use must still give each image the first of its equal
// cells, as one thread does.
TEST(ParallelMatchingTest, EqualDistancesAsOneThread) {
  MatchingProblem runs[3];
  for (unsigned threads = 1; threads <= 3; ++threads) {
    MatchingProblem& p = runs[threads - 1];
    for (uint32_t i = 0; i < 400; ++i) p.Cell((i * 7 + i / 13) % 5 * 50);
    for (uint32_t e = 0; e < 600; ++e) p.Entry((e * 11 + e / 7) % 11 * 25);
    p.mosaic.params.maxDuplicateCount = 1;
    if (threads > 1)
      UseThreads(p, threads);
    ASSERT_TRUE(p.Match());
    EXPECT_EQ(runs[0].Layout(), p.Layout()) << threads;
    EXPECT_EQ(runs[0].Counts(), p.Counts()) << threads;
  }
}

// A stop requested while the threads measure ends the run, whichever thread sees it first: a
// thread waiting for another's images must not wait for ever.
TEST(ParallelMatchingTest, StopWhileMeasuringEndsTheRun) {
  constexpr int kMatchingStage = 8;
  for (const uint32_t maxDuplicates : {1u, 0u}) {
    SCOPED_TRACE(maxDuplicates == 1 ? "single use" : "multi-use");
    MatchingProblem p;
    Fill(p, 5, 1200, 3000);
    p.mosaic.params.algorithm = kStandard;
    p.mosaic.params.maxDuplicateCount = maxDuplicates;
    UseThreads(p, 2);
    ASSERT_TRUE(ResetAssignment(p.job, p.mosaic));
    std::thread stopper([&p] {
      while (p.job.Progress().progress[kMatchingStage] < 100) std::this_thread::yield();
      p.job.RequestStop();
    });
    EXPECT_FALSE(AssignTiles(p.job, p.mosaic));
    stopper.join();
  }
}

}  // namespace
}  // namespace tessarix
