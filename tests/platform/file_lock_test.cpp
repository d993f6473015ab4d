#include "platform/file_lock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>

#include "test_support.h"

namespace tessarix {
namespace {

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
