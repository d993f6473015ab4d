// Memory budgets too small for the work.
#include <gtest/gtest.h>

#include "engine/rendering.h"
#include "platform/memory_budget.h"
#include "random_fixture.h"

namespace tessarix::test {
namespace {

// The job's canvas (400 x 400: 640 KB) is paid from the budget, and a tile (350 x 350: 490 KB) is
// decoded beside it or refused at once; its cell then stays black.
TEST(HostileSourceSizes, CanvasAndTheTilesDecodedForItShareTheMemoryBudget) {
  TempDir dir, config;
  const ScopedEnv configHome("XDG_CONFIG_HOME", config.Folder());
  WriteJpeg(MakeFlatImage(350, 350, MakePixel(200, 40, 40)), dir.File("tile.jpg"));
  CollectionEntry entry;
  entry.path = dir.File("tile.jpg");
  const std::pair<uint64_t, const char*> rows[] = {
      {500'000, "0|Out Of Memory while creating an Image made with 400x400 Pixels"},
      {1'000'000, "1 black|JpegFile :\nOut of memory"},
      {2'000'000, "1 painted"},
  };
  for (const auto& [bytes, expected] : rows) {
    const ScopedMemoryBudgetForTest budget(bytes);
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
    EXPECT_EQ(outcome, expected) << bytes;
    EXPECT_LE(budget.Budget().Peak(), bytes);
  }
}

}  // namespace
}  // namespace tessarix::test
