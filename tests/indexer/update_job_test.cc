#include "indexer/core/update_job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "common/update_state.h"
#include "indexer/core/update_headless.h"
#include "indexer/core/update_saved_state.h"
#include "tests/base/recording_messages.h"
#include "tests/indexer/fake_network.h"
#include "tests/indexer/update_fake_sql.h"
#include "tests/support/temp_dir.h"

namespace tellwen::indexer {
namespace {

using tellwen::testing::FakeSettings;
using tellwen::testing::ScopedEnv;
using tellwen::testing::ScopedRecordingMessages;
using tellwen::testing::TempDir;
using tellwen::testing::UpdateFakeSql;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

// Runs the runner to its end on the caller's thread, like a dialog that
// closes by itself after a completed run.
class WaitingDriver : public UpdateJobDriver {
 public:
  bool Drive(UpdateRunner& runner) override {
    runner.Start();
    runner.Wait();
    return runner.Completed();
  }
};

class UpdateJobTest : public ::testing::Test {
 protected:
  UpdateJobTest() {
    FakeSettings& settings = settings_;
    settings.SetValue("AutomaticallyInsertIntoDatabase", "1");
    settings.SetValue("DataOfTheIndex", "Never indexed");
    settings.SetValue("LastSuccessfulUpdateTime", "N/A");
    settings.SetValue("TemporaryFolder", dir_.path());  // no trailing "/": the job adds it
    settings.SetValue("SqlLogFolder", dir_.path() + "/");
    settings.SetValue("WebStatus", "yes");
    settings.SetValue("FirstPageInfo", "Welcome");
    settings.SetValue("FirstPageInfoSeverity", "low");
    settings.SetValue("StopWebService", "1");
    settings.SetValue("DataOfTheIndexForDB", "last index on 13-Jun-2002");
    std::ofstream(index_file_, std::ios::binary) << "//PC1\ts\t\t\ta.txt\t1\r\n";
  }
  std::string Setting(const std::string& name) { return settings_.GetValue(name); }
  bool IndexFileExists() { return std::filesystem::exists(index_file_); }
  // Fails every batch that contains `text`.
  void FailAt(const std::string& text) {
    executor_.set_rule([text](const std::string& batch, int) -> std::string {
      return batch.find(text) != std::string::npos ? "boom" : "";
    });
  }

  TempDir dir_;
  // The update state folder (the lock and state files).
  ScopedEnv data_folder_{"TELLWEN_DATA", dir_.path()};
  FakeSettings settings_;
  ScopedRecordingMessages messages_;
  std::string index_file_ = dir_.path() + "/kivtmp.txt";
  std::string state_file_ = dir_.path() + "/kivupdate.state";
  UpdateFakeSql executor_;
  WaitingDriver driver_;
};

TEST_F(UpdateJobTest, SuccessRecordsTheUpdateRestoresSettingsAndDeletesTheIndexFile) {
  std::string banner_during, status_at_swap, status_before_lock;
  executor_.set_on_run([&] {
    const std::vector<UpdateFakeSql::Call> calls = executor_.calls();
    const std::string& last = calls.back().batch;
    if (last.find("create table [dbo].[zz]") != std::string::npos ||
        last.find("CREATE TABLE [dbo].[zz]") != std::string::npos) {
      banner_during = Setting("FirstPageInfo") + "|" + Setting("FirstPageInfoSeverity");
    }
    if (last.find("CREATE INDEX [i_aall_fs]") != std::string::npos) {
      status_before_lock = Setting("WebStatus");
    }
    if (last.find("BEGIN TRAN") != std::string::npos) status_at_swap = Setting("WebStatus");
  });
  UpdateJobOptions options;
  options.silent = true;
  EXPECT_EQ(RunUpdateJob(options, driver_, settings_, &executor_), UpdateJobOutcome::kSucceeded);

  EXPECT_EQ(
      banner_during,
      "High server load: updating...&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;Response may be slow.|high");
  EXPECT_EQ(status_before_lock, "yes");
  EXPECT_EQ(status_at_swap, "updating");
  EXPECT_EQ(Setting("WebStatus"), "yes");
  EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
  EXPECT_EQ(Setting("FirstPageInfoSeverity"), "low");
  EXPECT_EQ(Setting("DataOfTheIndex"), "last index on 13-Jun-2002");
  EXPECT_THAT(Setting("LastSuccessfulUpdateTime"),
              MatchesRegex("[0-9][0-9] [A-Z][a-z]+ [0-9]{4} at [0-9][0-9]:[0-9][0-9]:[0-9][0-9]"));
  EXPECT_FALSE(IndexFileExists());
  EXPECT_FALSE(std::filesystem::exists(state_file_));
  EXPECT_TRUE(messages_->shown().empty());
}

TEST_F(UpdateJobTest, InteractiveSuccessSaysSoWithRunningAndLockTime) {
  EXPECT_EQ(RunUpdateJob({}, driver_, settings_, &executor_), UpdateJobOutcome::kSucceeded);
  ASSERT_EQ(messages_->shown().size(), 1u);
  EXPECT_THAT(messages_->shown()[0],
              MatchesRegex("Database updating went OK!\nRunning time: 00:00:0[0-9]\n"
                           "Lock time: 00:00:0[0-9]"));
}

TEST_F(UpdateJobTest, FailureKeepsIndexFileAndRestoresSettings) {
  FailAt("exec sp_rename 'temp_aall', 'aall'");
  UpdateJobOptions options;
  options.silent = true;
  EXPECT_EQ(RunUpdateJob(options, driver_, settings_, &executor_), UpdateJobOutcome::kFailed);
  EXPECT_TRUE(IndexFileExists());
  EXPECT_EQ(Setting("WebStatus"), "yes");
  EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
  EXPECT_EQ(Setting("FirstPageInfoSeverity"), "low");
  EXPECT_EQ(Setting("DataOfTheIndex"), "Never indexed");
  EXPECT_EQ(Setting("LastSuccessfulUpdateTime"), "N/A");
  // The failure message appears in silent runs too.
  EXPECT_THAT(messages_->shown(),
              ElementsAre("An error has occured!\nCheck the log file for more details."));
}

TEST_F(UpdateJobTest, UnreadableIndexFileFailsBeforeTheSwapAndRecordsNoSuccess) {
  std::filesystem::remove(index_file_);
  std::filesystem::create_directory(index_file_);
  UpdateJobOptions options;
  options.silent = true;
  EXPECT_EQ(RunUpdateJob(options, driver_, settings_, &executor_), UpdateJobOutcome::kFailed);
  EXPECT_EQ(Setting("LastSuccessfulUpdateTime"), "N/A");
  EXPECT_EQ(Setting("DataOfTheIndex"), "Never indexed");
  for (const UpdateFakeSql::Call& call : executor_.calls()) {
    EXPECT_EQ(call.batch.find("exec sp_rename 'temp_aall', 'aall'"), std::string::npos)
        << "the swap ran";
  }
  std::ifstream log(dir_.path() + "/sql_log.txt", std::ios::binary);
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_THAT(text.str(),
              HasSubstr("cannot read the index file " + index_file_ + ": Is a directory"));
}

TEST_F(UpdateJobTest, WebStatusIsNeverTouchedWithStopWebServiceOff) {
  settings_.SetValue("StopWebService", "0");
  std::vector<std::string> seen;
  executor_.set_on_run([&] { seen.push_back(Setting("WebStatus")); });
  EXPECT_EQ(RunUpdateJob({}, driver_, settings_, &executor_), UpdateJobOutcome::kSucceeded);
  for (const std::string& status : seen) EXPECT_EQ(status, "yes");
  EXPECT_EQ(Setting("WebStatus"), "yes");
}

TEST_F(UpdateJobTest, DisabledUpdateDoesNothing) {
  settings_.SetValue("AutomaticallyInsertIntoDatabase", "0");
  EXPECT_EQ(RunUpdateJob({}, driver_, settings_, &executor_), UpdateJobOutcome::kDisabled);
  EXPECT_TRUE(executor_.calls().empty());
  EXPECT_TRUE(messages_->shown().empty());
  EXPECT_TRUE(IndexFileExists());
}

TEST_F(UpdateJobTest, MissingIndexFileIsReportedOnlyInteractively) {
  std::filesystem::remove(index_file_);
  UpdateJobOptions silent;
  silent.silent = true;
  EXPECT_EQ(RunUpdateJob(silent, driver_, settings_, &executor_), UpdateJobOutcome::kNoIndexFile);
  EXPECT_TRUE(messages_->shown().empty());
  EXPECT_EQ(RunUpdateJob({}, driver_, settings_, &executor_), UpdateJobOutcome::kNoIndexFile);
  EXPECT_THAT(messages_->shown(),
              ElementsAre("Temporary file not found!\nCannot update database."));
  EXPECT_TRUE(executor_.calls().empty());
  EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
}

TEST_F(UpdateJobTest, SetupCreatesAMissingIndexFileAndDeletesItAfterwards) {
  std::filesystem::remove(index_file_);
  bool existed_during_run = false;
  executor_.set_on_run([&] { existed_during_run = existed_during_run || IndexFileExists(); });
  UpdateJobOptions options;
  options.setup_mode = true;
  options.silent = true;
  EXPECT_EQ(RunUpdateJob(options, driver_, settings_, &executor_), UpdateJobOutcome::kSucceeded);
  EXPECT_TRUE(existed_during_run);
  EXPECT_FALSE(IndexFileExists());
  EXPECT_TRUE(executor_.load_batches().empty());
  EXPECT_THAT(executor_.calls()[0].batch, HasSubstr("drop table [dbo].[aall]"));
}

TEST_F(UpdateJobTest, KilledJobsSettingsArePutBackByTheNextJob) {
  // What a job killed after "locking database" leaves behind.
  FakeSettings& settings = settings_;
  settings.SetValue("WebStatus", "updating");
  settings.SetValue("FirstPageInfo", kUpdateBanner);
  settings.SetValue("FirstPageInfoSeverity", "high");
  std::ofstream(state_file_, std::ios::binary) << "yes\nServer moved\\nto room 2\nmedium\n";

  std::string status_when_saved;
  executor_.set_on_run([&] {
    if (status_when_saved.empty()) status_when_saved = Setting("WebStatus");
  });
  FailAt("CREATE TABLE [dbo].[zz]");
  EXPECT_EQ(RunUpdateJob({}, driver_, settings_, &executor_), UpdateJobOutcome::kFailed);
  EXPECT_EQ(status_when_saved, "yes");
  EXPECT_EQ(Setting("WebStatus"), "yes");
  EXPECT_EQ(Setting("FirstPageInfo"), "Server moved\nto room 2");
  EXPECT_EQ(Setting("FirstPageInfoSeverity"), "medium");
  EXPECT_FALSE(std::filesystem::exists(state_file_));
}

TEST_F(UpdateJobTest, LeftoverUpdatingWithoutStateFileClosesTheSearch) {
  settings_.SetValue("WebStatus", "updating");
  FailAt("CREATE TABLE [dbo].[zz]");
  RunUpdateJob({}, driver_, settings_, &executor_);
  EXPECT_EQ(Setting("WebStatus"), "no");
  EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
}

// The job holds the update lock for its whole run: it waits for a program
// that holds it briefly (one putting back a dead job's values) and changes
// nothing before it has it.
TEST_F(UpdateJobTest, JobWaitsForTheUpdateLockBeforeChangingAnything) {
  auto other = std::make_unique<UpdateLock>();
  ASSERT_TRUE(other->Acquire(dir_.path(), std::chrono::milliseconds(0)).ok());
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Setting("FirstPageInfo"), "Welcome") << "changed before the lock was had";
    other.reset();
  });
  std::string lock_during_run;
  executor_.set_on_run([&] {
    if (lock_during_run.empty()) {
      UpdateRecovery recovery = UpdateRecovery::kNothingLeft;
      RecoverUnfinishedUpdate(dir_.path(), settings_, &recovery);
      lock_during_run = recovery == UpdateRecovery::kUpdateRunning ? "held" : "free";
    }
  });
  UpdateJobOptions options;
  options.silent = true;
  EXPECT_EQ(RunUpdateJob(options, driver_, settings_, &executor_), UpdateJobOutcome::kSucceeded);
  release.join();
  EXPECT_EQ(lock_during_run, "held");
}

TEST_F(UpdateJobTest, NoUsableStateFolderMeansNoUpdate) {
  ScopedEnv missing("TELLWEN_DATA", dir_.path() + "/missing");
  UpdateJobOptions options;
  options.silent = true;
  EXPECT_EQ(RunUpdateJob(options, driver_, settings_, &executor_), UpdateJobOutcome::kFailed);
  ASSERT_EQ(messages_->shown().size(), 1u);
  EXPECT_THAT(messages_->shown()[0], HasSubstr("Cannot open the update lock file"));
  EXPECT_TRUE(executor_.calls().empty());
  EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
  EXPECT_TRUE(IndexFileExists());
}

TEST_F(UpdateJobTest, HeadlessRunPrintsRowsAndExitsZeroOnSuccess) {
  std::ostringstream out;
  EXPECT_EQ(RunUpdateJobHeadless(false, settings_, &executor_, out), 0);
  const std::string text = out.str();
  EXPECT_THAT(text, HasSubstr("Tellwen Indexer  -  Inserting data into MS SQL Server database\n"));
  EXPECT_THAT(text, MatchesRegex("(.|\n)*start indexing\\.\\.\\. +n/a +n/a +n/a +waiting\\.\\.\\.\n"
                                 "(.|\n)*"));
  EXPECT_THAT(text, MatchesRegex("(.|\n)*inserting data into database +[0-9:]{8} +[0-9:]{8} +"
                                 "[0-9:]{8} +done\n(.|\n)*"));
  EXPECT_THAT(text, HasSubstr("update completed\n"));
  EXPECT_THAT(text, ::testing::Not(HasSubstr("DONT-")));
}

TEST_F(UpdateJobTest, HeadlessRunExitsOneOnFailureAndOnMissingFile) {
  FailAt("CREATE INDEX [i_aall_d1]");
  std::ostringstream out;
  EXPECT_EQ(RunUpdateJobHeadless(false, settings_, &executor_, out), 1);
  EXPECT_THAT(out.str(), HasSubstr("update failed at \"create index on directories\": "
                                   "unexpected error: boom src:fake server\n"));
  EXPECT_TRUE(IndexFileExists());

  std::filesystem::remove(index_file_);
  std::ostringstream missing;
  EXPECT_EQ(RunUpdateJobHeadless(false, settings_, &executor_, missing), 1);
  EXPECT_THAT(missing.str(), HasSubstr("Temporary file not found: " + index_file_));
}

TEST_F(UpdateJobTest, HeadlessRunTakesSigtermAsAStop) {
  executor_.set_on_run([&] {
    if (executor_.calls().size() == 8) {  // during "extracting shares"
      std::raise(SIGTERM);
      // Keep the task running until the driver, which polls every 100 ms, has
      // passed the stop on; the fake server would otherwise finish every task first.
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  });
  std::ostringstream out;
  EXPECT_EQ(RunUpdateJobHeadless(false, settings_, &executor_, out), 1);
  EXPECT_THAT(out.str(), HasSubstr("Stopping..."));
  EXPECT_THAT(out.str(), HasSubstr("update stopped\n"));
  // The task that was running when the signal came finished; nothing after it ran.
  EXPECT_LE(executor_.calls().size(), 10u);
  EXPECT_TRUE(IndexFileExists());
  EXPECT_EQ(Setting("WebStatus"), "yes");
  EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
}

}  // namespace
}  // namespace tellwen::indexer
