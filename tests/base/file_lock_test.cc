#include "base/file_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/temp_dir.h"

namespace tellwen {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;

// A child that holds the lock on path until it is killed.
pid_t HoldInChild(const std::string& path, const FileLockOptions& options = {}) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    FileLock lock;
    const char ok = lock.Acquire(path, milliseconds(5000), options).ok() ? 'y' : 'n';
    (void)::write(ready[1], &ok, 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char ok = 'n';
  (void)::read(ready[0], &ok, 1);
  ::close(ready[0]);
  if (ok != 'y') {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
  }
  return child;
}

TEST(FileLock, AWaitTimesOutWhileHeldAndAHolderThatDiesLeavesItFree) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/job.lock";
  const pid_t holder = HoldInChild(path);
  ASSERT_GT(holder, 0);
  FileLock lock;
  const Status busy = lock.Acquire(path, milliseconds(50));
  EXPECT_EQ(busy.code(), Status::Code::kUnavailable);
  EXPECT_THAT(busy.message(), HasSubstr("Timed out waiting for " + path));
  EXPECT_FALSE(lock.held());
  ::kill(holder, SIGKILL);  // a crash: nothing is released on purpose
  ::waitpid(holder, nullptr, 0);
  EXPECT_TRUE(lock.Acquire(path, milliseconds(2000)).ok());
  EXPECT_TRUE(lock.held());
  lock.Release();
  EXPECT_FALSE(lock.held());
}

TEST(FileLock, SharedHoldersExcludeOnlyAnExclusiveOne) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/job.lock";
  FileLockOptions shared;
  shared.shared = true;
  const pid_t holder = HoldInChild(path, shared);
  ASSERT_GT(holder, 0);
  FileLock reader;
  EXPECT_TRUE(reader.Acquire(path, milliseconds(0), shared).ok());
  FileLock writer;
  EXPECT_EQ(writer.Acquire(path, milliseconds(0)).code(), Status::Code::kUnavailable);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
}

TEST(FileLock, AMissingFileIsToldApartFromOneThatCannotBeOpened) {
  testing::TempDir dir;
  FileLockOptions existing_only;
  existing_only.create = false;
  existing_only.what = "the update lock file";
  FileLock lock;
  const Status missing = lock.Acquire(dir.path() + "/none.lock", milliseconds(0), existing_only);
  EXPECT_EQ(missing.code(), Status::Code::kNotFound);
  const Status no_folder = lock.Acquire("/nonexistent-folder/x.lock", milliseconds(10));
  EXPECT_EQ(no_folder.code(), Status::Code::kIoError);
  EXPECT_THAT(no_folder.message(),
              HasSubstr("Cannot open the lock file /nonexistent-folder/x.lock"));
}

}  // namespace
}  // namespace tellwen
