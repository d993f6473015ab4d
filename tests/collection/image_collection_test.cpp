#include <gtest/gtest.h>

#include <tuple>

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

// Removing one of two equal paths must take that entry out of the index, not its twin.
TEST(ImageCollectionTest, RemovalKeepsListOrderAndIndex) {
  ImageCollection c;
  CollectionEntry& first = AddPath(c, "/same");
  for (const char* p : {"/d", "/c", "/b"}) AddPath(c, p);
  CollectionEntry& second = AddPath(c, "/same");  // sits before `first` in the index
  c.Remove(&first);
  EXPECT_EQ(c.FindByPath("/same"), &second);
  c.Entry(1).valid = 0;
  c.RemoveInvalid();
  ASSERT_EQ(c.Size(), 3u);
  EXPECT_EQ(std::tuple(c.Entry(0).path, c.Entry(1).path, &c.Entry(2)),
            std::tuple("/d", "/b", &second));
  EXPECT_EQ(c.PathIndex(), (std::vector<CollectionEntry*>{&c.Entry(1), &c.Entry(0), &second}));
}

TEST(ImageCollectionTest, FramesAndRequiredMarks) {
  ImageCollection c;
  for (const char* p : {"/Pics/x/2.jpg", "/Pics/FRAMES_A/1.jpg", "/Pics/Required/a.jpg",
                        "/Pics/NotRequired/a.jpg", "/Pics/movie_frames00001/b.jpg"})
    AddPath(c, p);
  c.Entry(0).sequenceNumber = 9;  // stale marks are cleared first
  c.Entry(0).required = true;
  c.MarkFramesAndRequired();
  // Index: FRAMES_A (0), NotRequired (1), Required (2), movie_frames (3), x (4). FRAMES in any
  // letter case; REQUIRED only with a slash directly before it.
  std::vector<std::pair<uint32_t, bool>> marks;
  for (size_t i = 0; i < 5; ++i) marks.emplace_back(c.Entry(i).sequenceNumber, c.Entry(i).required);
  EXPECT_EQ(marks, (std::vector<std::pair<uint32_t, bool>>{
                       {0, false}, {1, false}, {0, true}, {0, false}, {4, false}}));
}

TEST(ImageCollectionTest, BlackAndWhiteKeepsTransparencyAndRecomputesMean) {
  ImageCollection c;
  CollectionEntry& e = AddPath(c, "/a.jpg");
  e.info.grid.fill(MakePixel(144, 96, 48));
  e.info.grid[7] = MakePixel(10, 20, 31, 255);  // (61 / 3 = 20), no weight in the mean
  RecomputeColorInfo(e.info);
  c.MakeBlackAndWhite();
  // Mean T: 256 * 255 / (96 * 256) = 2.
  EXPECT_EQ(
      std::tuple(e.info.grid[0], e.info.grid[7], e.info.average, e.info.opaque),
      std::tuple(MakePixel(96, 96, 96), MakePixel(20, 20, 20, 255), MakePixel(96, 96, 96, 2), 0u));
}

}  // namespace
}  // namespace tessarix
