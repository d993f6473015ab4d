#include "engine/report.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/output_names.h"
#include "engine/web_page.h"
#include "test_support.h"

namespace tessarix {
namespace {

std::string ReadText(const std::string& path) {
  const std::vector<unsigned char> bytes = test::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

MosaicCell Cell(uint32_t left, uint32_t top, uint32_t width, uint32_t height) {
  MosaicCell cell;
  cell.left = left, cell.top = top, cell.width = width, cell.height = height;
  cell.area = width * height, cell.hasInfo = 1;
  return cell;
}

TEST(TextReport, ExactBytesOfASmallMosaic) {
  test::TempDir dir;
  CollectionEntry beach, frame;
  beach.path = "/photos/beach.jpg", beach.useCount = 2;
  frame.path = "/movie_FRAMES00001/f00007.jpg", frame.useCount = 1, frame.sequenceNumber = 7;
  std::vector<MosaicCell> cells = {Cell(0, 0, 30, 20), Cell(0, 20, 30, 20), Cell(30, 0, 30, 20),
                                   Cell(30, 20, 30, 20)};
  cells[0].assigned = &beach, cells[0].assignedDistance = 100;
  cells[1].hasInfo = 0;  // analysis failed: never filled
  cells[2].assigned = &frame, cells[2].assignedDistance = 51;
  cells[3].assigned = &beach, cells[3].assignedDistance = 0;
  EngineParameters params;
  params.modifyLimit = 25;  // 10 % entered
  params.minDuplicateDistance = 15;
  params.minSequenceDistance = 3;
  params.algorithm = kFlipHorizontal;

  const std::string path = dir.File("Beach Report.TXT");
  ASSERT_TRUE(WriteTextReport(cells, params, path));
  EXPECT_EQ(ReadText(path),
            "Number of tiles in the Mosaic:\t3\t(Total 4 pieces)\r\n"
            "Size (pixel): \t60x40\r\n"
            "Average Difference of Mosaic compared to the original Image (higher values means "
            "less quality): \t50\r\n"
            "How much can I modify every tile: \t9%\r\n"
            "Minimum distance between duplicate tiles: \t15\r\n"
            "Minimum distance between sequences: \t3\r\n"
            "Algorithm: \t2\r\n"
            "\r\n"
            "Position Left x Top\tImage\tSequence\tDifference\tUsed Count\r\n"
            "0x0 \t/photos/beach.jpg\t0\t100\t2\r\n"
            "0x20!\t-\t0\t0\t0\r\n"
            "30x0 \t/movie_FRAMES00001/f00007.jpg\t7\t51\t1\r\n"
            "30x20 \t/photos/beach.jpg\t0\t0\t2\r\n");
}

TEST(TextReport, HeaderFiguresAtTheirLimits) {
  test::TempDir dir;
  const std::string path = dir.File("r.txt");
  CollectionEntry entry;
  entry.path = "/t.jpg";
  std::vector<MosaicCell> cells = {Cell(0, 0, 10, 10), Cell(10, 0, 10, 10)};
  // Two large differences: a 32-bit sum would wrap and report 1852516352.
  for (MosaicCell& cell : cells) cell.assigned = &entry, cell.assignedDistance = 4000000000u;
  EngineParameters params;
  params.modifyLimit = 76;  // 30 % entered
  ASSERT_TRUE(WriteTextReport(cells, params, path));
  EXPECT_NE(
      ReadText(path).find("quality): \t4000000000\r\nHow much can I modify every tile: \t29%\r\n"),
      std::string::npos);

  // Nothing assigned: the sum is divided by 1, not by 0.
  cells[0].assigned = cells[1].assigned = nullptr;
  params.modifyLimit = 255;
  ASSERT_TRUE(WriteTextReport(cells, params, path));
  EXPECT_NE(ReadText(path).find("quality): \t0\r\nHow much can I modify every tile: \t100%"),
            std::string::npos);
}

TEST(WebPage, ScaledImageMapWithEscapedTextsAndFileLinks) {
  test::TempDir dir;
  CollectionEntry entry;
  entry.path = "/photos/<b>.jpg";
  std::vector<MosaicCell> cells = {Cell(150, 100, 150, 100), Cell(2850, 1900, 150, 100)};
  cells[0].assigned = &entry;  // the second only widens the mosaic to 3000 x 2000
  const std::string base = dir.File("Tom & <Jerry>");
  ASSERT_TRUE(WriteWebPage(cells, base + " Mosaic.JPG", base + "  ", 750));
  const std::string page = ReadText(base + ".html");
  EXPECT_EQ(page.rfind("<html>\r\n<head>\r\n<title>" + dir.Folder() +
                           "Tom &amp; &lt;Jerry&gt; created by Tessarix</title>\r\n<meta "
                           "http-equiv=\"Content-Type\" content=\"text/html; "
                           "charset=iso-8859-1\">\r\n<script language=\"javascript\">\r\n"
                           "function U(F, Coords)\r\n",
                       0),
            0u)
      << page;
  EXPECT_NE(page.find("</script>\r\n</head>\r\n\r\n<body style=\"margin: 0px;\">\r\n<img "
                      "style=\"position: absolute; left: 0px; top: 0px; width: 300px; height: "
                      "200px; border: 1px solid black; display: none\" id= \"MyZoom\" src=\"\" "
                      "height=\"128\" width=\"128\" /> \r\n<img src=\"file://" +
                      dir.Folder() +
                      "Tom%20%26%20%3CJerry%3E%20Mosaic.JPG\" border=0 width=750 "
                      "usemap=\"#Map\">\r\n<map name=\"Map\">\r\n  <area "
                      "onmouseover=\"U(this.href, this.coords);\" shape=\"rect\" "
                      "coords=\"37,25,75,50\" href=\"file:///photos/%3Cb%3E.jpg\" "
                      "target=\"_blank\">\r\n</map>\r\n</body>\r\n</html>\r\n"),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("<area", page.find("<area") + 1), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
}

TEST(WebPage, DisplayWidthIsClamped) {
  test::TempDir dir;
  const std::string base = dir.File("w");
  for (const auto& [asked, written] :
       {std::pair<long, std::string>{-3, "width=10 "}, {100001, "width=100000 "}}) {
    ASSERT_TRUE(WriteWebPage({}, base + " Mosaic.JPG", base, asked));
    EXPECT_NE(ReadText(base + ".html").find(written), std::string::npos) << asked;
  }
}

TEST(OutputNames, StayInTheSourcesFolder) {
  // clang-format off
  const struct {
    const char *source, *mosaic, *page;
  } rows[] = {
      {"/p/Beach.jpg", "/p/Beach Mosaic.JPG", "/p/Beach.html"},
      {"/p/abcd", "/p/abcd Mosaic.JPG", "/p/abcd.html"},
      {"/p/abcde", "/p/a Mosaic.JPG", "/p/a.html"},
      {"/p/index .jpg", "/p/index  Mosaic.JPG", "/p/index.html"},
      {"/p/  .jpg", "/p/   Mosaic.JPG", "/p/  .html"},
      {"Stra\xC3\x9F" "e", "St Mosaic.JPG", "St.html"},  // four characters, five bytes
  };
  // clang-format on
  for (const auto& row : rows) {
    const std::string base = OutputBase(row.source);
    EXPECT_EQ(MosaicFileName(base) + "|" + WebPageFileName(base),
              std::string(row.mosaic) + "|" + row.page);
  }
}

// Text is escaped by code point: ASCII up to 0x7F as it is (but for the five marked), well-formed
// UTF-8 of two to four bytes as its code point, any other byte as a Latin-1 character.
TEST(WebPage, EscapesAndFileUrls) {
  // clang-format off
  const std::pair<std::string, std::string> escapes[] = {
      {"<Cat & \"Dog\"'s>", "&lt;Cat &amp; &quot;Dog&quot;&#39;s&gt;"},
      {"Caf\xC3\xA9 \xE2\x82\xAC", "Caf&#233; &#8364;"},
      {"bad\xE9", "bad&#233;"},
      {"\x7F", "\x7F"}, {"\x80", "&#128;"},
      {"\xC2\x80", "&#128;"}, {"\xC1\xBF", "&#193;&#191;"}, {"\xDF\xBF", "&#2047;"},
      {"\xE0\xA0\x80", "&#2048;"}, {"\xE0\x9F\xBF", "&#224;&#159;&#191;"},
      {"\xED\x9F\xBF", "&#55295;"}, {"\xED\xA0\x80", "&#237;&#160;&#128;"},
      {"\xED\xBF\xBF", "&#237;&#191;&#191;"}, {"\xEE\x80\x80", "&#57344;"},
      {"\xEF\xBF\xBF", "&#65535;"}, {"\xF0\x90\x80\x80", "&#65536;"},
      {"\xF4\x8F\xBF\xBF", "&#1114111;"}, {"\xF4\x90\x80\x80", "&#244;&#144;&#128;&#128;"},
      {"\xF5\x80", "&#245;&#128;"}, {"\xC3", "&#195;"}, {"\xC3" "A", "&#195;A"},
  };
  // clang-format on
  for (const auto& [text, escaped] : escapes) EXPECT_EQ(HtmlEscape(text), escaped);
  EXPECT_EQ(FileUrl("/home/ann/a&b \"c\"#1%.jpg"), "file:///home/ann/a%26b%20%22c%22%231%25.jpg");
  EXPECT_EQ(FileUrl("/p/Caf\xC3\xA9.jpg"), "file:///p/Caf%C3%A9.jpg");
}

}  // namespace
}  // namespace tessarix
