#include "job/job_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "analysed_tiles.h"
#include "collection/collection_file.h"
#include "imaging/sample_photos.h"
#include "job/collection_commands.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

namespace fs = std::filesystem;

// An analysed collection of generated tiles in <tmp>/tiles, and sources beside it.
class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AnalyseSampleTiles(dir, collection, 12, 7, 60, 40);
    ASSERT_EQ(collection.Size(), 12u);
    WriteJpeg(MakeSampleScene(300, 200), dir.File("a.jpg"));
    WriteJpeg(MakeSampleScene(150, 100), dir.File("c.jpg"));
    parameters.tilesPerRow = 5;
    parameters.tileWidth = 30;
  }

  std::vector<std::string> Captions() {
    std::vector<std::string> captions;
    while (auto item = job.TakeDisplayItem()) {
      captions.push_back((item->image ? "image: " : "text: ") + item->caption);
    }
    return captions;
  }

  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  MosaicJob job;
  BatchParameters parameters;
  BatchOptions options;
};

TEST_F(DriverTest, SkipsASourceThatCannotBeLoadedAndCountsOnlyMadeMosaics) {
  const BatchOutcome outcome =
      RunBatch(job, parameters, options, {dir.File("a.jpg"), dir.File("b.jpg"), dir.File("c.jpg")},
               collection);
  EXPECT_EQ(outcome.completed, 2);
  EXPECT_EQ(outcome.skipped, std::vector<std::string>{dir.File("b.jpg")});
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(Captions(),
            (std::vector<std::string>{
                "image: Input: " + dir.File("a.jpg"), "image: Mosaic: " + dir.File("a.jpg"),
                "image: Input: " + dir.File("c.jpg"), "image: Mosaic: " + dir.File("c.jpg"),
                "text: Completed 2 Mosaics!"}));
  EXPECT_EQ(job.Status(), "Completed 2 Mosaics!");
  EXPECT_TRUE(fs::exists(dir.File("a Mosaic.JPG")));
  EXPECT_TRUE(fs::exists(dir.File("c Mosaic.JPG")));
  // The skipped source keeps the overall figure below 100: 2 of 3 made.
  double overall = 0;
  const std::string line = job.ProgressLine(&overall);
  EXPECT_NEAR(overall, 200.0 / 3.0, 1e-9);
  EXPECT_NE(line.find("Mosaic nr.2/3"), std::string::npos) << line;
}

TEST_F(DriverTest, FinishedBatchShowsFullProgressAndNoRemainingTime) {
  RunBatch(job, parameters, options, {dir.File("a.jpg"), dir.File("c.jpg")}, collection);
  double overall = 0;
  const std::string line = job.ProgressLine(&overall);
  EXPECT_DOUBLE_EQ(overall, 100.0);
  EXPECT_EQ(line.rfind("Completed 100.00% (100.00%), Mosaic nr.2/2, Elapsed Time: ", 0), 0u)
      << line;
  EXPECT_NE(line.find("Remaining Time.: 00:00:00"), std::string::npos) << line;
}

TEST_F(DriverTest, ReportAndWebPageFollowTheirFlags) {
  options.textReport = true;
  RunBatch(job, parameters, options, {dir.File("a.jpg")}, collection);
  EXPECT_TRUE(fs::exists(dir.File("a Report.TXT")));
  EXPECT_FALSE(fs::exists(dir.File("a.html")));
  options.textReport = false;
  options.webPage = true;
  RunBatch(job, parameters, options, {dir.File("c.jpg")}, collection);
  EXPECT_FALSE(fs::exists(dir.File("c Report.TXT")));
  EXPECT_TRUE(fs::exists(dir.File("c.html")));
}

TEST_F(DriverTest, FailedAnalysisEndsTheBatchWithTheFinishMessage) {
  // A tile as wide as the photo leaves less than one row of tiles: no cells, nothing to match.
  parameters.tilesPerRow = 1;
  parameters.tileWidth = 300;
  WriteJpeg(MakeSampleScene(300, 100), dir.File("flat.jpg"));
  const BatchOutcome outcome =
      RunBatch(job, parameters, options, {dir.File("flat.jpg"), dir.File("a.jpg")}, collection);
  EXPECT_TRUE(outcome.analysisFailed);
  EXPECT_EQ(outcome.completed, 0);
  EXPECT_EQ(job.Status(), "Ok");
  EXPECT_FALSE(fs::exists(dir.File("a Mosaic.JPG")));  // later sources are not processed
  const std::vector<std::string> captions = Captions();
  ASSERT_FALSE(captions.empty());
  EXPECT_EQ(captions.back(), "text: Ok");
}

TEST_F(DriverTest, MaskIsAskedOnceAndCancellingStops) {
  parameters.tileWidth = 0;
  const Image mask = MakeImage(90, 60, [](uint32_t x, uint32_t y) {
    return (x < 48) == (y < 32) ? MakePixel(230, 40, 40) : MakePixel(30, 60, 220);
  });
  WriteJpeg(mask, dir.File("mask.jpg"), 100);
  prompt.fileAnswer = dir.File("mask.jpg");
  BatchOutcome outcome =
      RunBatch(job, parameters, options, {dir.File("a.jpg"), dir.File("c.jpg")}, collection);
  EXPECT_EQ(outcome.completed, 2);
  ASSERT_EQ(prompt.fileRequests.size(), 1u);
  EXPECT_EQ(prompt.fileRequests[0], "Images JPEG (*.jpg)|*.jpg;*.jpeg;*.jpe||");
  Image made;
  ASSERT_TRUE(made.LoadJpeg(dir.File("a Mosaic.JPG")));
  EXPECT_EQ(made.Width(), 90u);  // the mask's pixels are the mosaic's pixels
  EXPECT_EQ(made.Height(), 60u);

  fs::remove(dir.File("a Mosaic.JPG"));
  prompt.fileAnswer.reset();
  Captions();
  outcome = RunBatch(job, parameters, options, {dir.File("a.jpg")}, collection);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(job.Status(), "Stopped!");
  EXPECT_FALSE(fs::exists(dir.File("a Mosaic.JPG")));
  for (const std::string& caption : Captions())
    EXPECT_EQ(caption.rfind("text:", 0), std::string::npos);
}

TEST_F(DriverTest, StartJobRefusesBadParametersAndAnEmptyCollection) {
  JobDriver driver(job, collection);
  ParameterCheckInput input;
  input.fields.tilesPerRow = "0";
  EXPECT_EQ(driver.StartJob(input, options, {dir.File("a.jpg")}),
            JobDriver::Start::InvalidParameters);
  EXPECT_EQ(job.InfoText(),
            "Parameter: Number of Tiles per Row is invalid. Valid values are: 1..10000");

  ImageCollection empty;
  JobDriver emptyDriver(job, empty);
  input.fields.tilesPerRow = "20";
  EXPECT_EQ(emptyDriver.StartJob(input, options, {dir.File("a.jpg")}),
            JobDriver::Start::NoCollection);
  EXPECT_EQ(prompt.messages,
            std::vector<std::string>{"Please load/create first a Image Collection"});
}

TEST_F(DriverTest, StopDuringMatchingWritesNothing) {
  // Enough matching work (many small cells against every image) to catch it under way.
  for (uint32_t i = 12; i < 400; ++i) {
    auto entry = std::make_unique<CollectionEntry>(collection.Entry(i % 12));
    entry->path += "#" + std::to_string(i);
    collection.Add(std::move(entry));
  }
  JobDriver driver(job, collection);
  ParameterCheckInput input;
  input.fields.tilesPerRow = "200";
  input.fields.mosaicWidth = "2400";
  input.fields.maxDuplicates = "1";
  ASSERT_EQ(driver.StartJob(input, options, {dir.File("a.jpg")}), JobDriver::Start::Started);
  EXPECT_EQ(driver.StartJob(input, options, {dir.File("a.jpg")}), JobDriver::Start::StopAsked);
  EXPECT_EQ(prompt.questions,
            std::vector<std::string>{
                "There is already a Mosaic process running. Do you want to stop it?"});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  // Polling the status line, as a window does, lets the matcher name the tile it offers.
  while (job.Status().rfind("Processing Tile: ", 0) != 0 && driver.IsAlive() &&
         std::chrono::steady_clock::now() < deadline) {
    job.StatusLine();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(driver.IsAlive()) << job.Status();
  driver.RequestStop();
  driver.Wait();
  EXPECT_TRUE(driver.LastOutcome().stopped);
  EXPECT_EQ(job.Status(), "Stopped!");
  EXPECT_FALSE(job.IsRunning());
  EXPECT_FALSE(fs::exists(dir.File("a Mosaic.JPG")));
}

TEST(CollectionCommandsTest, CreateInAnEmptyFolderWritesAnEmptyCollection) {
  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  CollectionCommands commands(collection);
  ASSERT_TRUE(commands.BeginCreate(dir.File("empty.tzc")).ok);
  const CollectionCommands::Tick tick = commands.AnalyseTick();
  EXPECT_FALSE(tick.more);
  ASSERT_TRUE(tick.report.message);
  EXPECT_EQ(tick.report.message->rfind(
                "Images in Collection 0, Load Completed 100%, Elapsed Time: 00:00:0", 0),
            0u)
      << *tick.report.message;
  ImageCollection reloaded;
  reloaded.filePath = dir.File("empty.tzc");
  EXPECT_EQ(LoadCollectionFile(reloaded), CollectionLoadResult::kLoaded);
  EXPECT_EQ(reloaded.Size(), 0u);
  EXPECT_TRUE(prompt.messages.empty());
}

TEST(CollectionCommandsTest, ClosingMidUpdateClearsAndUpdateNeedsAFile) {
  TempDir dir;
  RecordingPrompt prompt;
  for (uint32_t i = 0; i < 3; ++i)
    WriteJpeg(MakeSamplePhoto(i, 30, 20), dir.File(std::to_string(i) + ".jpg"));
  ImageCollection collection;
  CollectionCommands commands(collection);
  const CollectionCommands::Report refused = commands.BeginUpdate();
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, std::optional<std::string>("Please Create/Load a Image Collection!"));

  ASSERT_TRUE(commands.BeginCreate(dir.File("c.tzc")).ok);
  EXPECT_TRUE(commands.Running());
  EXPECT_FALSE(commands.BeginUpdate().ok);  // a second start while running is ignored
  commands.Close();
  EXPECT_EQ(collection.Size(), 0u);
  EXPECT_EQ(collection.description, "(Please Load an existing collection or Create a new one)");
  EXPECT_FALSE(fs::exists(dir.File("c.tzc")));
}

TEST(CollectionCommandsTest, AFailedSaveIsSaidAndKeepsNoFile) {
  TempDir dir;
  RecordingPrompt prompt;
  WriteJpeg(MakeSamplePhoto(3, 30, 20), dir.File("a.jpg"));
  fs::create_directory(dir.File("c.tzc"));  // a folder where the collection file should go
  ImageCollection collection;
  CollectionCommands commands(collection);
  ASSERT_TRUE(commands.BeginCreate(dir.File("c.tzc")).ok);
  CollectionCommands::Tick tick;
  do {
    tick = commands.AnalyseTick();
  } while (tick.more);
  EXPECT_FALSE(tick.report.ok);
  EXPECT_EQ(tick.report.message,
            std::optional<std::string>("Unable to save the Image Collection \"" +
                                       dir.File("c.tzc") + "\"!"));
  EXPECT_TRUE(fs::is_directory(dir.File("c.tzc")));
}

TEST(CollectionCommandsTest, LoadReportsWrongVersionsAndMissingFiles) {
  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  CollectionCommands commands(collection);
  CollectionCommands::Report report = commands.Load(dir.File("missing.tzc"));
  EXPECT_FALSE(report.ok);
  EXPECT_EQ(report.message, std::optional<std::string>("Error reading the Image Collection!"));

  std::ofstream(dir.File("old.tzc"), std::ios::binary).write("\x6B\0\0\0\x0C\0\0\0\x08\0\0\0", 12);
  report = commands.Load(dir.File("old.tzc"));
  EXPECT_TRUE(report.ok);
  EXPECT_EQ(prompt.messages, std::vector<std::string>{"Wrong File version!"});
  EXPECT_EQ(report.status.rfind("Images in Collection 0, Load Completed 100%", 0), 0u);
}

}  // namespace
}  // namespace tessarix::test
