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

namespace fs = std::filesystem;

// Runs a started create or update to its end.
CollectionCommands::Report Finish(CollectionCommands& commands) {
  CollectionCommands::Tick tick;
  for (int i = 0; i < 1000 && commands.Running(); ++i) tick = commands.AnalyseTick();
  return tick.report;
}

bool AllGrey(const ImageCollection& collection) {
  for (size_t i = 0; i < collection.Size(); ++i) {
    for (const Pixel p : collection.Entry(i).info.grid) {
      if (Red(p) != Green(p) || Green(p) != Blue(p))
        return false;
    }
  }
  return true;
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
  fs::create_directory(dir.File("folder.tzc"));
  std::ofstream(dir.File("old.tzc"), std::ios::binary) << "XXXXXXXXXXXXXXXX";
  std::ofstream(dir.File("cut.tzc"), std::ios::binary) << std::string("\x6c\0\0\0\x0c\0\0", 7);
  enum How { kCreate, kLoadThenUpdate, kUpdate };
  const char* notCreated =
      "Not created: the file exists and cannot be read as an Image Collection!";
  const char* notUpdated = "Not updated: the Image Collection cannot be read!";
  const struct {
    const char* name;
    How how;
    const char* what;
    const char* reason;
  } cases[] = {
      {"old.tzc", kCreate, notCreated, "wrong file version"},
      {"folder.tzc", kCreate, notCreated, "not a regular file"},
      {"old.tzc", kLoadThenUpdate, notUpdated, "wrong file version"},
      {"old.tzc", kUpdate, notUpdated, "wrong file version"},
      {"cut.tzc", kUpdate, notUpdated, "damaged or cut short"},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File(c.name);
    const auto contents = [&] {
      return fs::is_regular_file(path) ? ReadBytes(path) : std::vector<unsigned char>{};
    };
    const std::vector<unsigned char> before = contents();
    ImageCollection collection;
    CollectionCommands commands(collection);
    if (c.how == kLoadThenUpdate) {
      ASSERT_TRUE(commands.Load(path).ok);
    }
    collection.filePath = path;
    const CollectionCommands::Report report =
        c.how == kCreate ? commands.BeginCreate(path) : commands.BeginUpdate();
    EXPECT_FALSE(report.ok) << c.name;
    EXPECT_EQ(report.refused, c.how == kCreate) << c.name;
    EXPECT_EQ(report.message, std::string(c.what) + "\n" + path + ": " + c.reason);
    Finish(commands);
    EXPECT_EQ(contents(), before) << c.name;
  }
  EXPECT_TRUE(fs::is_directory(dir.File("folder.tzc")));
  EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
}

// The window read the collection before another program saved it: its update starts from what
// the file holds now, so neither the other program's grey thumbnails nor its own are lost.
TEST_F(CollectionFileCommands, UpdateStartsFromTheFileAnotherProgramSaved) {
  for (const bool windowTurnsGrey : {false, true}) {
    const std::string path = dir.File(windowTurnsGrey ? "w.tzc" : "o.tzc");
    ImageCollection window;
    CollectionCommands commands(window);
    ASSERT_TRUE(commands.BeginCreate(path).ok);
    ASSERT_TRUE(Finish(commands).ok);
    ImageCollection other;
    other.filePath = path;
    ASSERT_TRUE(LoadCollectionFile(other));
    if (!windowTurnsGrey)
      other.MakeBlackAndWhite();
    ASSERT_TRUE(SaveCollection(other));
    if (windowTurnsGrey)
      commands.MakeBlackAndWhite();

    ASSERT_TRUE(commands.BeginUpdate().ok);
    ASSERT_TRUE(Finish(commands).ok);
    ImageCollection saved;
    saved.filePath = path;
    ASSERT_TRUE(LoadCollectionFile(saved));
    EXPECT_EQ(saved.Size(), 2u);
    EXPECT_TRUE(AllGrey(saved)) << windowTurnsGrey;
  }
}

}  // namespace
}  // namespace tessarix::test
