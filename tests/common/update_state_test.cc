#include "common/update_state.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "tests/support/fake_settings.h"
#include "tests/support/fault_file_env.h"
#include "tests/support/temp_dir.h"

namespace tellwen {
namespace {

using tellwen::testing::FakeSettings;
using tellwen::testing::TempDir;
using namespace std::chrono_literals;

class UpdateState : public ::testing::Test {
 protected:
  UpdateState() {
    settings_.SetValue("WebStatus", "updating");
    settings_.SetValue("FirstPageInfo", kUpdateBanner);
    settings_.SetValue("FirstPageInfoSeverity", "high");
  }
  // What a job saved before it changed the settings.
  void WriteSaved() {
    ASSERT_TRUE(
        WriteUpdateStateFile(dir_.path(), {"yes", "Server moved\nto room 2", "medium"}).ok());
  }
  // A lock file that an earlier job made and let go.
  void MakeLockFile() {
    UpdateLock lock;
    ASSERT_TRUE(lock.Acquire(dir_.path(), 0ms).ok());
  }
  UpdateRecovery Recover() {
    UpdateRecovery outcome = UpdateRecovery::kNothingLeft;
    const Status status = RecoverUnfinishedUpdate(dir_.path(), settings_, &outcome);
    EXPECT_TRUE(status.ok()) << status.message();
    return outcome;
  }
  bool StateFileExists() { return std::filesystem::exists(UpdateStateFile(dir_.path())); }
  std::string Setting(const std::string& name) { return settings_.GetValue(name); }

  TempDir dir_;
  FakeSettings settings_;
};

// A job in another process holds the lock: its settings are left alone, even
// through a read-only descriptor (the web's account). Once the process is
// killed, the lock is free and the saved values come back.
TEST_F(UpdateState, LiveUpdateIsLeftAloneAndADeadOneIsPutBack) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t job = fork();
  ASSERT_NE(job, -1);
  if (job == 0) {
    UpdateLock lock;
    if (!lock.Acquire(dir_.path(), 0ms).ok()) _exit(1);
    if (!WriteUpdateStateFile(dir_.path(), {"yes", "Welcome", "low"}).ok()) _exit(1);
    (void)!write(ready[1], "x", 1);
    pause();
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  chmod(UpdateLockFile(dir_.path()).c_str(), 0444);

  EXPECT_EQ(Recover(), UpdateRecovery::kUpdateRunning);
  EXPECT_EQ(Setting("WebStatus"), "updating");
  EXPECT_EQ(Setting("FirstPageInfo"), kUpdateBanner);
  EXPECT_TRUE(StateFileExists());

  kill(job, SIGKILL);
  ASSERT_EQ(waitpid(job, nullptr, 0), job);
  EXPECT_EQ(Recover(), UpdateRecovery::kPutBack);
  EXPECT_EQ(Setting("WebStatus"), "yes");
  EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
  EXPECT_EQ(Setting("FirstPageInfoSeverity"), "low");
  EXPECT_FALSE(StateFileExists());
  EXPECT_EQ(Recover(), UpdateRecovery::kNothingLeft);
  close(ready[0]);
  close(ready[1]);
}

TEST_F(UpdateState, WithoutALockFileNothingIsTouched) {
  WriteSaved();
  EXPECT_EQ(Recover(), UpdateRecovery::kNothingLeft);
  EXPECT_EQ(Setting("WebStatus"), "updating");
  EXPECT_EQ(Setting("FirstPageInfo"), kUpdateBanner);
}

// Only a value that still holds what the job set is put back; a value written
// with escapes comes back whole.
TEST_F(UpdateState, OnlyWhatTheJobSetIsPutBack) {
  MakeLockFile();
  WriteSaved();
  settings_.SetValue("WebStatus", "no");  // the administrator closed the site meanwhile
  EXPECT_EQ(Recover(), UpdateRecovery::kPutBack);
  EXPECT_EQ(Setting("WebStatus"), "no");
  EXPECT_EQ(Setting("FirstPageInfo"), "Server moved\nto room 2");
  EXPECT_EQ(Setting("FirstPageInfoSeverity"), "medium");

  WriteSaved();
  settings_.SetValue("WebStatus", "updating");
  settings_.SetValue("FirstPageInfo", "Back at 9");
  EXPECT_EQ(Recover(), UpdateRecovery::kPutBack);
  EXPECT_EQ(Setting("WebStatus"), "yes");
  EXPECT_EQ(Setting("FirstPageInfo"), "Back at 9");
}

TEST_F(UpdateState, UpdatingWithoutAStateFileClosesTheSearch) {
  MakeLockFile();
  EXPECT_EQ(Recover(), UpdateRecovery::kPutBack);
  EXPECT_EQ(Setting("WebStatus"), "no");
  EXPECT_EQ(Setting("FirstPageInfo"), kUpdateBanner) << "no saved value to put back";
}

TEST_F(UpdateState, ASecondJobWaitsForTheLockThenGivesUp) {
  UpdateLock first;
  ASSERT_TRUE(first.Acquire(dir_.path(), 0ms).ok());
  UpdateLock second;
  const auto began = std::chrono::steady_clock::now();
  const Status status = second.Acquire(dir_.path(), 200ms);
  EXPECT_GE(std::chrono::steady_clock::now() - began, 200ms);
  EXPECT_EQ(status.code(), Status::Code::kUnavailable);
  EXPECT_EQ(status.message(),
            "Another database update is running (" + UpdateLockFile(dir_.path()) + " is locked).");
  EXPECT_FALSE(second.held());
}

// A full disk while the job saves afresh: the job hears why, and the file a
// dead job would be recovered from still holds what it saved first.
TEST_F(UpdateState, AFullDiskKeepsTheSavedValuesThatWereThere) {
  WriteSaved();
  testing::FaultFileEnv disk;
  disk.suffix = "kivupdate.state";
  disk.write_budget = 4;
  const Status failed = WriteUpdateStateFile(dir_.path(), {"updating", "x", "high"}, &disk);
  EXPECT_EQ(failed.code(), Status::Code::kIoError);
  EXPECT_NE(failed.message().find("No space left on device"), std::string::npos);
  MakeLockFile();
  EXPECT_EQ(Recover(), UpdateRecovery::kPutBack);
  EXPECT_EQ(Setting("WebStatus"), "yes");
  EXPECT_EQ(Setting("FirstPageInfo"), "Server moved\nto room 2");
}

TEST_F(UpdateState, UnusableFolderIsAnErrorNotAnUpdateRunning) {
  UpdateLock lock;
  const Status status = lock.Acquire(dir_.path() + "/missing", 0ms);
  EXPECT_EQ(status.code(), Status::Code::kIoError);
  EXPECT_NE(status.message().find("Cannot open the update lock file"), std::string::npos);
}

}  // namespace
}  // namespace tellwen
