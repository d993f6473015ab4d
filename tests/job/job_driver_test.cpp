#include "job/job_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <thread>

#include "imaging/sample_photos.h"
#include "job/collection_commands.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.Path() / "tiles");
    for (uint32_t i = 0; i < 12; ++i)
      WriteJpeg(MakeSamplePhoto(7 + i, 60, 40), dir.File("tiles/t" + std::to_string(i) + ".jpg"));
    collection.imageFolder = dir.Folder() + "tiles/";
    collection.filePath = collection.imageFolder + "all.tzc";
    collection.Rescan();
    collection.StartAnalysis();
    while (collection.AnalyseSome()) {
    }
    ASSERT_EQ(collection.Size(), 12u);
    WriteJpeg(MakeSampleScene(300, 200), dir.File("a.jpg"));
    WriteJpeg(MakeSampleScene(150, 100), dir.File("c.jpg"));
    parameters.tilesPerRow = 5;
    parameters.tileWidth = 30;
  }

  BatchOutcome Run(const std::vector<std::string>& names) {
    std::deque<std::string> sources;
    for (const std::string& name : names) sources.push_back(dir.File(name));
    return RunBatch(job, parameters, options, sources, collection);
  }

  // One display item, as a window's timer tick takes it; empty when none was queued.
  std::string TakeCaption() {
    const auto item = job.TakeDisplayItem();
    return !item ? "" : (item->image ? "image: " : "text: ") + item->caption + "|";
  }

  std::string Captions() {
    std::string captions, caption;
    while (!(caption = TakeCaption()).empty()) captions += caption;
    return captions;
  }

  // What a window shows for a batch of a.jpg and c.jpg made in full.
  std::string BothMade() {
    return "image: Input: " + dir.File("a.jpg") + "|image: Mosaic: " + dir.File("a.jpg") +
           "|image: Input: " + dir.File("c.jpg") + "|image: Mosaic: " + dir.File("c.jpg") +
           "|text: Completed 2 Mosaics!|";
  }

  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  MosaicJob job;
  BatchParameters parameters;
  BatchOptions options;
};

TEST_F(DriverTest, SkipsASourceThatCannotBeLoadedAndCountsOnlyMadeMosaics) {
  options.textReport = true;
  const BatchOutcome outcome = Run({"a.jpg", "b.jpg", "c.jpg"});
  EXPECT_EQ(outcome.completed, 2);
  EXPECT_EQ(outcome.skipped, std::vector<std::string>{dir.File("b.jpg")});
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(Captions(),
            "image: Input: " + dir.File("a.jpg") + "|image: Mosaic: " + dir.File("a.jpg") +
                "|image: Input: " + dir.File("c.jpg") + "|image: Mosaic: " + dir.File("c.jpg") +
                "|text: Completed 2 Mosaics!|");
  EXPECT_EQ(job.Status(), "Completed 2 Mosaics!");
  EXPECT_TRUE(fs::exists(dir.File("c Mosaic.JPG")));
  EXPECT_TRUE(fs::exists(dir.File("a Report.TXT")));
  EXPECT_FALSE(fs::exists(dir.File("a.html")));  // the page has its own flag
  // The skipped source keeps the overall figure below 100: 2 of 3 made.
  double overall = 0;
  const std::string line = job.ProgressLine(&overall);
  EXPECT_NEAR(overall, 200.0 / 3.0, 1e-9);
  EXPECT_NE(line.find("Mosaic nr.2/3"), std::string::npos) << line;
}

TEST_F(DriverTest, FailedAnalysisEndsTheBatchWithTheFinishMessage) {
  // A tile as wide as the photo leaves less than one row of tiles: no cells, nothing to match.
  parameters.tilesPerRow = 1;
  parameters.tileWidth = 300;
  WriteJpeg(MakeSampleScene(300, 100), dir.File("flat.jpg"));
  const BatchOutcome outcome = Run({"flat.jpg", "a.jpg"});
  EXPECT_TRUE(outcome.analysisFailed);
  EXPECT_EQ(outcome.completed, 0);
  EXPECT_EQ(job.Status(), "Ok");
  EXPECT_FALSE(fs::exists(dir.File("a Mosaic.JPG")));  // later sources are not processed
  const std::string captions = Captions();
  EXPECT_EQ(captions.substr(captions.rfind("text:")), "text: Ok|");
}

TEST_F(DriverTest, MaskIsAskedOnceAndCancellingStops) {
  parameters.tileWidth = 0;
  const Image mask = MakeImage(90, 60, [](uint32_t x, uint32_t y) {
    return (x < 48) == (y < 32) ? MakePixel(230, 40, 40) : MakePixel(30, 60, 220);
  });
  WriteJpeg(mask, dir.File("mask.jpg"), 100);
  prompt.fileAnswer = dir.File("mask.jpg");
  EXPECT_EQ(Run({"a.jpg", "c.jpg"}).completed, 2);
  EXPECT_EQ(prompt.fileRequests,
            std::vector<std::string>{"Images JPEG (*.jpg)|*.jpg;*.jpeg;*.jpe||"});
  ASSERT_TRUE(fs::remove(dir.File("a Mosaic.JPG")));
  prompt.fileAnswer.reset();
  Captions();
  EXPECT_TRUE(Run({"a.jpg"}).stopped);
  EXPECT_EQ(job.Status(), "Stopped!");
  EXPECT_FALSE(fs::exists(dir.File("a Mosaic.JPG")));
  EXPECT_EQ(Captions().find("text:"), std::string::npos);
}

// The window's timer polls every text, the progress record and the display queue while the
// worker runs a batch. Run under ThreadSanitizer (make tsan) this is the test that finds a text
// or flag passed between the threads without its lock.
TEST_F(DriverTest, WindowPollsEverythingWhileTheWorkerRuns) {
  JobDriver driver(job, collection);
  ParameterCheckInput input;
  input.fields.tilesPerRow = "8";
  input.fields.mosaicWidth = "320";
  options.textReport = true;
  options.webPage = true;
  ASSERT_EQ(driver.StartJob(input, options, {dir.File("a.jpg"), dir.File("c.jpg")}),
            JobDriver::Start::Started);
  std::string captions;
  int polls = 0;
  // What a timer tick does, one display item per tick; true when it took one.
  auto tick = [&] {
    ++polls;
    job.StatusLine();
    double overall = 0;
    job.ProgressLine(&overall);
    EXPECT_GE(overall, 0.0);
    EXPECT_LE(overall, 100.0);
    job.InfoText();
    job.Progress();
    job.StatusSeen();
    const std::string caption = TakeCaption();
    captions += caption;
    return !caption.empty();
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  // A millisecond apart: the worker runs at idle priority, and a poller that never sleeps would
  // starve it on a busy machine.
  while (driver.IsAlive() && std::chrono::steady_clock::now() < deadline) {
    tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  driver.Wait();
  // The window goes on ticking after the worker ends: the last posts may still be queued, more
  // than one when the worker finished between two polls.
  while (tick()) {
  }
  EXPECT_GT(polls, 1);
  EXPECT_EQ(captions, BothMade());
  EXPECT_EQ(job.Status(), "Completed 2 Mosaics!");
  EXPECT_FALSE(job.IsRunning());
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

// A full disk: the earlier outputs stay as they were, the person is told, the batch goes on.
TEST_F(DriverTest, FullDiskKeepsEarlierOutputsReportsAndGoesOn) {
  options.textReport = true;
  options.webPage = true;
  const std::vector<std::string> earlier = {"a Mosaic.JPG", "a Report.TXT", "a.html",
                                            "c Mosaic.JPG", "c Report.TXT", "c.html"};
  for (const std::string& name : earlier) std::ofstream(dir.File(name)) << "earlier " << name;
  // 200 bytes: no mosaic, report or page of these sizes fits, the earlier files already exist.
  const LimitedRun run = RunWithFileSizeLimit(200, [&] {
    const BatchOutcome outcome = Run({"a.jpg", "c.jpg"});
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
  for (const std::string& name : earlier)
    EXPECT_EQ(ReadBytes(dir.File(name)), Bytes("earlier " + name)) << name;
  EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
}

// Folders stand where the first source's outputs would go; the second is written as usual.
TEST_F(DriverTest, UnreplaceableTargetsOfOneSourceLeaveTheNextOneAlone) {
  options.textReport = true;
  options.webPage = true;
  for (const char* name : {"a Mosaic.JPG", "a Report.TXT", "a.html"}) {
    fs::create_directory(dir.File(name));
    std::ofstream(dir.File(name) + "/kept") << "kept";
  }
  const BatchOutcome outcome = Run({"a.jpg", "c.jpg"});
  EXPECT_EQ(outcome.mosaics, std::vector<std::string>{dir.File("c Mosaic.JPG")});
  EXPECT_EQ(outcome.unsaved, std::vector<std::string>{dir.File("a Mosaic.JPG")});
  EXPECT_EQ(prompt.messages,
            std::vector<std::string>{"JpegFile :\nCan't open " + dir.File("a Mosaic.JPG") + "\n"});
  for (const char* name : {"a Mosaic.JPG", "a Report.TXT", "a.html"})
    EXPECT_EQ(ReadBytes(dir.File(name) + "/kept"), Bytes("kept")) << name;
  Image written;
  EXPECT_TRUE(written.LoadJpeg(dir.File("c Mosaic.JPG")));
  EXPECT_GT(ReadBytes(dir.File("c Report.TXT")).size(), 0u);
  EXPECT_GT(ReadBytes(dir.File("c.html")).size(), 0u);
  EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
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

}  // namespace
}  // namespace tessarix::test
