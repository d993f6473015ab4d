// Masks of sizes a person may really hand over (a 600-megapixel poster) or no honest file has.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "engine/mask_cells.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

void WriteAll(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Segments the mask at `path` in a child whose memory may grow by `extra` bytes; reports the
// result, the size, the messages and whether it took under `seconds`.
std::string SegmentBounded(const std::string& path, uint64_t extra, int seconds) {
  const LimitedRun run = RunWithMemoryLimit(extra, [&] {
    RecordingPrompt prompt;
    const auto start = std::chrono::steady_clock::now();
    std::vector<MosaicCell> cells(2);
    const MaskSegmentation result = BuildMaskCells(cells, path);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::string report = std::to_string(result.ok) + " " + std::to_string(result.maskWidth) + "x" +
                         std::to_string(result.maskHeight) + " cells " +
                         std::to_string(cells.size());
    for (const std::string& m : prompt.messages) report += "|" + m;
    return report + (elapsed < std::chrono::seconds(seconds) ? "|quick" : "|slow");
  });
  return run.exited ? run.report : "crashed or killed";
}

// 30000 x 20000 flat grey: 2.4 GB of pixels and as much again of labels. The test gives the
// segmentation 512 MB, so that it must say it has no room rather than take the machine's memory;
// on a machine with room the same file is simply segmented into one cell, which is too slow to
// make a test of.
TEST(HostileMaskSizes, PosterSizeMaskWithoutRoomSaysOutOfMemoryQuickly) {
  if (!MemoryLimitWorks())
    GTEST_SKIP() << "sanitizer builds cannot run under an address-space limit";
  TempDir dir;
  WriteJpeg(MakeFlatImage(16, 16, MakePixel(128, 128, 128)), dir.File("flat.jpg"));
  const std::vector<unsigned char> poster =
      WithClaimedSize(ReadBytes(dir.File("flat.jpg")), 30000, 20000);
  ASSERT_FALSE(poster.empty());
  WriteAll(dir.File("poster.jpg"), poster);
  EXPECT_EQ(SegmentBounded(dir.File("poster.jpg"), 512u << 20, 10),
            "0 0x0 cells 0|JpegFile :\nOut of memory|quick");
}

TEST(HostileMaskSizes, MaskClaiming65500SquareIsRefusedQuickly) {
  TempDir dir;
  WriteJpeg(MakeFlatImage(16, 16, MakePixel(10, 200, 10)), dir.File("small.jpg"));
  WriteAll(dir.File("huge.jpg"), WithClaimedSize(ReadBytes(dir.File("small.jpg")), 65500, 65500));
  EXPECT_EQ(SegmentBounded(dir.File("huge.jpg"), 256u << 20, 5),
            "0 0x0 cells 0|JpegFile :\nOut of memory|quick");
}

// The patched file itself is sound: at its own small size the same bytes give one cell.
TEST(HostileMaskSizes, PatchedHeaderAtItsRealSizeIsAnOrdinaryMask) {
  TempDir dir;
  WriteJpeg(MakeFlatImage(16, 16, MakePixel(128, 128, 128)), dir.File("flat.jpg"));
  WriteAll(dir.File("same.jpg"), WithClaimedSize(ReadBytes(dir.File("flat.jpg")), 16, 16));
  EXPECT_EQ(SegmentBounded(dir.File("same.jpg"), 256u << 20, 5), "1 16x16 cells 1|quick");
}

}  // namespace
}  // namespace tessarix::test
