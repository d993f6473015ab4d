#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/atomic_file.h"
#include "platform/file_lock.h"
#include "platform/file_status.h"
#include "platform/rename_no_replace.h"
#include "platform/text_format.h"
#include "resource_limits.h"
#include "test_support.h"

namespace tessarix {
namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

long FileCount(const std::filesystem::path& folder) {
  return std::distance(std::filesystem::directory_iterator(folder),
                       std::filesystem::directory_iterator());
}

// Leading digits like a typed field, decimal and never octal, saturated at the 32-bit limits;
// only a..z become capitals; formatted texts of any length; durations without a day limit; paths
// shortened to their last characters.
TEST(TextFormat, NumbersLettersDurationsAndPaths) {
  const std::pair<const char*, long> numbers[] = {{"  \t42abc", 42},
                                                  {"-17", -17},
                                                  {"+5", 5},
                                                  {"010", 10},
                                                  {"abc", 0},
                                                  {"+-5", 0},
                                                  {"2147483647", INT32_MAX},
                                                  {"2147483648", INT32_MAX},
                                                  {"-2147483648", INT32_MIN},
                                                  {"-2147483649", INT32_MIN},
                                                  {"99999999999999999999999999", INT32_MAX}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(ParseLeadingInt(text), value) << text;

  EXPECT_EQ(UpperAscii("`az{@AZ[ m\xC3\xA9"), "`AZ{@AZ[ M\xC3\xA9");
  EXPECT_EQ(Format("%s", ""), "");
  const std::string longText(5000, 'x');
  EXPECT_EQ(Format("<%s>", longText.c_str()), "<" + longText + ">");

  EXPECT_EQ(FormatDuration(999), "00:00:00");
  EXPECT_EQ(FormatDuration(int64_t{100} * 3600 * 1000), "100:00:00");
  EXPECT_EQ(FormatDuration(59 * 60 * 1000 + 59 * 1000 + 999), "00:59:59");

  const std::string thirty = "/home/ann/Pictures/holiday.jpg";  // 30 characters
  EXPECT_EQ(ShortenPath(thirty, 30), thirty);
  EXPECT_EQ(ShortenPath("/" + thirty, 30), "..." + thirty);
}

TEST(AtomicFile, OnlyACommitReplacesTheTargetsWholeAndAllTogether) {
  test::TempDir dir;
  const std::string path = dir.File("target.txt");
  std::ofstream(path) << "old contents";
  AtomicFile file(path);
  ASSERT_TRUE(file.Open());
  std::fputs("new", file.Stream());
  EXPECT_EQ(Contents(path), "old contents");  // untouched until the commit
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(std::tuple(Contents(path), FileCount(dir.Path())), std::tuple("new", 1L));
  EXPECT_FALSE(file.Commit());  // nothing left to commit

  // The new file gets the usual permissions, not the private ones of a temporary file.
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(static_cast<mode_t>(std::filesystem::status(path).permissions()), 0666 & ~mask);

  // Discarded or destroyed without a commit, a write keeps the old file and leaves nothing.
  std::ofstream(path) << "old";
  {
    AtomicFile discarded(path), dropped(dir.File("fresh.txt"));
    ASSERT_TRUE(discarded.Open() && dropped.Open());
    std::fputs("half", discarded.Stream());
    std::fputs("half", dropped.Stream());
    EXPECT_EQ(FileCount(dir.Path()), 3);  // the temporary files lie beside their targets
    discarded.Discard();
    EXPECT_FALSE(discarded.Commit());
  }  // `dropped` destroyed without a commit
  EXPECT_EQ(std::tuple(Contents(path), FileCount(dir.Path())), std::tuple("old", 1L));

  // Files put in place as one set: when one cannot be completed none replaces its target, and the
  // operating system's reason is kept for the person's message.
  const std::string small = dir.File("small"), large = dir.File("large");
  std::ofstream(small) << "old";
  std::ofstream(large) << "old";
  const auto writeSet = [&] {
    AtomicFile first(small), second(large);
    if (!first.Open() || !second.Open())
      return std::string("not opened");
    std::fputs("new", first.Stream());
    std::fputs(std::string(1000, 'x').c_str(), second.Stream());
    AtomicFile* set[] = {&first, &second};
    const Status placed = CommitTogether(set);
    const std::string reason = placed                       ? std::string("Success")
                               : placed.Why().path == large ? placed.Why().SystemText()
                                                            : std::string("another file");
    return Format("%d %d %s", static_cast<bool>(placed), first.Committed(), reason.c_str());
  };
  const test::LimitedRun run = test::RunWithFileSizeLimit(100, writeSet);
  EXPECT_EQ(std::tuple(run.exited, run.report), std::tuple(true, "0 0 File too large"));
  EXPECT_EQ(std::tuple(Contents(small), Contents(large), FileCount(dir.Path())),
            std::tuple("old", "old", 3L));
  EXPECT_EQ(writeSet(), "1 1 Success");
  EXPECT_EQ(std::tuple(Contents(small), FileCount(dir.Path())), std::tuple("new", 3L));

  AtomicFile folder(dir.Path().string());  // a folder in the target's place
  const Status opened = folder.Open();
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.Why().systemError, EISDIR);
  EXPECT_FALSE(folder.Commit());
}

TEST(StatFile, ReportsTimeAndSize) {
  test::TempDir dir;
  const std::string path = dir.File("five.bin");
  std::ofstream(path) << "12345";
  const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const auto status = StatFile(path);
  ASSERT_TRUE(status);
  EXPECT_EQ(std::pair(status->size, status->modificationTime), std::pair(5u, 1000000000u));
  EXPECT_FALSE(StatFile(dir.File("missing.bin")));
}

// Both ways of moving must move into a free name only and leave an existing target alone.
TEST(RenameNoReplace, MovesOnlyIntoAFreeName) {
  for (auto move : {&RenameNoReplace, &LinkThenUnlink}) {
    test::TempDir dir;
    const std::string from = dir.File("a_Q050.jpg"), to = dir.File("a_Q050_D0042.jpg");
    std::ofstream(from) << "new";
    std::ofstream(to) << "old";
    const Status refused = move(from, to);
    ASSERT_FALSE(refused);
    EXPECT_EQ(std::tuple(refused.Why().systemError, Contents(from), Contents(to)),
              std::tuple(EEXIST, "new", "old"));

    std::filesystem::remove(to);
    EXPECT_TRUE(move(from, to));
    EXPECT_EQ(std::tuple(std::filesystem::exists(from), Contents(to)), std::tuple(false, "new"));
  }
}

// Every holder opens the file anew, as another process would: a file, and a name with no file yet
// (locked through its folder), stay busy until their holder lets go. The lock follows a new file
// renamed over the path, whose holder is done with it.
TEST(PathLockTest, AnotherHolderKeepsTheLockUntilItLetsGo) {
  test::TempDir dir;
  std::ofstream(dir.File("a.tzc")) << "old";
  for (const std::string name : {"a.tzc", "new.tzc"}) {
    PathLock holder, lock;
    ASSERT_TRUE(holder.TryLock(dir.File(name)) && holder.Held()) << name;
    EXPECT_TRUE(lock.TryLock(dir.File(name))) << name;
    EXPECT_FALSE(lock.Held());  // busy
    holder.Release();
    EXPECT_TRUE(lock.TryLock(dir.File(name)) && lock.Held()) << name;
  }
  PathLock holder, lock;
  ASSERT_TRUE(holder.TryLock(dir.File("a.tzc")) && holder.Held());
  std::ofstream(dir.File("b.tzc")) << "new";
  std::rename(dir.File("b.tzc").c_str(), dir.File("a.tzc").c_str());
  EXPECT_TRUE(lock.TryLock(dir.File("a.tzc")) && lock.Held());

  const Status failed = lock.TryLock(dir.File("missing/a.tzc"));
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.Why().systemError, ENOENT);
}

}  // namespace
}  // namespace tessarix
