#include "indexer/core/update_runner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "indexer/core/update_sql_log.h"
#include "sql/update_script_template.h"
#include "tests/indexer/fake_network.h"
#include "tests/indexer/update_fake_sql.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellwen::indexer {
namespace {

using tellwen::testing::FileText;

using tellwen::testing::FakeSettings;
using tellwen::testing::TempDir;
using tellwen::testing::UpdateFakeSql;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class UpdateRunnerTest : public ::testing::Test {
 protected:
  UpdateRunnerTest() {
    std::ofstream(index_file_, std::ios::binary) << "//PC1\ts\t\t\ta.txt\t1\r\n";
    ScriptPlaceholders values{dir_.path() + "/", "kiv", "5000", "sa", "336"};
    config_.tasks = SplitScript(UpdateScriptTemplate(), values);
    config_.index_file = index_file_;
    config_.log_file = SqlLogPath(dir_.path());
    config_.categories_edit = "0|Audio/*.mp3|Bad/it's|Docs/*.doc";
    config_.executor = &executor_;
    config_.settings = &settings_;
    config_.show_failure = [this](const std::string& text) { failures_.push_back(text); };
  }

  // The index of the first call whose batch contains `text`, or -1.
  int CallWith(const std::string& text) {
    const std::vector<UpdateFakeSql::Call> calls = executor_.calls();
    for (size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].batch.find(text) != std::string::npos) return static_cast<int>(i);
    }
    return -1;
  }
  // Runs the script on its thread and asks for a stop as soon as a batch
  // containing `text` has been run; returns when the runner has ended.
  void RunStoppingAt(UpdateRunner& runner, const std::string& text) {
    executor_.set_on_run([&] {
      if (CallWith(text) >= 0) runner.RequestStop();
    });
    runner.Start();
    runner.Wait();
    executor_.set_on_run(nullptr);
    EXPECT_FALSE(runner.Completed());
    EXPECT_TRUE(runner.FailedTask().empty());
  }
  std::string Log() { return FileText(config_.log_file); }
  std::string Setting(const std::string& name) { return settings_.GetValue(name); }

  TempDir dir_;
  FakeSettings settings_;
  std::string index_file_ = dir_.path() + "/kivtmp.txt";
  UpdateFakeSql executor_;
  UpdateRunnerConfig config_;
  std::vector<std::string> failures_;
};

TEST_F(UpdateRunnerTest, RunsEveryTaskAndTheRunnerStepsInOrder) {
  UpdateRunner runner(config_);
  runner.Start();
  runner.Wait();
  EXPECT_TRUE(runner.Completed());
  EXPECT_FALSE(runner.Running());
  EXPECT_TRUE(failures_.empty());

  const std::vector<UpdateFakeSql::Call> calls = executor_.calls();
  ASSERT_EQ(calls.size(), 30u + 3u);  // tasks, one load batch, two category batches
  const int load_body = CallWith("the index file is loaded into zz");
  const int load = CallWith("insert into zz values('//PC1','s','','','a.txt','1')");
  const int columns = CallWith(" alter table temp_aall add gugu1 tinyint NULL ");
  const int extract = CallWith("insert into temp_aall (s1, s2, d1, d2, fn, fs)");
  const int flags = CallWith("gugu2=case when (fn like '%.doc') then 1 else 0 end");
  const int create_index_on_files = CallWith("CREATE INDEX [i_aall_fn]");
  EXPECT_EQ(load, load_body + 1);
  EXPECT_LT(load, columns);
  EXPECT_LT(columns, extract);
  EXPECT_LT(create_index_on_files, flags);
  EXPECT_EQ(calls[load].caller, SqlCaller::kIndexerBatch);
  EXPECT_EQ(calls[columns].caller, SqlCaller::kIndexerBatch);
  EXPECT_EQ(calls[flags].caller, SqlCaller::kIndexerBatch);
  EXPECT_EQ(calls[0].caller, SqlCaller::kIndexerTaskBody);
  EXPECT_EQ(CallWith("gugu3"), -1) << "the category without a valid pattern got a column";
}

TEST_F(UpdateRunnerTest, RowsListOnlyVisibleTasksAndEndDone) {
  UpdateRunner runner(config_);
  const std::vector<UpdateTaskRow> before = runner.Rows();
  ASSERT_EQ(before.size(), 18u);
  EXPECT_EQ(before[0].Text(), "start indexing...\tn/a\tn/a\tn/a\twaiting...");
  for (const UpdateTaskRow& row : before)
    EXPECT_THAT(row.name, ::testing::Not(StartsWith("DONT-")));

  runner.Start();
  runner.Wait();
  for (const UpdateTaskRow& row : runner.Rows()) {
    EXPECT_EQ(row.status, "done") << row.name;
    EXPECT_EQ(row.start.size(), 8u) << row.name;
    EXPECT_EQ(row.elapsed, "00:00:00") << row.name;
  }
}

TEST_F(UpdateRunnerTest, LogHasARecordPerTaskHiddenOnesIncluded) {
  UpdateRunner runner(config_);
  runner.Start();
  runner.Wait();
  const std::string log = Log();
  EXPECT_THAT(log, StartsWith("job   : start indexing...\r\nbody  : use [kiv]\r\n"));
  EXPECT_THAT(log, HasSubstr("\r\nresult: done\r\ntime  : 00:00:00\r\n\r\n\r\njob   : "
                             "inserting data into database\r\n"));
  EXPECT_THAT(log, HasSubstr("job   : DONT-zzzz\r\n"));
  size_t records = 0;
  for (size_t pos = log.find("job   : "); pos != std::string::npos;
       pos = log.find("job   : ", pos + 1)) {
    ++records;
  }
  EXPECT_EQ(records, 30u);
  EXPECT_EQ(log.find("\n\n"), std::string::npos) << "a line end without its CR";
}

TEST_F(UpdateRunnerTest, FailingTaskEndsTheRunAndLeavesLaterRowsWaiting) {
  settings_.SetValue("CategoriesEditForWeb", "0|Old/*.old");
  executor_.set_rule([](const std::string& batch, int) -> std::string {
    return batch.find("insert into temp_stat (property, value)") != std::string::npos
               ? "Arithmetic overflow"
               : "";
  });
  UpdateRunner runner(config_);
  runner.Start();
  runner.Wait();
  EXPECT_FALSE(runner.Completed());
  EXPECT_EQ(runner.FailedTask(), "running statistics");
  EXPECT_EQ(runner.ErrorText(), "unexpected error: Arithmetic overflow src:fake server");
  EXPECT_THAT(failures_,
              ElementsAre("An error has occured!\nCheck the log file for more details."));
  EXPECT_EQ(CallWith("BEGIN TRAN"), -1) << "the swap ran after a failure";

  std::vector<std::string> statuses;
  for (const UpdateTaskRow& row : runner.Rows()) statuses.push_back(row.status);
  EXPECT_EQ(statuses[12], "done");   // checking logs tables
  EXPECT_EQ(statuses[13], "error");  // running statistics
  EXPECT_EQ(statuses[14], "waiting...");
  EXPECT_EQ(statuses[17], "waiting...");
  EXPECT_THAT(Log(),
              HasSubstr("result: unexpected error: Arithmetic overflow src:fake server\r\n"));
  EXPECT_EQ(Setting("CategoriesEditForWeb"), "0|Old/*.old");
}

TEST_F(UpdateRunnerTest, CategoriesForWebFollowTheSwapsCommitAndNumberTheKeptOnes) {
  settings_.SetValue("CategoriesEditForWeb", "0|Old/*.old");
  std::string at_swap, at_commit;
  executor_.set_on_run([&] {
    const std::vector<UpdateFakeSql::Call> calls = executor_.calls();
    if (calls.back().batch.find("BEGIN TRAN") != std::string::npos)
      at_swap = Setting("CategoriesEditForWeb");
    if (calls.back().batch.find("COMMIT TRAN") != std::string::npos)
      at_commit = Setting("CategoriesEditForWeb");
  });
  UpdateRunner runner(config_);
  runner.Start();
  runner.Wait();
  EXPECT_EQ(at_swap, "0|Old/*.old") << "written before the live catalog had the columns";
  EXPECT_EQ(at_commit, "0|Old/*.old") << "written before the swap was committed";
  // "Bad" has no column, so the web must number Docs as 2, like the catalog.
  EXPECT_EQ(Setting("CategoriesEditForWeb"), "0|Audio/*.mp3|Docs/*.doc");
}

TEST_F(UpdateRunnerTest, FailedCategoryBatchFailsItsTask) {
  executor_.set_rule([](const std::string& batch, int) -> std::string {
    return batch.find("alter table temp_aall add") != std::string::npos ? "no such table" : "";
  });
  UpdateRunner runner(config_);
  runner.Run();
  EXPECT_EQ(runner.FailedTask(), "DONT-inserting categories");
  EXPECT_EQ(CallWith("insert into temp_aall"), -1);
}

TEST_F(UpdateRunnerTest, FailedLoadFailsTheLoadTask) {
  std::remove(index_file_.c_str());
  UpdateRunner runner(config_);
  runner.Run();
  EXPECT_EQ(runner.FailedTask(), "inserting data into database");
  EXPECT_THAT(runner.ErrorText(), HasSubstr("cannot open the index file"));
  EXPECT_EQ(runner.Rows()[1].status, "error");
}

TEST_F(UpdateRunnerTest, RejectedIndexLinesAreLoggedAndTheRunGoesOn) {
  std::ofstream(index_file_, std::ios::binary) << "//PC1\ts\t\t\ta.txt\t1\n//PC1\tbroken\n";
  UpdateRunner runner(config_);
  runner.Run();
  EXPECT_TRUE(runner.Completed());
  EXPECT_EQ(runner.RejectedLines(), 1);
  EXPECT_THAT(Log(), HasSubstr("job   : inserting data into database (index lines not loaded)\r\n"
                               "body  : line 2: the line has 2 fields instead of six: "
                               "//PC1\tbroken\r\n"));
}

TEST_F(UpdateRunnerTest, HugeRejectedLinesAreLoggedByTheirStartOnly) {
  {
    std::ofstream out(index_file_, std::ios::binary);
    out << "//PC1\ts\t\t\ta.txt\t1\r\n";
    const std::string huge(10 * 1024 * 1024, 'x');
    for (int i = 0; i < 30; ++i) out << "//PC1\t" << huge << "\r\n";
    out << std::string(400, 'y') << "\r\n";
  }
  UpdateRunner runner(config_);
  runner.Run();
  EXPECT_TRUE(runner.Completed());
  EXPECT_EQ(runner.RejectedLines(), 31);
  const std::string log = Log();
  EXPECT_LT(log.size(), 64u * 1024) << "the log holds the lines whole";
  // (Checked by find: a failing HasSubstr would print the whole log.)
  EXPECT_NE(
      log.find("line 2: the line is 10485766 bytes long, longer than any index line: //PC1\t" +
               std::string(300 - 6, 'x') + " ...\r\n"),
      std::string::npos);
  EXPECT_NE(log.find("line 32: the line has 1 fields instead of six: " + std::string(300, 'y') +
                     " ...\r\n"),
            std::string::npos);
  EXPECT_THAT(log, HasSubstr("31 lines not loaded"));
}

TEST_F(UpdateRunnerTest, LoadRowShowsTheLinesSentSoFar) {
  std::string text;
  for (int i = 0; i < 4000; ++i) text += "//PC1\ts\t\t\tf" + std::to_string(i) + "\t1\n";
  std::ofstream(index_file_, std::ios::binary) << text;
  UpdateRunner* runner_ptr = nullptr;
  std::vector<std::string> load_statuses;
  executor_.set_on_run([&] {
    if (runner_ptr != nullptr) load_statuses.push_back(runner_ptr->Rows()[1].status);
  });
  UpdateRunner runner(config_);
  runner_ptr = &runner;
  runner.Run();
  // Seen after the body, after batch 1 and after batch 2 (each before its own
  // progress update), then after the next task's body.
  EXPECT_THAT(std::vector<std::string>(load_statuses.begin() + 1, load_statuses.begin() + 5),
              ElementsAre("running", "running", "3000", "done"));
}

TEST_F(UpdateRunnerTest, StopRequestFinishesTheCurrentTaskOnly) {
  UpdateRunner runner(config_);
  RunStoppingAt(runner, "CREATE INDEX [i_aall_s1]");
  EXPECT_TRUE(failures_.empty());
  EXPECT_EQ(CallWith("CREATE INDEX [i_aall_d1]"), -1);
  EXPECT_EQ(runner.Rows()[8].name, "create index on shares");
  EXPECT_EQ(runner.Rows()[8].status, "done");
  EXPECT_EQ(runner.Rows()[9].status, "waiting...");
}

// Between the swap's BEGIN and its COMMIT a stop would roll the swap back
// (and leave the new catalog unused): the run goes on to the commit, then stops.
TEST_F(UpdateRunnerTest, StopRequestInsideTheSwapTakesEffectAfterItsCommit) {
  UpdateRunner runner(config_);
  RunStoppingAt(runner, "BEGIN TRAN");
  EXPECT_GE(CallWith("CREATE PROCEDURE spGetFullPathFileFromID"), 0);
  EXPECT_GE(CallWith("COMMIT TRAN"), 0);
  EXPECT_EQ(runner.Rows()[16].name, "reinsert stored procedures");
  EXPECT_EQ(runner.Rows()[16].status, "done");
  EXPECT_EQ(runner.Rows()[17].name, "terminating...");
  EXPECT_EQ(runner.Rows()[17].status, "waiting...");
  EXPECT_EQ(Setting("CategoriesEditForWeb"), "0|Audio/*.mp3|Docs/*.doc");
}

// The debug pause: the run waits before the chosen task, runs nothing more,
// and a stop ends it there.
TEST_F(UpdateRunnerTest, DebugPauseWaitsBeforeTheChosenTaskUntilAStop) {
  config_.pause_before_task = 5;  // DONT-temp aall
  UpdateRunner runner(config_);
  ::testing::internal::CaptureStderr();
  runner.Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(runner.Running());
  EXPECT_GE(CallWith("insert into temp_shares1"), 0);
  EXPECT_EQ(CallWith("CREATE TABLE [dbo].[temp_aall]"), -1);
  runner.RequestStop();
  runner.Wait();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "update paused before task 5: DONT-temp aall\n");
  EXPECT_FALSE(runner.Completed());
  EXPECT_TRUE(runner.FailedTask().empty());
  EXPECT_EQ(CallWith("CREATE TABLE [dbo].[temp_aall]"), -1);
}

TEST_F(UpdateRunnerTest, LockingHookRunsOnlyWithStopWebService) {
  int locked_before_swap = -1;
  config_.on_locking = [&] { locked_before_swap = CallWith("BEGIN TRAN") < 0 ? 1 : 0; };
  {
    UpdateRunner runner(config_);
    runner.Run();
    EXPECT_TRUE(runner.Completed());
  }
  EXPECT_EQ(locked_before_swap, -1);

  UpdateFakeSql fresh;
  config_.executor = &fresh;
  config_.on_locking = [&] {
    locked_before_swap = 0;
    for (const UpdateFakeSql::Call& call : fresh.calls()) {
      if (call.batch.find("BEGIN TRAN") != std::string::npos) return;
    }
    locked_before_swap = 1;
  };
  config_.stop_web_service = true;
  UpdateRunner runner(config_);
  runner.Run();
  EXPECT_EQ(locked_before_swap, 1);
}

TEST_F(UpdateRunnerTest, SetupModeDropsEveryCatalogTableFirst) {
  config_.setup_mode = true;
  UpdateRunner runner(config_);
  runner.Run();
  EXPECT_TRUE(runner.Completed());
  const UpdateFakeSql::Call first = executor_.calls()[0];
  EXPECT_EQ(first.batch, SetupDropBatch());
  EXPECT_EQ(first.caller, SqlCaller::kIndexerBatch);
  EXPECT_THAT(first.batch,
              StartsWith(" if exists (select * from dbo.sysobjects where id = "
                         "object_id(N'[dbo].[zz]') and OBJECTPROPERTY(id, N'IsUserTable') = 1) "
                         "drop table [dbo].[zz]  if exists"));
  for (const char* table :
       {"temp_stat_categories", "aall", "shares1", "constants", "stat", "stat_topmegi",
        "stat_filesize", "stat_categories", "tmp1", "monitor_pings"}) {
    EXPECT_THAT(first.batch, HasSubstr(std::string("drop table [dbo].[") + table + "] "));
  }
  EXPECT_THAT(first.batch, ::testing::Not(HasSubstr("stat_searchs")));
  EXPECT_THAT(first.batch, ::testing::Not(HasSubstr("quick_links")));
}

}  // namespace
}  // namespace tellwen::indexer
