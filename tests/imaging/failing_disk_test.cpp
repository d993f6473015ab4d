// Every way a picture file's write fails leaves the file already there whole and no temporary
// beside it; the reasons the lower layers had (errno, libjpeg's words) reach the failure, and the
// person hears, with the path, of the failures that are theirs to mend.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "imaging/dib.h"
#include "imaging/jpeg_file.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix {
namespace {

struct Row {
  const char* what;
  std::function<Status(const std::string& path)> write;
  const char* file;    // relative to the test folder; "keep" holds the old file
  uint64_t fileLimit;  // bytes any file may reach: the disk is full beyond that
  FailureKind kind;
  int error;
  bool libraryWords;
  const char* said;  // after the path, or "" for nothing said
};

Status Jpeg(const Image& image, const std::string& path) {
  return WithJpegMessage(image.SaveJpeg(path, 90));
}

TEST(PictureWrites, FailuresKeepTheOldFileAndSayWhatIsThePersons) {
  constexpr uint64_t kRoom = uint64_t{1} << 30;
  const Row rows[] = {
      {"jpeg, no folder", [](auto& p) { return Jpeg(test::Noise(8, 8), p); }, "no/out.jpg", kRoom,
       FailureKind::kCannotCreate, ENOENT, false,
       "JpegFile :\nCan't open %\nNo such file or directory"},
      {"jpeg, empty", [](auto& p) { return Jpeg(Image(), p); }, "keep", kRoom,
       FailureKind::kRefused, 0, false, ""},
      {"jpeg, beyond libjpeg's width",
       [](auto& p) { return Jpeg(test::MakeFlatImage(70000, 1, 0x00808080), p); }, "keep", kRoom,
       FailureKind::kRefused, 0, true, ""},
      {"jpeg, disk full", [](auto& p) { return Jpeg(test::Noise(300, 300), p); }, "keep", 2000,
       FailureKind::kCannotWrite, EFBIG, true, "JpegFile :\nCan't write %\nFile too large"},
      {"bmp, empty", [](auto& p) { return SaveBmp(Image(), p); }, "keep", kRoom,
       FailureKind::kRefused, 0, false, ""},
      {"bmp, no folder", [](auto& p) { return SaveBmp(test::Noise(4, 4), p); }, "no/out.bmp", kRoom,
       FailureKind::kCannotCreate, ENOENT, false, ""},
      {"bmp, disk full", [](auto& p) { return SaveBmp(test::Noise(100, 100), p); }, "keep", 1000,
       FailureKind::kCannotWrite, EFBIG, false, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    test::TempDir dir;
    test::WriteBytes(dir.File("keep"), {'o', 'l', 'd'});
    const std::string path = dir.File(row.file);
    const test::LimitedRun run = test::RunWithFileSizeLimit(row.fileLimit, [&] {
      test::RecordingPrompt prompt;
      const Status written = row.write(path);
      if (written)
        return std::string("written");
      const Failure& why = written.Why();
      std::string report = std::to_string(static_cast<int>(why.kind)) + " " +
                           std::to_string(why.systemError) + (why.detail.empty() ? "" : " words");
      for (const std::string& m : prompt.messages) report += "|" + m;
      return report;
    });
    ASSERT_TRUE(run.exited);
    std::string expected = std::to_string(static_cast<int>(row.kind)) + " " +
                           std::to_string(row.error) + (row.libraryWords ? " words" : "");
    if (*row.said != '\0') {
      std::string said = row.said;
      expected += "|" + said.replace(said.find('%'), 1, path);
    }
    EXPECT_EQ(run.report, expected);
    EXPECT_EQ(test::ReadBytes(dir.File("keep")), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_TRUE(test::LeftoverTemporaries(dir.Path()).empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
  }
}

}  // namespace
}  // namespace tessarix
