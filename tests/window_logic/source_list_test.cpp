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

using test::TempDir;

void Touch(const std::string& path) {
  std::ofstream(path) << "x";
}

// Birth times have whole-second resolution in the file status; wait for the next second.
void NextSecond() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
}

TEST(SourceListTest, KeepsAlphabeticalOrderAndDuplicatesFromAdd) {
  SourceList list;
  EXPECT_EQ(list.Add("/p/B.jpg"), 0u);
  EXPECT_EQ(list.Add("/p/A.jpg"), 0u);
  EXPECT_EQ(list.Add("/p/c.jpg"), 2u);  // letter case does not push lower case to the end
  EXPECT_EQ(list.Add("/p/B.jpg"), 2u);  // added again on purpose: listed twice, after the first
  EXPECT_EQ(list.Entries(),
            (std::vector<std::string>{"/p/A.jpg", "/p/B.jpg", "/p/B.jpg", "/p/c.jpg"}));
  EXPECT_EQ(list.First(), "/p/A.jpg");
}

TEST(SourceListTest, RemoveReportsWhetherTheFirstEntryWent) {
  SourceList list;
  for (const char* p : {"/a.jpg", "/b.jpg", "/c.jpg", "/d.jpg"}) list.Add(p);
  EXPECT_FALSE(list.Remove({2}));
  // Unsorted, repeated and out-of-range indices remove exactly the named entries.
  EXPECT_TRUE(list.Remove({2, 0, 2, 9}));
  EXPECT_EQ(list.Entries(), std::vector<std::string>{"/b.jpg"});
  EXPECT_FALSE(list.Remove({}));
  list.Clear();
  EXPECT_FALSE(list.Remove({0}));
  EXPECT_FALSE(list.First().has_value());
}

TEST(SourceListTest, DroppedFilesIgnoreCaseDuplicatesAndOverlongPaths) {
  SourceList list;
  list.Add("/photos/Sea.jpg");
  const std::string longest = "/" + std::string(259, 'x');  // 260 characters: still accepted
  const std::string tooLong = longest + "y";
  EXPECT_EQ(list.AddDropped({"/PHOTOS/sea.JPG", "/photos/notes.txt", "/photos/notes.txt", tooLong,
                             longest, ""}),
            2u);
  EXPECT_EQ(list.Entries(),
            (std::vector<std::string>{"/photos/notes.txt", "/photos/Sea.jpg", longest}));
}

TEST(SourceListTest, AddDirectorySkipsOwnFilesAndUpToDateMosaics) {
  TempDir dir;
  // Old.jpg has a mosaic made after it: up to date. New.jpg was made after its mosaic.
  Touch(dir.File("Old.jpg"));
  Touch(dir.File("New Mosaic.JPG"));
  NextSecond();
  Touch(dir.File("Old Mosaic.JPG"));
  Touch(dir.File("New.jpg"));
  // A mosaic made in the same second counts as up to date.
  Touch(dir.File("Same.jpg"));
  Touch(dir.File("Same Mosaic.JPG"));
  Touch(dir.File("Plain.JPEG"));  // not the JPG extension: not listed
  Touch(dir.File("pic MaskInfo.JPG"));
  Touch(dir.File("pic FotoInfo.JPG"));
  Touch(dir.File("lower.JpG"));
  std::filesystem::create_directory(dir.Path() / "sub");
  Touch(dir.File("sub/Deep.jpg"));

  SourceList list;
  EXPECT_EQ(list.AddDirectory(dir.File("Old.jpg")), 2u);
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{dir.File("lower.JpG"), dir.File("New.jpg")}));
  EXPECT_TRUE(SkipForDirectory(dir.File("missing.jpg")));
}

TEST(SourceListTest, MeasuresDecodablePhotosOnly) {
  TempDir dir;
  test::WriteJpeg(test::MakeFlatImage(37, 21, 0x00336699), dir.File("m.jpg"));
  Touch(dir.File("broken.jpg"));
  const auto size = MeasureSource(dir.File("m.jpg"));
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(std::pair(size->width, size->height), std::pair(37u, 21u));
  EXPECT_FALSE(MeasureSource(dir.File("broken.jpg")).has_value());
  EXPECT_FALSE(MeasureSource(dir.File("none.jpg")).has_value());
}

}  // namespace
}  // namespace tessarix
