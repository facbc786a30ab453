// Rounds written into a real catalog database on the embedded SQL server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "monitor/core/monitor_worker.h"
#include "tests/base/recording_messages.h"
#include "tests/monitor/monitor_fakes.h"
#include "tests/support/scratch_store.h"

namespace tellwen::monitor {
namespace {

using tellwen::testing::ScratchStore;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class MonitorDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(store_.CreateDatabase(), "");
    CKIVRegistry settings;
    settings.SetValue("WebStatus", "yes");
    settings.SetValue("MonitorPingInterval", "0");
    // The two tables as the catalog defines them.
    Must("CREATE TABLE [dbo].[shares1] ([name] [varchar] (255) NULL, [data] [datetime] NULL)");
    Must(
        "CREATE TABLE [dbo].[monitor_pings] ([name] [varchar] (255) NULL, [status] [int] NULL,"
        " [ping_time] [varchar] (100) NULL)");
    Must(
        "insert into shares1 (name, data) values ('//pc1', getdate()) "
        "insert into shares1 (name, data) values ('//o''brien', getdate())");
    Must("insert into monitor_pings (name, status, ping_time) values ('//gone', 1, 'old')");
    echo_.alive = {"pc1"};
  }

  void Must(const std::string& sql) {
    SqlResult result = RunSql(sql, 0, SqlCaller::kSetupDatabase);
    ASSERT_FALSE(result.error) << sql << "\n-> " << result.error_text;
  }
  SqlRows Pings() {
    SqlResult result = RunSql("select name, status, ping_time from monitor_pings order by name", 3,
                              SqlCaller::kQueryRowReader);
    EXPECT_FALSE(result.error) << result.error_text;
    return result.rows;
  }
  // One whole round of the two computers with the given database calls.
  void Round(SqlSession& sql) {
    MonitorDependencies deps{&echo_, &settings_, &clock_, &log_, &sql};
    MonitorWorker worker(std::move(deps));
    worker.ReadSettings();
    worker.LoopOnce();
    worker.LoopOnce();
  }

  ScratchStore store_;
  tellwen::testing::ScopedRecordingMessages messages_;
  testing::FakeEcho echo_;
  testing::FakeClock clock_;
  testing::RecordingEventLog log_;
  RegistrySettings settings_;
  DatabaseSql database_;
};

TEST_F(MonitorDatabaseTest, ARoundReplacesTheTableWithStatusesAndTimes) {
  Round(database_);
  EXPECT_THAT(log_.reports, ::testing::IsEmpty());
  EXPECT_THAT(Pings(), ElementsAre(SqlRow{"//o'brien", "2", "2026, 12, 07, 09, 00, 00"},
                                   SqlRow{"//pc1", "1", "2026, 12, 07, 09, 00, 00"}));
  EXPECT_EQ(CKIVRegistry().GetValue("LastPingTime"), std::to_string(clock_.TickCount()));
}

TEST_F(MonitorDatabaseTest, AFailingRewriteLeavesTheTableAsItWas) {
  Round(database_);
  const SqlRows before = Pings();
  const std::string last_ping = CKIVRegistry().GetValue("LastPingTime");
  echo_.alive.clear();
  clock_.now_ms += 60000;
  // The rewrite fails after its delete and inserts have run, just before
  // the commit: the transaction must take all of them back.
  class FailingBeforeCommit : public SqlSession {
    SqlResult Run(const std::string& command, int columns, SqlCaller caller) override {
      std::string batch = command;
      const size_t commit = batch.rfind("commit transaction");
      if (commit != std::string::npos)
        batch.insert(commit, "insert into no_such_table (x) values (1) ");
      return RunSql(batch, columns, caller);
    }
  } failing;
  Round(failing);
  EXPECT_EQ(Pings(), before);
  EXPECT_EQ(CKIVRegistry().GetValue("LastPingTime"), last_ping);
  ASSERT_EQ(log_.reports.size(), 1u);
  EXPECT_THAT(log_.reports[0], HasSubstr("Database error: unexpected error: "));
}

TEST_F(MonitorDatabaseTest, AMissingComputerTableIsADatabaseErrorAndAnEmptyList) {
  Must("drop table shares1");
  Round(database_);
  ASSERT_FALSE(log_.reports.empty());
  EXPECT_THAT(log_.reports[0], HasSubstr("Database error: unexpected error: "));
  EXPECT_THAT(log_.reports[0], HasSubstr("shares1"));
  EXPECT_THAT(echo_.calls, ::testing::IsEmpty());
  EXPECT_EQ(Pings().size(), 1u);  // the old row stays
}

}  // namespace
}  // namespace tellwen::monitor
