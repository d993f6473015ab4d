#include <gtest/gtest.h>

#include "collection/image_collection.h"

namespace tessarix {
namespace {

CollectionEntry& AddPath(ImageCollection& c, const std::string& path) {
  auto e = std::make_unique<CollectionEntry>();
  e->path = path;
  return c.Add(std::move(e));
}

std::vector<std::string> IndexPaths(const ImageCollection& c) {
  std::vector<std::string> out;
  for (const CollectionEntry* e : c.PathIndex()) out.push_back(e->path);
  return out;
}

TEST(ImageCollectionTest, IndexIsInByteOrderListInInsertionOrder) {
  ImageCollection c;
  for (const char* p : {"/b", "/a", "/B", "/\xC3\xA9", "/a/x", "/a"}) AddPath(c, p);
  // Capitals before small letters, a prefix before its extensions, bytes above 127 last.
  EXPECT_EQ(IndexPaths(c), (std::vector<std::string>{"/B", "/a", "/a", "/a/x", "/b", "/\xC3\xA9"}));
  EXPECT_EQ(c.Entry(0).path, "/b");
  EXPECT_EQ(c.Entry(5).path, "/a");
  // An equal path goes before the one already there.
  EXPECT_EQ(c.PathIndex()[1], &c.Entry(5));
  EXPECT_EQ(c.FindByPath("/a/x"), &c.Entry(4));
  EXPECT_EQ(c.FindByPath("/a/"), nullptr);
  EXPECT_EQ(c.FindByPath("/c"), nullptr);
  EXPECT_EQ(c.FindByPath(""), nullptr);
}

TEST(ImageCollectionTest, RemovingOneOfTwoEqualPathsKeepsTheOther) {
  ImageCollection c;
  CollectionEntry& first = AddPath(c, "/same");
  AddPath(c, "/other");
  CollectionEntry& second = AddPath(c, "/same");  // sits before `first` in the index
  c.Remove(&first);
  ASSERT_EQ(c.Size(), 2u);
  ASSERT_EQ(c.PathIndex().size(), 2u);
  EXPECT_EQ(c.FindByPath("/same"), &second);
  // Every index element is still an entry of the list.
  for (const CollectionEntry* e : c.PathIndex()) {
    EXPECT_TRUE(e == &c.Entry(0) || e == &c.Entry(1));
  }
  EXPECT_EQ(c.Entry(0).path, "/other");
}

TEST(ImageCollectionTest, RemoveInvalidKeepsOrder) {
  ImageCollection c;
  for (const char* p : {"/d", "/c", "/b", "/a"}) AddPath(c, p);
  c.Entry(1).valid = 0;
  c.Entry(3).valid = 0;
  c.RemoveInvalid();
  ASSERT_EQ(c.Size(), 2u);
  EXPECT_EQ(c.Entry(0).path, "/d");
  EXPECT_EQ(c.Entry(1).path, "/b");
  EXPECT_EQ(IndexPaths(c), (std::vector<std::string>{"/b", "/d"}));
}

TEST(ImageCollectionTest, FramesAndRequiredMarks) {
  ImageCollection c;
  AddPath(c, "/Pics/x/2.jpg");
  AddPath(c, "/Pics/FRAMES_A/1.jpg");
  AddPath(c, "/Pics/Required/a.jpg");
  AddPath(c, "/Pics/NotRequired/a.jpg");
  AddPath(c, "/Pics/movie_frames00001/b.jpg");
  c.Entry(0).sequenceNumber = 9;  // stale marks are cleared first
  c.Entry(0).required = 1;
  c.MarkFramesAndRequired();
  // Index: FRAMES_A (0), NotRequired (1), Required (2), movie_frames (3), x (4).
  EXPECT_EQ(c.Entry(1).sequenceNumber, 1u);
  EXPECT_EQ(c.Entry(4).sequenceNumber, 4u);  // any letter case
  EXPECT_EQ(c.Entry(0).sequenceNumber, 0u);
  EXPECT_EQ(c.Entry(0).required, 0);
  EXPECT_EQ(c.Entry(2).required, 1);
  EXPECT_EQ(c.Entry(3).required, 0);  // no slash directly before REQUIRED
  EXPECT_EQ(c.Entry(2).sequenceNumber, 0u);
}

TEST(ImageCollectionTest, ClearAndDescriptions) {
  ImageCollection c;
  EXPECT_EQ(c.description, "(Please Load an existing collection or Create a new one)");
  c.filePath = "/p/a.tzc";
  c.imageFolder = "/p/";
  for (int i = 0; i < 12; ++i) AddPath(c, "/p/" + std::to_string(i) + ".jpg");
  c.SetLoadedDescription();
  EXPECT_EQ(c.description, "The Collection contains 12 Images.");
  c.Clear();
  EXPECT_TRUE(c.IsEmpty());
  EXPECT_TRUE(c.PathIndex().empty());
  EXPECT_EQ(c.filePath, "");
  EXPECT_EQ(c.imageFolder, "");
  EXPECT_EQ(c.description, "(Please Load an existing collection or Create a new one)");
}

TEST(ImageCollectionTest, BlackAndWhiteKeepsTransparencyAndRecomputesMean) {
  ImageCollection c;
  CollectionEntry& e = AddPath(c, "/a.jpg");
  e.info.grid.fill(MakePixel(144, 96, 48));
  e.info.grid[7] = MakePixel(10, 20, 31, 255);  // (61 / 3 = 20), no weight in the mean
  RecomputeColorInfo(e.info);
  c.MakeBlackAndWhite();
  EXPECT_EQ(e.info.grid[0], MakePixel(96, 96, 96));
  EXPECT_EQ(e.info.grid[7], MakePixel(20, 20, 20, 255));
  EXPECT_EQ(e.info.average, MakePixel(96, 96, 96, 2));  // 256 * 255 / (96 * 256) = 2
  EXPECT_EQ(e.info.opaque, 0u);
}

TEST(FolderOfTest, CutsAfterTheLastSlash) {
  EXPECT_EQ(FolderOf("/a/b.jpg"), "/a/");
  EXPECT_EQ(FolderOf("/a/b/"), "/a/b/");
  EXPECT_EQ(FolderOf("/b.jpg"), "/");
  EXPECT_EQ(FolderOf("b.jpg"), "");
}

}  // namespace
}  // namespace tessarix
