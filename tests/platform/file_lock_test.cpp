#include "platform/file_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "test_support.h"

namespace tessarix {
namespace {

// Another process that holds the lock on `path` until this one lets it go.
class Holder {
 public:
  explicit Holder(const std::string& path) {
    if (pipe(release_) != 0 || pipe(answer_) != 0)
      return;
    pid_ = fork();
    if (pid_ == 0) {
      close(release_[1]);
      PathLock lock;
      char c = lock.TryLock(path) && lock.Held() ? 'L' : '-';
      (void)!write(answer_[1], &c, 1);
      (void)!read(release_[0], &c, 1);  // until the parent closes its end
      _exit(0);
    }
    close(release_[0]);
    close(answer_[1]);
    char c = 0;
    locked_ = read(answer_[0], &c, 1) == 1 && c == 'L';
    close(answer_[0]);
  }
  ~Holder() { Release(); }
  void Release() {
    if (pid_ <= 0)
      return;
    close(release_[1]);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  bool Locked() const { return locked_; }

 private:
  int release_[2] = {-1, -1};
  int answer_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool locked_ = false;
};

// A file and a name with no file yet (locked through its folder) are both held across
// processes; the lock follows a new file renamed over the path, whose holder is done with it.
TEST(PathLockTest, AnotherProcessWaitsUntilTheHolderLetsGo) {
  test::TempDir dir;
  std::ofstream(dir.File("a.tzc")) << "old";
  for (const std::string name : {"a.tzc", "new.tzc"}) {
    Holder holder(dir.File(name));
    ASSERT_TRUE(holder.Locked()) << name;
    PathLock lock;
    EXPECT_TRUE(lock.TryLock(dir.File(name))) << name;
    EXPECT_FALSE(lock.Held());  // busy
    holder.Release();
    EXPECT_TRUE(lock.TryLock(dir.File(name)) && lock.Held()) << name;
  }
  Holder holder(dir.File("a.tzc"));
  std::ofstream(dir.File("b.tzc")) << "new";
  std::rename(dir.File("b.tzc").c_str(), dir.File("a.tzc").c_str());
  PathLock lock;
  EXPECT_TRUE(lock.TryLock(dir.File("a.tzc")) && lock.Held());

  const Status failed = lock.TryLock(dir.File("missing/a.tzc"));
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.Why().systemError, ENOENT);
}

}  // namespace
}  // namespace tessarix
