// SQL Server semantics that one session's batches cannot show: several
// sessions, timeouts, logins, the rows a failed batch read. Everything that
// one session shows is in the case tables (cases/*.cases).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "tests/platform/sqlserver/server_fixture.h"
#include "tests/support/fake_clock.h"

namespace tellwen::sqlserver {
namespace {

using ::testing::HasSubstr;

using Semantics = ServerTest;

TEST_F(Semantics, TempTablesArePrivateToTheirSession) {
  Run("create table #mine (a int) insert #mine values (1)");
  auto other = Connect("kiv");
  ASSERT_TRUE(other);
  EXPECT_EQ(Error("select * from #mine", other.get()), "Invalid object name '#mine'.");
  Run("create table #mine (b int)", other.get());  // the same name, another session
  EXPECT_EQ(One("select a from #mine"), "1");
  // A temp table made inside a procedure ends with the procedure.
  Run("create procedure p as create table #inner (x int) insert #inner values (5) "
      "select x from #inner");
  EXPECT_EQ(One("exec p"), "5");
  EXPECT_EQ(One("exec p"), "5");
  EXPECT_EQ(Error("select * from #inner"), "Invalid object name '#inner'.");
}

TEST_F(Semantics, AnErrorStopsTheBatchAndRollsBackItsOpenTransaction) {
  Run("create table t (a int NOT NULL)");
  BatchResult result;
  SqlError error;
  EXPECT_FALSE(
      conn_->Execute("begin tran insert t values (1) select 'seen' "
                     "insert t values (NULL) insert t values (2) commit tran",
                     &result, &error));
  EXPECT_THAT(error.description, HasSubstr("Cannot insert the value NULL into column 'a'"));
  EXPECT_EQ(ToRows(result), (Rows{{"seen"}}));  // rows read before the error stay
  EXPECT_EQ(One("select count(*) from t"), "0");
  EXPECT_EQ(One("select @@trancount"), "0");
  EXPECT_EQ(Error("select * from missing_table"), "Invalid object name 'missing_table'.");
  EXPECT_EQ(Error("select nope from t"), "Invalid column name 'nope'.");
}

TEST_F(Semantics, AFailedSelectIntoLeavesNoTable) {
  Run("create table s (v varchar(10)) insert s values ('1') insert s values ('x')");
  for (const std::string target : {"#t", "t2"}) {
    EXPECT_THAT(Error("select convert(int, v) as n into " + target + " from s"),
                HasSubstr("Conversion failed"));
    EXPECT_EQ(One("select v into " + target + " from s select count(*) from " + target), "2")
        << target;
  }
}

TEST_F(Semantics, GetDateReadsTheConnectionsClock) {
  testing::FakeClock clock;
  clock.now_ms = (5 * 60 + 7) * 1000;
  ConnectOptions options = Options("kiv");
  options.clock = &clock;
  auto c = Open(options);
  ASSERT_TRUE(c);
  EXPECT_EQ(One("select convert(varchar(19), getdate(), 120)", c.get()), "2026-12-07 09:05:07");
}

TEST_F(Semantics, CommandTimeoutInterruptsARunningStatement) {
  auto slow = Connect("kiv", "sa", "", 1);
  ASSERT_TRUE(slow);
  EXPECT_EQ(Error("declare @i int set @i = 0 while 1 = 1 set @i = @i + 1", slow.get()),
            "Query timeout expired");
  // One long SQLite statement is interrupted too.
  Run("create table t (a int) declare @i int set @i = 0 "
      "while @i < 300 begin insert t values (@i) set @i = @i + 1 end",
      slow.get());
  EXPECT_EQ(Error("select count(*) from t a, t b, t c, t d", slow.get()), "Query timeout expired");
  // The session stays usable afterwards.
  EXPECT_EQ(One("select 1", slow.get()), "1");
}

TEST_F(Semantics, LoginsAndDataSourcesAreChecked) {
  EXPECT_FALSE(Connect("kiv", "sa", "wrong"));
  EXPECT_EQ(last_open_error_.description, "Login failed for user 'sa'.");
  EXPECT_EQ(last_open_error_.source, "Microsoft OLE DB Provider for SQL Server");
  EXPECT_FALSE(Connect("nodb"));
  EXPECT_THAT(last_open_error_.description, HasSubstr("Cannot open database \"nodb\""));
  ConnectOptions remote;
  remote.data_source = "otherhost.example";
  remote.user = "sa";
  remote.data_dir = dir_.path();
  SqlError error;
  EXPECT_FALSE(Connection::Open(remote, &error));
  EXPECT_THAT(error.description, HasSubstr("SQL Server does not exist or access denied."));
  for (const char* local : {"localhost", "(local)", ".", "127.0.0.1", "LOCALHOST"}) {
    EXPECT_TRUE(IsLocalDataSource(local)) << local;
  }
  Run("ALTER LOGIN sa WITH PASSWORD = 's3cret'");
  EXPECT_FALSE(Connect("kiv", "sa", ""));
  EXPECT_TRUE(Connect("kiv", "sa", "s3cret"));
}

TEST_F(Semantics, CreateDatabaseRefusesAnExistingName) {
  auto master = Connect("master");
  ASSERT_TRUE(master);
  EXPECT_THAT(Error("create database kiv", master.get()), HasSubstr("already exists"));
  Run("create database [second]", master.get());
  EXPECT_TRUE(Connect("second"));
}

}  // namespace
}  // namespace tellwen::sqlserver
