#include <gtest/gtest.h>

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

// A folder of photos of several shapes and two files that are no JPEG at all, analysed with one
// and with three threads, gives the same collection file, byte for byte: the same entries in the
// same order with the same records. The file names itself, so both are written under one name.
TEST(ParallelAnalysisTest, SameCollectionAsOneThread) {
  test::TempDir dir;
  for (uint32_t i = 0; i < 30; ++i) {
    const uint32_t w = i % 5 == 2 ? 48 : 96 + i, h = i % 5 == 2 ? 80 : 64;
    test::WriteJpeg(test::Patterned(w, h, i), dir.File(Format("p%u.jpg", 100 + i)));
  }
  std::ofstream(dir.File("p105.jpg")) << "not a picture";
  std::ofstream(dir.File("p117.jpg")) << "";
  std::vector<unsigned char> bytes[2];
  for (const unsigned threads : {1u, 3u}) {
    ImageCollection c;
    c.imageFolder = dir.Folder();
    c.filePath = dir.File("all.tzc");
    c.SetThreadCount(threads);
    ASSERT_TRUE(c.Rescan());
    c.StartAnalysis();
    int slices = 0;
    while (c.AnalyseSome()) ASSERT_LT(++slices, 1000);
    // The two that are no JPEG are dropped, yet counted as analysed.
    EXPECT_EQ(std::tuple(c.Size(), c.AnalysedCount(), c.analysisPercent),
              std::tuple(28u, 30u, 100.0));
    ASSERT_TRUE(SaveCollection(c));
    bytes[threads / 3] = test::ReadBytes(c.filePath);
  }
  EXPECT_TRUE(bytes[0] == bytes[1]);
}

}  // namespace
}  // namespace tessarix
