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

TEST_F(MatchingTest, SingleUseDisplacedImageIsOfferedAgain) {
  mosaic.params.maxDuplicateCount = 1;
  mosaic.useAllImages = true;  // no insertion with single use, even with cells for every image
  Cell(100), Cell(150), Cell(0, 0);
  Entry(120), Entry(100), Entry(140);
  // 120 takes the 100 cell (1920); 100 displaces it (0); 140 takes the 150 cell (960); 120 comes
  // back but is 2880 from the 150 cell, no better than 960, and stays out.
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{1, 2, -1}));
  EXPECT_EQ(Distances(), (Values{0, 960, kNoDistance}));
  EXPECT_EQ(UseCounts(), (Values{0, 1, 1}));
  EXPECT_EQ(job.Status(), "Inserting not used Images into the mosaic...");
  const ProgressMeter progress = job.Progress();
  EXPECT_EQ(std::tuple(progress.target[6], progress.target[8], progress.currentStage),
            std::tuple(3.0, 3.0, -1));
}

TEST_F(MatchingTest, RequiredImageTakesCloserImagesCellAndLocksIt) {
  mosaic.params.maxDuplicateCount = 1;
  Cell(100), Cell(150);
  Entry(100), Entry(110, 0, 1), Entry(100);
  // The required 110 replaces the exact 100 (960 > 0) and locks its cell; neither 100 gets that
  // cell back.
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{1, 2}));
  EXPECT_EQ(Counts(), std::tuple(Values{960, 4800}, Values{1, 0}, Values{0, 1, 1}));
}

TEST_F(MatchingTest, TiesGoToFirstCellInSingleUseAndLastInMultiUse) {
  Cell(100), Cell(100), Cell(100), Cell(100);
  Entry(100), Entry(100);
  mosaic.params.maxDuplicateCount = 1;
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{0, 1, -1, -1}));
  // Two duplicates allowed: the count is checked before each assignment, so three cells.
  mosaic.params.maxDuplicateCount = 2;
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{1, 0, 0, 0}));
  EXPECT_EQ(UseCounts(), (Values{3, 1}));
}

TEST_F(MatchingTest, SpacingThresholdIsExclusive) {
  // Average cell area 100, D = 2: Q = 400, so only direct neighbours (100) are too close.
  mosaic.params.minDuplicateDistance = 2;
  Cell(100), Cell(100), Cell(100), Cell(100);
  Entry(100), Entry(101);
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{1, 0, 1, 0}));
  EXPECT_EQ(Distances(), (Values{96, 0, 96, 0}));
}

TEST_F(MatchingTest, SpacingHoldsAgainstCellsKeptFromEarlierOffers) {
  mosaic.params.minDuplicateDistance = 2;  // Q = 400 again
  Cell(100), Cell(100), Cell(108), Cell(100), Cell(100);
  Entry(104), Entry(108);
  // 104 is 384 from every cell and takes cells 4, 2, 0. 108 takes cell 2 (0) and shuts out its
  // neighbours. 104 is offered again: cells 3 and 1 would improve (384 < none) but lie beside
  // the cells 4 and 0 that it kept.
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{0, -1, 1, -1, 0}));
  EXPECT_EQ(UseCounts(), (Values{2, 1}));
}

TEST_F(MatchingTest, SpacingThresholdDoesNotWrapAt32Bits) {
  // W * H / 2 = 3,000,000 and D = 40: Q = 4,800,000,000 (505,032,704 if cut to 32 bits). The
  // corners are 30000 apart: 900,000,000 is too close.
  mosaic.params.minDuplicateDistance = 40;
  Cell(100);
  Cell(100).left = 30000;
  mosaic.width = 3000, mosaic.height = 2000;
  Entry(100);
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{-1, 0}));
}

TEST_F(MatchingTest, SequenceNumbersKeepNearbyFramesApart) {
  mosaic.params.minSequenceDistance = 5;  // D = 0: near means anywhere in the mosaic
  Cell(100), Cell(100), Cell(100);
  Entry(100, 10), Entry(100, 15), Entry(100, 0), Entry(100, 16);
  EXPECT_TRUE(Match());
  // 15 is within 5 of 10 and stays out; 0 takes no part; 16 is 6 away. Unlimited duplicates do
  // not matter: each frame goes to one cell.
  EXPECT_EQ(Layout(), (Cells{0, 2, 3}));
  EXPECT_EQ(UseCounts(), (Values{1, 0, 1, 1}));
}

TEST_F(MatchingTest, SequenceTestUsesNeighboursWhenSpaced) {
  mosaic.params.minSequenceDistance = 5;
  mosaic.params.minDuplicateDistance = 1;
  Cell(100).neighbours = {1};
  Cell(100).neighbours = {0, 2};
  Cell(100).neighbours = {1};
  Entry(100, 10), Entry(100, 15);
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{0, -1, 1}));
}

TEST_F(MatchingTest, SequenceFrameMayReplaceAConflictingFrameInTheSameCell) {
  mosaic.params.minSequenceDistance = 5;
  Cell(100), Cell(100, 0);
  Entry(90, 10), Entry(100, 12);
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{1, -1}));
  EXPECT_EQ(UseCounts(), (Values{0, 1}));
}

TEST_F(MatchingTest, UnusedImagesAreInsertedOnlyWhenAllowed) {
  Cell(100), Cell(100), Cell(100);
  Entry(100), Entry(150), Entry(140);
  // 100 fills all three cells exactly; nothing else improves any of them.
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{0, 0, 0}));

  // 150 goes to the first of three equal cells (4800); 140 may not take that cell, which now
  // holds an image used once, and goes to the next (3840).
  mosaic.useAllImages = true;
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{1, 2, 0}));
  EXPECT_EQ(Distances(), (Values{4800, 3840, 0}));
  EXPECT_EQ(UseCounts(), (Values{1, 1, 1}));

  Entry(200);  // more images than cells
  EXPECT_TRUE(Match());
  EXPECT_EQ(Layout(), (Cells{0, 0, 0}));
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
