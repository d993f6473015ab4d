#include "window_logic/source_list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace tessarix {
namespace {

using Paths = std::vector<std::string>;

void Touch(const std::string& path) {
  std::ofstream(path) << "x";
}

// Alphabetical in any letter case; a name added again is listed twice, after the first, while a
// drop skips names listed in any letter case, empty names and paths over 260 characters.
TEST(SourceListTest, KeepsAlphabeticalOrderAndSkipsDroppedDuplicates) {
  SourceList list;
  const std::string longest = "/" + std::string(259, 'x');
  const std::pair<std::string, size_t> added[] = {
      {"/p/B.jpg", 0}, {"/p/A.jpg", 0}, {"/p/c.jpg", 2}, {"/p/B.jpg", 2}};
  for (const auto& [path, at] : added) EXPECT_EQ(list.Add(path), at) << path;
  EXPECT_EQ(list.AddDropped({"/P/b.JPG", "/p/d.txt", "/p/d.txt", longest + "y", longest, ""}), 2u);
  EXPECT_EQ(list.Entries(),
            (Paths{"/p/A.jpg", "/p/B.jpg", "/p/B.jpg", "/p/c.jpg", "/p/d.txt", longest}));
}

TEST(SourceListTest, RemoveReportsWhetherTheFirstEntryWent) {
  SourceList list;
  for (const char* p : {"/a.jpg", "/b.jpg", "/c.jpg", "/d.jpg"}) list.Add(p);
  EXPECT_FALSE(list.Remove({2}));
  // Unsorted, repeated and out-of-range indices remove exactly the named entries.
  EXPECT_TRUE(list.Remove({2, 0, 2, 9}));
  EXPECT_EQ(list.Entries(), Paths{"/b.jpg"});
  EXPECT_FALSE(list.Remove({}));
  list.Clear();
  EXPECT_FALSE(list.Remove({0}));
  EXPECT_FALSE(list.First().has_value());
}

// New.jpg was made after its mosaic, Old.jpg before: its mosaic is up to date, as is one made in
// the same second (birth times have whole-second resolution). Not listed either: the program's
// own files, other extensions, subfolders.
TEST(SourceListTest, AddDirectorySkipsOwnFilesAndUpToDateMosaics) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.Path() / "sub");
  for (const char* name : {"Old.jpg", "New Mosaic.JPG", "pic MaskInfo.JPG", "pic FotoInfo.JPG"})
    Touch(dir.File(name));
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  for (const char* name : {"Old Mosaic.JPG", "New.jpg", "Same.jpg", "Same Mosaic.JPG", "Plain.JPEG",
                           "lower.JpG", "sub/Deep.jpg"})
    Touch(dir.File(name));
  SourceList list;
  EXPECT_EQ(list.AddDirectory(dir.File("Old.jpg")), 2u);
  EXPECT_EQ(list.Entries(), (Paths{dir.File("lower.JpG"), dir.File("New.jpg")}));
}

}  // namespace
}  // namespace tessarix
