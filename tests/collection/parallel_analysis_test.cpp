#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "collection/collection_file.h"
#include "collection/image_collection.h"
#include "platform/text_format.h"
#include "random_fixture.h"

namespace tessarix {
namespace {
namespace fs = std::filesystem;
using test::Patterned;

// A folder of photos of several shapes, a movie-frame folder, a required folder and two files
// that are no JPEG at all.
void MakeFolder(const test::TempDir& dir) {
  fs::create_directories(dir.Path() / "clip_FRAMES00001");
  fs::create_directories(dir.Path() / "REQUIRED");
  for (uint32_t i = 0; i < 23; ++i) {
    const uint32_t w = i % 5 == 2 ? 48 : 96 + i, h = i % 5 == 2 ? 80 : 64;
    test::WriteJpeg(Patterned(w, h, i), dir.File(Format("p%u.jpg", 100 + i)));
  }
  for (uint32_t i = 0; i < 6; ++i)
    test::WriteJpeg(Patterned(64, 48, 50 + i), dir.File(Format("clip_FRAMES00001/f%u.JPG", i)));
  test::WriteJpeg(Patterned(70, 70, 99), dir.File("REQUIRED/me.jpeg"));
  std::ofstream(dir.File("p105.jpg")) << "not a picture";
  std::ofstream(dir.File("p117.jpg")) << "";
}

void Analyse(ImageCollection& c, unsigned threads) {
  c.SetThreadCount(threads);
  ASSERT_TRUE(c.Rescan());
  c.StartAnalysis();
  int slices = 0;
  while (c.AnalyseSome()) ASSERT_LT(++slices, 1000);
}

// The same folder analysed with one and with three threads gives the same entries in the same
// order and the same collection file, byte for byte.
TEST(ParallelAnalysisTest, SameCollectionAsOneThread) {
  test::TempDir dir;
  MakeFolder(dir);
  ImageCollection one, many;
  one.imageFolder = many.imageFolder = dir.Folder();
  one.filePath = dir.File("one.tzc");
  many.filePath = dir.File("many.tzc");
  Analyse(one, 1);
  Analyse(many, 3);
  // 23 + 6 + 1 files, the two that are no JPEG dropped; both counted as analysed.
  ASSERT_EQ(std::tuple(one.Size(), many.Size()), std::tuple(28u, 28u));
  EXPECT_EQ(std::tuple(one.AnalysedCount(), many.AnalysedCount()), std::tuple(30u, 30u));
  EXPECT_EQ(many.analysisPercent, 100.0);
  // List: p100..p122 without p105 and p117, REQUIRED/me.jpeg, clip_FRAMES00001/f0..f5. Index:
  // "REQUIRED/..." sorts first, so f0 is second there; the marks are set when the run completes.
  EXPECT_EQ(one.Entry(22).sequenceNumber, 2u);
  for (size_t i = 0; i < one.Size(); ++i) {
    const CollectionEntry &a = one.Entry(i), &b = many.Entry(i);
    EXPECT_EQ(
        std::tuple(a.path, a.info.grid, a.pixelWidth, a.portrait, a.sequenceNumber, a.required),
        std::tuple(b.path, b.info.grid, b.pixelWidth, b.portrait, b.sequenceNumber, b.required));
  }
  // The file names itself, so both are written under the same name in turn.
  ASSERT_TRUE(SaveCollection(one));
  const std::vector<unsigned char> bytes = test::ReadBytes(one.filePath);
  many.filePath = one.filePath;
  ASSERT_TRUE(SaveCollection(many));
  EXPECT_TRUE(bytes == test::ReadBytes(many.filePath));
}

}  // namespace
}  // namespace tessarix
