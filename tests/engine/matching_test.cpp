#include <gtest/gtest.h>

#include <filesystem>

#include "matching_readout.h"
#include "test_support.h"

namespace tessarix {
namespace {

class MatchingTest : public ::testing::Test, public MatchingProblem {};

TEST_F(MatchingTest, ResetRefusesMissingPartsAndClearsAssignment) {
  EXPECT_FALSE(ResetAssignment(job, mosaic));  // no cells, no entries
  Cell(100);
  EXPECT_FALSE(ResetAssignment(job, mosaic));  // no entries
  CollectionEntry& entry = Entry(100);
  mosaic.collection = nullptr;
  EXPECT_FALSE(ResetAssignment(job, mosaic));
  EXPECT_FALSE(AssignTiles(job, mosaic));
  mosaic.collection = &collection;
  MosaicCell& cell = mosaic.cells[0];
  cell.locked = 1, cell.assigned = &entry, cell.assignedDistance = 7;
  entry.useCount = 3, entry.valid = 1;
  mosaic.cursorSet = true;
  EXPECT_TRUE(ResetAssignment(job, mosaic));
  EXPECT_EQ(job.Status(), "Initializing Mosaic...");
  EXPECT_EQ(Layout(), Cells{-1});
  EXPECT_EQ(Counts(), std::tuple(Values{kNoDistance}, Values{0}, Values{0}));
  EXPECT_EQ(entry.valid, 0u);
  EXPECT_FALSE(mosaic.cursorSet);
}

constexpr uint32_t kBlank = 1000;  // a cell without information

// Each row: the settings, cell greys and images, then per cell its image (collection index) and,
// when given, per cell its distance and lock and per image its use count. Distances under "Max"
// are 96 * |cell grey - image grey|.
struct Image {
  uint32_t grey, sequence = 0;
  bool required = false;
};
struct Row {
  const char* what;
  uint32_t maxDuplicates, duplicateDistance, sequenceDistance;
  bool useAll;
  Values cells;
  std::vector<Image> images;
  Cells layout;
  Values distances = {}, locks = {}, uses = {};  // empty: not checked
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
    // 100 fills all three cells exactly; nothing else improves any of them.
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
  for (const uint32_t grey : row.cells) p.Cell(grey == kBlank ? 0 : grey, grey != kBlank);
  for (const Image& image : row.images) p.Entry(image.grey, image.sequence, image.required);
}

TEST(MatchingTable, CellsDistancesLocksAndUses) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.what);
    MatchingProblem p;
    Build(p, row);
    ASSERT_TRUE(p.Match());
    const auto [distances, locks, uses] = p.Counts();
    const auto given = [](const Values& wanted, const Values& found) {
      return wanted.empty() ? found : wanted;
    };
    EXPECT_EQ(p.Layout(), row.layout);
    EXPECT_EQ(p.Counts(), std::tuple(given(row.distances, distances), given(row.locks, locks),
                                     given(row.uses, uses)));
  }
  MatchingProblem p;  // the last stage and its targets
  Build(p, kRows[0]);
  ASSERT_TRUE(p.Match());
  EXPECT_EQ(p.job.Status(), "Inserting not used Images into the mosaic...");
  const ProgressMeter progress = p.job.Progress();
  EXPECT_EQ(std::tuple(progress.target[6], progress.target[8], progress.currentStage),
            std::tuple(3.0, 3.0, -1));
}

// W * H / 2 = 3,000,000 and D = 40: Q = 4,800,000,000 (505,032,704 if cut to 32 bits). The
// corners are 30000 apart: 900,000,000 is too close. Spaced, the sequence test looks at the
// neighbours only.
TEST_F(MatchingTest, SpacingDoesNotWrapAt32BitsAndSequencesUseNeighboursWhenSpaced) {
  mosaic.params.minDuplicateDistance = 40;
  Cell(100);
  Cell(100).left = 30000;
  mosaic.width = 3000, mosaic.height = 2000;
  Entry(100);
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{-1, 0}));

  MatchingProblem p;
  p.mosaic.params.minSequenceDistance = 5;
  p.mosaic.params.minDuplicateDistance = 1;
  p.Cell(100).neighbours = {1};
  p.Cell(100).neighbours = {0, 2};
  p.Cell(100).neighbours = {1};
  p.Entry(100, 10), p.Entry(100, 15);
  EXPECT_TRUE(p.Match());
  EXPECT_EQ(p.Layout(), (Cells{0, -1, 1}));
}

TEST_F(MatchingTest, StopRequestLeavesCellsEmptyAndWritesNothing) {
  test::TempDir dir;
  mosaic.outputBase = dir.File("photo");
  Cell(100), Cell(100);
  Entry(100);
  ASSERT_TRUE(ResetAssignment(job, mosaic));
  job.RequestStop();
  EXPECT_FALSE(AssignTiles(job, mosaic));
  EXPECT_EQ(Layout(), (Cells{-1, -1}));
  CreateMosaic(job, mosaic);
  EXPECT_TRUE(mosaic.mosaicFile.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
}  // namespace tessarix
