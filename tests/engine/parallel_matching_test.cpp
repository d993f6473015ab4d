#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "matching_readout.h"
#include "random_fixture.h"

namespace tessarix {
namespace {

// A grid of 20 x 15 cells, each with its eight neighbours; a few cells carry transparency and a
// few are without information; every fourth image is portrait.
void Fill(MatchingProblem& p, unsigned seed, uint32_t columns, uint32_t rows, size_t entries) {
  std::mt19937 random(seed);
  p.mosaic.width = columns * 20, p.mosaic.height = rows * 15;
  const auto near = [](uint32_t a, uint32_t b) { return a + 1 >= b && b + 1 >= a; };
  for (uint32_t i = 0; i < columns * rows; ++i) {
    const uint32_t x = i % columns, y = i / columns;
    MosaicCell& cell = p.mosaic.cells.emplace_back();
    cell.left = x * 20, cell.top = y * 15, cell.width = 20, cell.height = 15, cell.area = 300;
    cell.info = test::Textured(random, (x + y) % 7 == 0);
    cell.hasInfo = (x * 3 + y) % 11 == 5 ? 0 : 1;
    for (uint32_t n = 0; n < columns * rows; ++n)
      if (n != i && near(n % columns, x) && near(n / columns, y))
        cell.neighbours.push_back(n);
  }
  for (size_t e = 0; e < entries; ++e) {
    CollectionEntry& entry = p.Entry(0);
    entry.info = test::Textured(random, false);
    entry.portrait = e % 4 == 1 ? 1 : 0;
  }
}

void UseThreads(MatchingProblem& p, unsigned threads) {
  p.mosaic.params.threads = threads;
  p.mosaic.params.parallelMatchingCells = 1;
}

// Every strategy under every distance gives the same cells, distances, locks and use counts with
// one and with three threads (three on two cores also interleaves the workers unevenly).
TEST(ParallelMatchingTest, SameAssignmentAsOneThread) {
  const struct {
    const char* name;
    uint32_t maxDuplicates, duplicateDistance, sequenceDistance;
    bool useAll, required;
  } settings[] = {
      {"multi-use spaced", 0, 2, 0, false, false},
      {"multi-use unspaced, use all", 0, 0, 0, true, false},
      {"three uses at most", 2, 1, 0, false, false},
      {"single use with required", 1, 0, 0, false, true},
      {"sequence spaced", 0, 1, 3, false, false},
      {"sequence everywhere", 0, 0, 2, false, false},
  };
  for (const auto& setting : settings) {
    for (uint32_t algorithm = 0; algorithm <= 4; ++algorithm) {
      SCOPED_TRACE(std::string(setting.name) + ", algorithm " + std::to_string(algorithm));
      MatchingProblem one, many;
      for (MatchingProblem* p : {&one, &many}) {
        Fill(*p, 17 + algorithm, 24, 14, setting.useAll ? 200 : 420);
        EngineParameters& params = p->mosaic.params;
        params.algorithm = algorithm, params.modifyLimit = 40;
        params.maxDuplicateCount = setting.maxDuplicates;
        params.minDuplicateDistance = setting.duplicateDistance;
        params.minSequenceDistance = setting.sequenceDistance;
        p->mosaic.useAllImages = setting.useAll;
        for (size_t e = 0; e < p->collection.Size(); ++e) {
          CollectionEntry& entry = p->collection.Entry(e);
          if (setting.sequenceDistance > 0 && e % 3 != 0)
            entry.sequenceNumber = static_cast<uint32_t>(e + 1);
          entry.required = setting.required && e % 50 == 7 ? 1 : 0;
        }
      }
      UseThreads(many, 3);
      ASSERT_TRUE(one.Match());
      ASSERT_TRUE(many.Match());
      EXPECT_EQ(one.Layout(), many.Layout());
      EXPECT_EQ(one.Counts(), many.Counts());
      const Cells layout = one.Layout();  // not trivial: most cells are filled
      EXPECT_GT(std::count_if(layout.begin(), layout.end(), [](int i) { return i >= 0; }),
                static_cast<long>(layout.size() / 2));
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

// Bounds of distances measured ahead of the offer, with one thread and with two. Single use;
// only the first two cells are measured, the others are without information.
TEST(ParallelMatchingTest, BoundsOfMeasurementsMadeTogether) {
  const struct {
    const char* what;
    uint32_t algorithm;
    ColorInfo cells[2];
    uint32_t blankCells;
    std::vector<uint32_t> images;
    Cells layout;
    Values distances;
  } cases[] = {
      // "Exponential" rejects a pair by its averages before looking at the grid. A cell whose
      // grid is fully transparent sums to 0, yet with a tight bound its averages test rejects it:
      // measured against its own empty cell's bound it looks perfect, and only the tight bound of
      // the running best tells the truth. The 110 image against the opaque 100 cell gives
      // 96 * (3 * 10^2) = 28800 for the averages and the same for the grid; against the
      // transparent 200 cell the averages give 96 * 3 * 90^2 = 2332800, so the first cell keeps
      // it. Forty cells so that the pool really splits them.
      {"tight bound still rejects by averages",
       kExponential,
       {Flat(100), Flat(200, 255)},
       38,
       {110},
       {0, -1},
       {28800, kNoDistance}},
      // The images offered next are measured together, with the assignment as it was before the
      // first of them. A (100) and B (110) are measured while both cells are empty: B finds the
      // 100 cell at 960, so the 200 cell is measured with bound 960 and abandoned at 990. A then
      // takes the 100 cell with 0, and when B is offered the 200 cell has no bound at all: its
      // true distance 96 * 90 = 8640 must be measured again rather than the abandoned 990 taken.
      {"looser bound at the offer measures again",
       kMax,
       {Flat(100), Flat(200)},
       0,
       {100, 110},
       {0, 1},
       {0, 8640}},
  };
  for (const auto& c : cases) {
    for (const unsigned threads : {1u, 2u}) {
      SCOPED_TRACE(std::string(c.what) + ", threads " + std::to_string(threads));
      MatchingProblem p;
      p.mosaic.params.algorithm = c.algorithm;
      p.mosaic.params.maxDuplicateCount = 1;
      UseThreads(p, threads);
      for (const ColorInfo& info : c.cells) p.Cell(0).info = info;
      for (uint32_t i = 0; i < c.blankCells; ++i) p.Cell(100, 0);
      for (const uint32_t grey : c.images) p.Entry(grey);
      ASSERT_TRUE(p.Match());
      Cells layout = p.Layout();
      Values distances = p.Distances();
      layout.resize(2), distances.resize(2);
      EXPECT_EQ(layout, c.layout);
      EXPECT_EQ(distances, c.distances);
    }
  }
}

// A stop requested while the threads measure ends the run, whichever thread sees it first: a
// thread waiting for another's images must not wait for ever.
TEST(ParallelMatchingTest, StopWhileMeasuringEndsTheRun) {
  constexpr int kMatchingStage = 8;
  for (const uint32_t maxDuplicates : {1u, 0u}) {
    SCOPED_TRACE(maxDuplicates == 1 ? "single use" : "multi-use");
    MatchingProblem p;
    Fill(p, 5, 40, 30, 3000);
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
