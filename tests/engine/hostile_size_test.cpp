// Masks and pictures of sizes no honest file has, and memory budgets too small for the work.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>

#include "engine/mask_cells.h"
#include "engine/rendering.h"
#include "platform/memory_budget.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

// Segments the mask at `path` in a child whose memory may grow by `extra` bytes; reports the
// result, the size, the messages and whether it took under `seconds`.
std::string SegmentBounded(const std::string& path, uint64_t extra, int seconds) {
  const LimitedRun run = RunWithMemoryLimit(extra, [&] {
    RecordingPrompt prompt;
    const auto start = std::chrono::steady_clock::now();
    std::vector<MosaicCell> cells(2);
    const MaskSegmentation result = BuildMaskCells(cells, path);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::string report = std::to_string(static_cast<bool>(result.status)) + " " + std::to_string(result.maskWidth) + "x" +
                         std::to_string(result.maskHeight) + " cells " +
                         std::to_string(cells.size());
    for (const std::string& m : prompt.messages) report += "|" + m;
    return report + (elapsed < std::chrono::seconds(seconds) ? "|quick" : "|slow");
  });
  return run.exited ? run.report : "crashed or killed";
}

// A header claiming 65500 x 65500 is refused at once in little memory; at its own size the same
// bytes give one cell.
TEST(HostileMaskSizes, MaskClaiming65500SquareIsRefusedQuicklyItsRealSizeIsRead) {
  TempDir dir;
  const std::string path = dir.File("mask.jpg");
  WriteClaimingSize(path, 65500, 65500);
  EXPECT_EQ(SegmentBounded(path, 256u << 20, 5), "0 0x0 cells 0|JpegFile :\nOut of memory|quick");
  WriteClaimingSize(path, 16, 16);
  EXPECT_EQ(SegmentBounded(path, 256u << 20, 5), "1 16x16 cells 1|quick");
}

// The job's canvas (400 x 400: 640 KB) is paid from the budget, and a tile (350 x 350: 490 KB) is
// decoded beside it or refused at once; its cell then stays black.
TEST(HostileSourceSizes, CanvasAndTheTilesDecodedForItShareTheMemoryBudget) {
  TempDir dir;
  TempDir config;
  const char* const savedXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = savedXdg != nullptr ? savedXdg : "";
  setenv("XDG_CONFIG_HOME", config.Folder().c_str(), 1);
  WriteJpeg(MakeFlatImage(350, 350, MakePixel(200, 40, 40)), dir.File("tile.jpg"));
  CollectionEntry entry;
  entry.path = dir.File("tile.jpg");
  struct Row {
    uint64_t budget;
    const char* outcome;
  } const rows[] = {
      {500'000, "0|Out Of Memory while creating an Image made with 400x400 Pixels"},
      {1'000'000, "1 black|JpegFile :\nOut of memory"},
      {2'000'000, "1 painted"},
  };
  for (const Row& row : rows) {
    const ScopedMemoryBudgetForTest budget(row.budget);
    RecordingPrompt prompt;
    MosaicJob job;
    Mosaic mosaic;
    mosaic.width = mosaic.height = 400;
    mosaic.outputBase = dir.File("out");
    MosaicCell& cell = mosaic.cells.emplace_back();
    cell.width = cell.height = 350;
    cell.area = 350 * 350;
    cell.assigned = &entry;
    std::string outcome = std::to_string(static_cast<bool>(RenderFinalMosaic(job, mosaic)));
    if (std::optional<DisplayQueue::Item> shown = job.TakeDisplayItem())
      outcome += shown->image->At(0, 0) == kTransparentBlack ? " black" : " painted";
    for (const std::string& message : prompt.messages) outcome += "|" + message;
    EXPECT_EQ(outcome, row.outcome) << row.budget;
    EXPECT_LE(budget.Budget().Peak(), row.budget);
  }
  if (savedXdg != nullptr)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace tessarix::test
