// Masks of sizes a person may really hand over (a 600-megapixel poster) or no honest file has.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "engine/mask_cells.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

// A flat 16 x 16 JPEG whose header claims `width` x `height`.
std::string PatchedMask(const TempDir& dir, uint16_t width, uint16_t height) {
  WriteJpeg(MakeFlatImage(16, 16, MakePixel(128, 128, 128)), dir.File("flat.jpg"));
  const std::vector<unsigned char> bytes =
      WithClaimedSize(ReadBytes(dir.File("flat.jpg")), width, height);
  EXPECT_FALSE(bytes.empty());
  const std::string path = dir.File("patched.jpg");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
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
  EXPECT_EQ(SegmentBounded(PatchedMask(dir, 30000, 20000), 512u << 20, 10),
            "0 0x0 cells 0|JpegFile :\nOut of memory|quick");
}

// The patched file itself is sound: at its own size the same bytes give one cell.
TEST(HostileMaskSizes, MaskClaiming65500SquareIsRefusedQuicklyItsRealSizeIsRead) {
  TempDir dir;
  EXPECT_EQ(SegmentBounded(PatchedMask(dir, 65500, 65500), 256u << 20, 5),
            "0 0x0 cells 0|JpegFile :\nOut of memory|quick");
  EXPECT_EQ(SegmentBounded(PatchedMask(dir, 16, 16), 256u << 20, 5), "1 16x16 cells 1|quick");
}

}  // namespace
}  // namespace tessarix::test
