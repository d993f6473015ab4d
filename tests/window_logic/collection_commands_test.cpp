#include "window_logic/collection_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "collection/collection_file.h"
#include "imaging/sample_photos.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

// Runs a started create or update to its end.
CollectionCommands::Report Finish(CollectionCommands& commands) {
  CollectionCommands::Tick tick;
  for (int i = 0; i < 1000 && commands.Running(); ++i) tick = commands.AnalyseTick();
  return tick.report;
}

class CollectionFileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    for (uint32_t i = 0; i < 2; ++i)
      WriteJpeg(MakeSamplePhoto(i, 30, 20), dir.File("t" + std::to_string(i) + ".jpg"));
  }

  TempDir dir;
  RecordingPrompt prompt;
};

// Create refuses an existing file that is no collection of this version; update never saves over
// a file it could not read, whether the window loaded it first or the command line starts from
// the name alone.
TEST_F(CollectionFileCommands, FilesThatCannotBeReadAreNeverSavedOver) {
  std::filesystem::create_directory(dir.File("folder.tzc"));
  std::ofstream(dir.File("old.tzc"), std::ios::binary) << "XXXXXXXXXXXXXXXX";
  std::ofstream(dir.File("cut.tzc"), std::ios::binary) << std::string("\x6c\0\0\0\x0c\0\0", 7);
  enum How { kCreate, kLoadThenUpdate, kUpdate };
  const std::string notCreated =
      "Not created: the file exists and cannot be read as an Image Collection!\n";
  const std::string notUpdated = "Not updated: the Image Collection cannot be read!\n";
  const struct {
    const char* name;
    How how;
    std::string said;
  } cases[] = {
      {"old.tzc", kCreate, notCreated + dir.File("old.tzc") + ": wrong file version"},
      {"folder.tzc", kCreate, notCreated + dir.File("folder.tzc") + ": not a regular file"},
      {"old.tzc", kLoadThenUpdate, notUpdated + dir.File("old.tzc") + ": wrong file version"},
      {"cut.tzc", kUpdate, notUpdated + dir.File("cut.tzc") + ": damaged or cut short"},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File(c.name);
    const std::vector<unsigned char> before = ReadBytes(path);  // none for the folder
    ImageCollection collection;
    CollectionCommands commands(collection);
    ASSERT_TRUE(c.how != kLoadThenUpdate || commands.Load(path).ok);
    collection.filePath = path;
    const CollectionCommands::Report report =
        c.how == kCreate ? commands.BeginCreate(path) : commands.BeginUpdate();
    EXPECT_EQ(std::tuple(report.ok, report.refused, report.message),
              std::tuple(false, c.how == kCreate, std::optional(c.said)));
    Finish(commands);
    EXPECT_EQ(ReadBytes(path), before) << c.name;
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder.tzc")));
  EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
}

// The window read the collection before another program saved it: its update starts from what
// the file holds now, so neither the other program's grey thumbnails nor its own are lost.
TEST_F(CollectionFileCommands, UpdateStartsFromTheFileAnotherProgramSaved) {
  for (const bool windowTurnsGrey : {false, true}) {
    const std::string path = dir.File(windowTurnsGrey ? "w.tzc" : "o.tzc");
    ImageCollection window, other, saved;
    CollectionCommands commands(window);
    ASSERT_TRUE(commands.BeginCreate(path).ok && Finish(commands).ok);
    other.filePath = saved.filePath = path;
    ASSERT_TRUE(LoadCollectionFile(other));
    if (!windowTurnsGrey)
      other.MakeBlackAndWhite();
    ASSERT_TRUE(SaveCollection(other));
    if (windowTurnsGrey)
      commands.MakeBlackAndWhite();

    ASSERT_TRUE(commands.BeginUpdate().ok && Finish(commands).ok);
    ASSERT_TRUE(LoadCollectionFile(saved));
    EXPECT_EQ(saved.Size(), 2u);
    for (size_t i = 0; i < saved.Size(); ++i)
      for (const Pixel p : saved.Entry(i).info.grid)
        EXPECT_TRUE(Red(p) == Green(p) && Green(p) == Blue(p)) << windowTurnsGrey << " " << i;
  }
}

}  // namespace
}  // namespace tessarix::test
