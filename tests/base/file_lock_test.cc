#include "base/file_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/lock_holder.h"
#include "tests/support/temp_dir.h"

namespace tellwen {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;

TEST(FileLock, AWaitTimesOutWhileHeldAndAHolderThatDiesLeavesItFree) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/job.lock";
  const pid_t holder = testing::HoldLockInChild(path);
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
  const pid_t holder = testing::HoldLockInChild(path, shared);
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
