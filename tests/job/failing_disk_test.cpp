// A batch whose outputs cannot be written: a disk that is full, or targets that cannot be
// replaced. Earlier files stay as they were, the person is told, and the batch goes on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "analysed_tiles.h"
#include "imaging/sample_photos.h"
#include "job/job_driver.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

class BatchOnFailingDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    AnalyseSampleTiles(dir, collection, 8, 3, 60, 40);
    ASSERT_EQ(collection.Size(), 8u);
    WriteJpeg(MakeSampleScene(120, 80), dir.File("a.jpg"));
    WriteJpeg(MakeSampleScene(90, 60), dir.File("c.jpg"));
    parameters.tilesPerRow = 4;
    parameters.tileWidth = 20;
    options.textReport = true;
    options.webPage = true;
  }

  // The outputs of an earlier run, which nothing may damage.
  void WriteEarlierOutputs(const std::string& base) {
    std::ofstream(base + " Mosaic.JPG") << "earlier mosaic";
    std::ofstream(base + " Report.TXT") << "earlier report";
    std::ofstream(base + ".html") << "earlier page";
  }

  void ExpectEarlierOutputs(const std::string& base) {
    EXPECT_EQ(ReadBytes(base + " Mosaic.JPG"), Bytes("earlier mosaic"));
    EXPECT_EQ(ReadBytes(base + " Report.TXT"), Bytes("earlier report"));
    EXPECT_EQ(ReadBytes(base + ".html"), Bytes("earlier page"));
  }

  std::string Captions() {
    std::string captions;
    while (auto item = job.TakeDisplayItem())
      captions += (item->image ? "image: " : "text: ") + item->caption + "|";
    return captions;
  }

  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  MosaicJob job;
  BatchParameters parameters;
  BatchOptions options;
};

TEST_F(BatchOnFailingDisk, FullDiskKeepsEarlierOutputsReportsAndGoesOn) {
  WriteEarlierOutputs(dir.File("a"));
  WriteEarlierOutputs(dir.File("c"));
  // 200 bytes: no mosaic, report or page of these sizes fits, the earlier files already exist.
  const LimitedRun run = RunWithFileSizeLimit(200, [&] {
    const BatchOutcome outcome =
        RunBatch(job, parameters, options, {dir.File("a.jpg"), dir.File("c.jpg")}, collection);
    std::string report = "saved " + std::to_string(outcome.mosaics.size()) + "|";
    for (const std::string& file : outcome.unsaved) report += "unsaved " + file + "|";
    for (const std::string& message : prompt.messages) report += "message " + message + "|";
    return report + Captions();
  });
  ASSERT_TRUE(run.exited);
  const std::string a = dir.File("a Mosaic.JPG");
  const std::string c = dir.File("c Mosaic.JPG");
  EXPECT_EQ(run.report,
            "saved 0|unsaved " + a + "|unsaved " + c + "|message JpegFile :\nCan't open " + a +
                "\n|message JpegFile :\nCan't open " + c + "\n|image: Input: " + dir.File("a.jpg") +
                "|image: Input: " + dir.File("c.jpg") + "|text: Completed 2 Mosaics!|");
  ExpectEarlierOutputs(dir.File("a"));
  ExpectEarlierOutputs(dir.File("c"));
  EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
}

// Folders stand where the first source's outputs would go, so nothing of it can be put in place;
// the second source is written as usual.
TEST_F(BatchOnFailingDisk, UnreplaceableTargetsOfOneSourceLeaveTheNextOneAlone) {
  for (const char* name : {"a Mosaic.JPG", "a Report.TXT", "a.html"}) {
    fs::create_directory(dir.File(name));
    std::ofstream(dir.File(name) + "/kept") << "kept";
  }
  const BatchOutcome outcome =
      RunBatch(job, parameters, options, {dir.File("a.jpg"), dir.File("c.jpg")}, collection);
  EXPECT_EQ(outcome.mosaics, std::vector<std::string>{dir.File("c Mosaic.JPG")});
  EXPECT_EQ(outcome.unsaved, std::vector<std::string>{dir.File("a Mosaic.JPG")});
  EXPECT_EQ(prompt.messages,
            std::vector<std::string>{"JpegFile :\nCan't open " + dir.File("a Mosaic.JPG") + "\n"});
  for (const char* name : {"a Mosaic.JPG", "a Report.TXT", "a.html"}) {
    EXPECT_TRUE(fs::is_directory(dir.File(name))) << name;
    EXPECT_EQ(ReadBytes(dir.File(name) + "/kept"), Bytes("kept")) << name;
  }
  Image written;
  EXPECT_TRUE(written.LoadJpeg(dir.File("c Mosaic.JPG")));
  EXPECT_GT(ReadBytes(dir.File("c Report.TXT")).size(), 0u);
  EXPECT_GT(ReadBytes(dir.File("c.html")).size(), 0u);
  EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
}

}  // namespace
}  // namespace tessarix::test
