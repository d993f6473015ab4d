// Every way a picture file's write fails leaves the file already there whole and no temporary
// beside it; the reasons the lower layers had (errno, libjpeg's words) reach the failure, and the
// JPEG writer has words for the person, with the path, for the failures that are theirs to mend.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "imaging/jpeg_file.h"
#include "platform/text_format.h"
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

TEST(PictureWrites, FailuresKeepTheOldFileAndSayWhatIsThePersons) {
  constexpr uint64_t kRoom = uint64_t{1} << 30;
  const Row rows[] = {
      {"jpeg, no folder", [](auto& p) { return test::Noise(8, 8).SaveJpeg(p, 90); }, "no/out.jpg",
       kRoom, FailureKind::kCannotCreate, ENOENT, false,
       "JpegFile :\nCan't open %\nNo such file or directory"},
      {"jpeg, beyond libjpeg's width",
       [](auto& p) { return test::MakeFlatImage(70000, 1, 0x00808080).SaveJpeg(p, 90); }, "keep",
       kRoom, FailureKind::kRefused, 0, true, ""},
      {"jpeg, disk full", [](auto& p) { return test::Noise(300, 300).SaveJpeg(p, 90); }, "keep",
       2000, FailureKind::kCannotWrite, EFBIG, true, "JpegFile :\nCan't write %\nFile too large"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    test::TempDir dir;
    test::WriteBytes(dir.File("keep"), {'o', 'l', 'd'});
    const std::string path = dir.File(row.file);
    const test::LimitedRun run = test::RunWithFileSizeLimit(row.fileLimit, [&] {
      const Status written = row.write(path);
      if (written)
        return std::string("written");
      const Failure& why = written.Why();
      const std::string said = *row.said != '\0' ? JpegFailureText(why).value_or("none") : "";
      return Format("%d %d %d %s", static_cast<int>(why.kind), why.systemError, !why.detail.empty(),
                    said.c_str());
    });
    ASSERT_TRUE(run.exited);
    std::string said = row.said;
    if (!said.empty())
      said.replace(said.find('%'), 1, path);
    EXPECT_EQ(run.report, Format("%d %d %d %s", static_cast<int>(row.kind), row.error,
                                 row.libraryWords, said.c_str()));
    EXPECT_EQ(test::ReadBytes(dir.File("keep")), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_TRUE(test::LeftoverTemporaries(dir.Path()).empty());
  }
}

}  // namespace
}  // namespace tessarix
