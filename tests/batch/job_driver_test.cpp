#include "batch/job_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "imaging/sample_photos.h"
#include "platform/text_format.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

namespace fs = std::filesystem;

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir.Path() / "tiles");
    for (uint32_t i = 0; i < 12; ++i)
      WriteJpeg(MakeSamplePhoto(7 + i, 60, 40), dir.File("tiles/t" + std::to_string(i) + ".jpg"));
    collection.imageFolder = dir.Folder() + "tiles/";
    collection.filePath = collection.imageFolder + "all.tzc";
    collection.Rescan();
    collection.StartAnalysis();
    while (collection.AnalyseSome()) {
    }
    WriteJpeg(MakeSampleScene(300, 200), dir.File("a.jpg"));
    WriteJpeg(MakeSampleScene(150, 100), dir.File("c.jpg"));
  }

  BatchOutcome Run(const std::vector<std::string>& names, const TempDir* folder = nullptr) {
    std::deque<std::string> sources;
    for (const std::string& name : names) sources.push_back((folder ? *folder : dir).File(name));
    return RunBatch(job, parameters, options, sources, collection);
  }

  TempDir dir;
  RecordingPrompt prompt;
  ImageCollection collection;
  MosaicJob job;
  BatchParameters parameters;
  BatchOptions options;
};

// Each failure names its file and reason; the rows run in this order on one set of files, the
// tiles' rows last since they damage the collection's files.
TEST_F(DriverTest, FailuresNameTheFileAndTheReason) {
  const std::string a = dir.File("a.jpg"), c = dir.File("c.jpg");
  // Less than one row of tiles: 100 * 300 / 300 = 100 rows of pixels, tiles 200 high.
  WriteJpeg(MakeSampleScene(300, 100), dir.File("flat.jpg"));
  // 5 tiles of 30 x 20 across 10 pixels: 6000 * 5 * 30 / 10 / 20 = 4500 rows.
  WriteJpeg(MakeSampleScene(10, 6000), dir.File("tall.jpg"));
  WriteJpeg(MakeImage(90, 60, [](uint32_t x, uint32_t) { return x < 48 ? 0xE02020u : 0x2040E0u; }),
            dir.File("mask.jpg"), 100);
  const std::string notProcessedAC = "\nNot processed: \"" + a + "\"\nNot processed: \"" + c + "\"";
  // The tiles' rows use every image in a cell, so that each damaged one is loaded.
  enum Tiles { kKept, kDeleted, kDamaged };
  const struct {
    uint32_t tilesPerRow, tileWidth;  // width 0: the mask file `mask` (none: the prompt cancelled)
    const char* mask;
    Tiles tiles;  // what becomes of tiles `first` to `end`
    uint32_t first, end;
    std::vector<std::string> sources, messages;
    std::string status;
  } rows[] = {
      // clang-format off
      {1, 300, "", kKept, 0, 0, {"flat.jpg", "a.jpg", "c.jpg"},
       {"Analysis of Image \"" + dir.File("flat.jpg") +
        "\" failed: it is not high enough for one row of tiles." + notProcessedAC},
       "Ok"},
      {5, 30, "", kKept, 0, 0, {"tall.jpg", "c.jpg"},
       {"Image \"" + dir.File("tall.jpg") +
        "\" skipped: The number of Tiles per Column is 4500 (maximum is 4096). Please change the "
        "Mosaic/Tile Width or the Number of Tiles."},
       "Completed 1 Mosaics!"},
      {5, 0, "none.jpg", kKept, 0, 0, {"a.jpg", "c.jpg"},
       {"The Mask File \"" + dir.File("none.jpg") + "\" cannot be read." + notProcessedAC}, "Ok"},
      // The mask is asked once per batch; a cancelled prompt stops the batch.
      {5, 0, "mask.jpg", kKept, 0, 0, {"a.jpg", "c.jpg"}, {}, "Completed 2 Mosaics!"},
      {5, 0, nullptr, kKept, 0, 0, {"c.jpg"}, {}, "Stopped!"},
      // Deleted tiles are left out of the matching: no cell waits for them.
      {5, 30, "", kDeleted, 0, 6, {"a.jpg"}, {}, "Completed 1 Mosaics!"},
      {5, 30, "", kDamaged, 6, 12, {"a.jpg"},
       {"Tiles that could not be loaded: 6. Their cells in the Mosaic of \"" + a + "\" are black."},
       "Completed 1 Mosaics!"},
      {5, 30, "", kDeleted, 6, 12, {"a.jpg"},
       {"None of the Images of the Collection exists any more: there is nothing to match. Please "
        "update the Image Collection."},
       "Ok"},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.sources[0] + " " + row.status);
    parameters.tilesPerRow = row.tilesPerRow, parameters.tileWidth = row.tileWidth;
    prompt.fileAnswer.reset();
    if (row.mask)
      prompt.fileAnswer = dir.File(row.mask);
    options.useAllImages = row.tiles != kKept;
    for (uint32_t i = row.first; i < row.end; ++i) {
      const std::string tile = dir.File(Format("tiles/t%u.jpg", i));
      if (row.tiles == kDamaged)
        std::ofstream(tile) << "damaged";
      else
        fs::remove(tile);
    }
    prompt.messages.clear();
    fs::remove(dir.File("a Mosaic.JPG"));
    const BatchOutcome outcome = Run(row.sources);
    EXPECT_EQ(prompt.messages, row.messages);
    EXPECT_EQ(job.Status(), row.status);
    EXPECT_EQ(outcome.Failed(), !row.messages.empty());
  }
  EXPECT_FALSE(fs::exists(dir.File("a Mosaic.JPG")));  // nothing to match: nothing written
  EXPECT_EQ(prompt.fileRequests,
            std::vector<std::string>(3, "Images JPEG (*.jpg)|*.jpg;*.jpeg;*.jpe||"));
  // The collection in memory still lists every entry, as its file does.
  EXPECT_EQ(collection.Size(), 12u);
}

// The window's timer polls every text, the progress record and the display queue while the
// worker runs a batch. Run under ThreadSanitizer (make tsan) this is the test that finds a text
// or flag passed between the threads without its lock. A source that cannot be loaded is skipped
// and keeps the overall figure below 100: 2 of 3 made.
TEST_F(DriverTest, WindowPollsWhileTheWorkerSkipsASourceAndMakesTheOthers) {
  JobDriver driver(job, collection);
  ParameterCheckInput input;
  input.fields.tilesPerRow = "8";
  input.fields.mosaicWidth = "320";
  options.textReport = true;
  ASSERT_EQ(
      driver.StartJob(input, options, {dir.File("a.jpg"), dir.File("b.jpg"), dir.File("c.jpg")}),
      JobDriver::Start::Started);
  // A second start while the batch runs only asks; answered no, the batch runs on.
  EXPECT_EQ(driver.StartJob(input, options, {dir.File("c.jpg")}), JobDriver::Start::StopAsked);
  EXPECT_EQ(prompt.questions,
            std::vector<std::string>{
                "There is already a Mosaic process running. Do you want to stop it?"});
  std::string captions;
  // What a timer tick does, one display item per tick; true when it took one.
  auto tick = [&] {
    job.StatusLine();
    double overall = 0;
    job.ProgressLine(&overall);
    EXPECT_TRUE(overall >= 0.0 && overall <= 100.0) << overall;
    job.InfoText();
    job.Progress();
    const auto item = job.TakeDisplayItem();  // one display item per tick
    if (item)
      captions += (item->image ? "image: " : "text: ") + item->caption + "|";
    return item.has_value();
  };
  // A millisecond apart: the worker runs at idle priority, and a poller that never sleeps would
  // starve it on a busy machine.
  while (driver.IsAlive()) {
    tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  driver.Wait();
  // The window goes on ticking after the worker ends: the last posts may still be queued, more
  // than one when the worker finished between two polls.
  while (tick()) {
  }
  const std::string a = dir.File("a.jpg"), c = dir.File("c.jpg");
  EXPECT_EQ(captions, "image: Input: " + a + "|image: Mosaic: " + a + "|image: Input: " + c +
                          "|image: Mosaic: " + c + "|text: Completed 2 Mosaics!|");
  EXPECT_EQ(driver.LastOutcome().skipped, std::vector<std::string>{dir.File("b.jpg")});
  EXPECT_TRUE(fs::exists(dir.File("a Report.TXT")));
  EXPECT_FALSE(fs::exists(dir.File("a.html")));  // the page has its own flag
}

// What a fault while a source's outputs are saved may and may not touch. Before each row the
// folder holds the outputs of an earlier run of a.jpg; each row makes its mosaic another size, so
// that any output written anew differs from the earlier one.
struct OutputFault {
  const char* name;
  const char* source;  // a copy of a.jpg under this name
  uint32_t tilesPerRow, tileWidth;
  uint64_t fileSizeLimit;             // a full disk for files past it
  std::vector<std::string> folders;   // put in these outputs' places
  std::vector<std::string> foreign;   // the person's own files in these outputs' places
  std::vector<std::string> kept;      // as they were before the run (or still missing)
  std::vector<std::string> made;      // written anew
  const char* outcome;                // made also when not saved: only its files are missing
  std::vector<std::string> messages;  // "{}" stands for the folder
};

TEST_F(DriverTest, OutputsOfASourceAreOneSet) {
  const std::vector<std::string> set = {"a Mosaic.JPG", "a Report.TXT", "a.html"};
  constexpr uint64_t kNoLimit = uint64_t{1} << 30;
  const std::string notOurs = "Not replaced (not written by Tessarix): {}";
  // clang-format off
  const OutputFault faults[] = {
      {"the mosaic does not fit: no report or page without it", "a.jpg", 2, 300, 16384, {}, {},
       set, {}, "made 1, saved 0, failed 1",
       {"JpegFile :\nCan't write {}a Mosaic.JPG\nFile too large"}},
      {"a folder in the page's place: the earlier mosaic and report stay", "a.jpg", 8, 30,
       kNoLimit, {"a.html"}, {}, {"a Mosaic.JPG", "a Report.TXT"}, {}, "made 1, saved 0, failed 1",
       {"Unable to write {}a.html\nIs a directory"}},
      {"the earlier outputs are Tessarix's own", "a.jpg", 8, 30, kNoLimit, {}, {}, {}, set,
       "made 1, saved 1, failed 0", {}},
      {"the person's report and page stay", "index .jpg", 5, 30, kNoLimit, {},
       {"index  Report.TXT", "index.html"}, {"index  Report.TXT", "index.html"},
       {"index  Mosaic.JPG"}, "made 1, saved 1, failed 1",
       {notOurs + "index  Report.TXT", notOurs + "index.html"}},
  };
  // clang-format on
  options.textReport = options.webPage = true;
  for (const OutputFault& fault : faults) {
    SCOPED_TRACE(fault.name);
    TempDir folder;
    fs::copy_file(dir.File("a.jpg"), folder.File("a.jpg"));
    fs::copy_file(dir.File("a.jpg"), folder.File(fault.source), fs::copy_options::skip_existing);
    parameters.tilesPerRow = 5, parameters.tileWidth = 30;
    ASSERT_EQ(Run({"a.jpg"}, &folder).mosaics.size(), 1u);
    for (const std::string& name : fault.folders) {
      fs::remove(folder.File(name));
      fs::create_directory(folder.File(name));
    }
    for (const std::string& name : fault.foreign) std::ofstream(folder.File(name)) << "my own";
    std::map<std::string, std::vector<unsigned char>> before;
    for (const auto* names : {&fault.kept, &fault.made})
      for (const std::string& name : *names) before[name] = ReadBytes(folder.File(name));

    parameters.tilesPerRow = fault.tilesPerRow, parameters.tileWidth = fault.tileWidth;
    prompt.messages.clear();
    const LimitedRun run = RunWithFileSizeLimit(fault.fileSizeLimit, [&] {
      const BatchOutcome outcome = Run({fault.source}, &folder);
      std::string report = Format("made %d, saved %zu, failed %d", outcome.completed,
                                  outcome.mosaics.size(), outcome.Failed());
      for (const std::string& message : prompt.messages) report += "|" + message;
      return report;
    });
    std::string expected = fault.outcome;
    for (std::string message : fault.messages)
      expected += "|" + message.replace(message.find("{}"), 2, folder.Folder());
    EXPECT_EQ(run.report, expected);
    for (const std::string& name : fault.kept)
      EXPECT_TRUE(ReadBytes(folder.File(name)) == before[name]) << name << " was replaced";
    for (const std::string& name : fault.made) {
      const std::vector<unsigned char> after = ReadBytes(folder.File(name));
      EXPECT_TRUE(!after.empty() && after != before[name]) << name << " was not written";
    }
    EXPECT_TRUE(LeftoverTemporaries(folder.Path()).empty());
  }
}

}  // namespace
}  // namespace tessarix::test
