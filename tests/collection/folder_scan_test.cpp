#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "collection/folder_scan.h"
#include "collection/image_collection.h"
#include "test_support.h"

namespace tessarix {
namespace {
namespace fs = std::filesystem;

void Touch(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "x";
}

std::vector<std::string> ListPaths(const ImageCollection& c, const std::string& base) {
  std::vector<std::string> out;
  for (size_t i = 0; i < c.Size(); ++i) out.push_back(c.Entry(i).path.substr(base.size()));
  return out;
}

// Only the listed extensions, in any letter case; files before subfolders, each sorted by bytes.
// A listing by pattern matches the extension in any letter case and adds to what the list held.
TEST(FolderScanTest, ExtensionsPatternsAndOrder) {
  test::TempDir dir;
  for (const char* name :
       {"d.png", "a.JPG", "e", ".jpg", "photo.jpg.bak", "c.Jpe", "b.jpeg", "f.JPG|JPEG", "g.",
        "h.jp", "z.jpg", "B.jpg", "sub/m.jpg", "sub/deeper/n.jpg", "sub/zz.jpg", "Asub/k.jpg"}) {
    Touch(dir.Path() / name);
  }
  fs::create_directory(dir.Path() / "folder.jpg");  // a folder is never an image
  ImageCollection c, flat;
  EXPECT_TRUE(c.ScanFolder(dir.Folder(), ImageCollection::kExtensions, true));
  const std::vector<std::string> all = {"B.jpg",     "a.JPG",      "b.jpeg",
                                        "c.Jpe",     "z.jpg",      "Asub/k.jpg",
                                        "sub/m.jpg", "sub/zz.jpg", "sub/deeper/n.jpg"};
  EXPECT_EQ(ListPaths(c, dir.Folder()), all);
  flat.ScanFolder(dir.Folder(), ImageCollection::kExtensions, false);
  EXPECT_EQ(ListPaths(flat, dir.Folder()), std::vector<std::string>(all.begin(), all.begin() + 5));

  std::vector<std::string> list{dir.Folder() + "kept"};
  ListFiles(dir.Folder(), "*.JPG", true, list);
  for (std::string& path : list) path.erase(0, dir.Folder().size());
  EXPECT_EQ(list, (std::vector<std::string>{"kept", ".jpg", "B.jpg", "a.JPG", "z.jpg", "Asub/k.jpg",
                                            "sub/m.jpg", "sub/zz.jpg", "sub/deeper/n.jpg"}));
  list.clear();
  ListFiles(dir.Folder(), "*.*", false, list);
  EXPECT_EQ(list.size(), 12u);  // every file of the top folder
}

TEST(FolderScanTest, LinksToFilesCountLinksToFoldersAndMissingFoldersGiveNothing) {
  test::TempDir dir, outside;
  Touch(outside.Path() / "x.jpg");
  Touch(outside.Path() / "inner/y.jpg");
  Touch(dir.Path() / "own.jpg");
  fs::create_symlink(outside.Path() / "x.jpg", dir.Path() / "link.jpg");
  fs::create_symlink(outside.Path() / "missing.jpg", dir.Path() / "broken.jpg");
  fs::create_directory_symlink(outside.Path(), dir.Path() / "elsewhere");
  fs::create_directory_symlink(dir.Path(), dir.Path() / "loop");  // would never end if followed
  ImageCollection c;
  EXPECT_TRUE(c.ScanFolder(dir.Folder(), ImageCollection::kExtensions, true));
  EXPECT_EQ(ListPaths(c, dir.Folder()), (std::vector<std::string>{"link.jpg", "own.jpg"}));

  // A missing folder, or a plain file handed over as one, lists nothing and the scan goes on.
  ImageCollection none;
  EXPECT_TRUE(none.ScanFolder("/nonexistent-tessarix-folder/", ImageCollection::kExtensions, true));
  EXPECT_TRUE(none.ScanFolder(dir.File("own.jpg") + "/", ImageCollection::kExtensions, true));
  EXPECT_TRUE(none.IsEmpty());
}

TEST(FolderScanTest, RescanKeepsPlacesAndAnalysesDropsGoneAppendsNew) {
  test::TempDir dir;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "sub/d.jpg"}) Touch(dir.Path() / name);
  ImageCollection c;
  c.imageFolder = dir.Folder();
  ASSERT_TRUE(c.Rescan());
  ASSERT_EQ(c.Size(), 4u);
  for (size_t i = 0; i < c.Size(); ++i) c.Entry(i).pixelWidth = static_cast<uint32_t>(100 + i);

  fs::remove(dir.Path() / "b.jpg");
  Touch(dir.Path() / "0.jpg");  // sorts first, but is new: goes to the end
  Touch(dir.Path() / "sub/e.jpg");
  ASSERT_TRUE(c.Rescan());
  EXPECT_EQ(ListPaths(c, dir.Folder()),
            (std::vector<std::string>{"a.jpg", "c.jpg", "sub/d.jpg", "0.jpg", "sub/e.jpg"}));
  for (const auto& [i, width] : {std::pair{0, 100u}, {1, 102u}, {2, 103u}, {3, 0u}})
    EXPECT_EQ(c.Entry(static_cast<size_t>(i)).pixelWidth, width) << i;
  EXPECT_EQ(c.PathIndex().size(), 5u);
  EXPECT_EQ(c.FindByPath(dir.File("b.jpg")), nullptr);

  ImageCollection none;
  EXPECT_FALSE(none.Rescan());  // no folder: not the current folder
  EXPECT_TRUE(none.IsEmpty());
}

}  // namespace
}  // namespace tessarix
