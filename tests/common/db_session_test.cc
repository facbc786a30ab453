#include "common/db_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "common/kiv_registry.h"
#include "common/password.h"
#include "common/sql_session.h"
#include "tests/base/recording_messages.h"
#include "tests/support/scratch_store.h"

namespace tellwen {
namespace {

using tellwen::testing::ScopedRecordingMessages;
using tellwen::testing::ScratchStore;
using ::testing::HasSubstr;

class DbSession : public ::testing::Test {
 protected:
  void SetUp() override {
    CKIVRegistry registry;
    registry.SetValue("SqlServer", "localhost");
    registry.SetValue("SqlDatabase", "kiv");
    registry.SetValue("SqlUser", "sa");
    registry.SetValue("SqlPassword", ScramblePassword("", 3));
    SqlResult created =
        RunSqlOn(BuildConnectionString({"localhost", "master", "sa", ""}), "create database [kiv]",
                 0, TimeoutsFor(SqlCaller::kSetupDatabase));
    ASSERT_FALSE(created.error) << created.error_text;
  }

  ScratchStore store_;
  ScopedRecordingMessages messages_;
};

TEST_F(DbSession, RowsComeBackAsTexts) {
  SqlResult r = RunSql("select 'a', NULL, 42, 2.5, convert(datetime, '2002-02-15 17:38:32')", 5,
                       SqlCaller::kQueryRowReader);
  ASSERT_FALSE(r.error) << r.error_text;
  EXPECT_EQ(r.rows, (SqlRows{{"a", "", "42", "2.5", "2002-02-15 17:38:32"}}));
  // Only the first n fields are read.
  r = RunSql("select 1, 2, 3 union all select 4, 5, 6", 2, SqlCaller::kMonitorRound);
  EXPECT_EQ(r.rows, (SqlRows{{"1", "2"}, {"4", "5"}}));
}

TEST_F(DbSession, ColumnCountZeroOnlyExecutes) {
  SqlResult r = RunSql("create table t (a int) insert t values (1) select a from t", 0,
                       SqlCaller::kIndexerBatch);
  EXPECT_FALSE(r.error);
  EXPECT_TRUE(r.rows.empty());
  EXPECT_EQ(RunSql("select count(*) from t", 1, SqlCaller::kMonitorRound).rows, (SqlRows{{"1"}}));
}

// The update job's connections are tuned for bulk rewrites; what they commit
// is what every other caller reads, and a failed batch of theirs still rolls
// back whole.
TEST_F(DbSession, UpdateJobConnectionsCommitAndRollBackLikeAnyOther) {
  SqlResult r = RunSql(
      "create table big (id int, name varchar(255)) declare @i int set @i = 0 "
      "while @i < 3000 begin insert big values (@i, replicate('x', 200)) set @i = @i + 1 end",
      0, SqlCaller::kIndexerTaskBody);
  ASSERT_FALSE(r.error) << r.error_text;
  r = RunSql("update big set name = 'y'", 0, SqlCaller::kIndexerBatch);
  ASSERT_FALSE(r.error) << r.error_text;
  EXPECT_EQ(RunSql("select count(*), max(name) from big", 2, SqlCaller::kQuerySearch).rows,
            (SqlRows{{"3000", "y"}}));
  r = RunSql("begin tran update big set name = 'z' select * from nope commit tran", 0,
             SqlCaller::kIndexerTaskBody);
  EXPECT_TRUE(r.error);
  EXPECT_EQ(RunSql("select count(*), max(name) from big", 2, SqlCaller::kQueryRowReader).rows,
            (SqlRows{{"3000", "y"}}));
}

// A kept connection carries a transaction from batch to batch: other
// sessions see nothing of it before its COMMIT, and closing the connection
// (as a process that dies does) rolls it back; a failing batch rolls it back
// too, and the connection serves the next batch.
TEST_F(DbSession, KeptConnectionCarriesATransactionAcrossBatches) {
  ASSERT_FALSE(RunSql("create table t (a int)", 0, SqlCaller::kIndexerBatch).error);
  const auto rows = [] { return RunSql("select count(*) from t", 1, SqlCaller::kQueryRowReader); };
  {
    KeptSqlConnection kept(SqlCaller::kIndexerTaskBody);
    ASSERT_FALSE(kept.Run("BEGIN TRAN insert t values (1)", 0).error);
    ASSERT_FALSE(kept.Run("insert t values (2)", 0).error);
    EXPECT_EQ(kept.Run("select count(*) from t", 1).rows, (SqlRows{{"2"}}));
    EXPECT_EQ(rows().rows, (SqlRows{{"0"}}));
    ASSERT_FALSE(kept.Run("COMMIT TRAN", 0).error);
    EXPECT_EQ(rows().rows, (SqlRows{{"2"}}));

    ASSERT_FALSE(kept.Run("BEGIN TRAN insert t values (3)", 0).error);
    EXPECT_TRUE(kept.Run("insert t values (4) select convert(int, 'x')", 0).error);
    EXPECT_TRUE(kept.Run("COMMIT TRAN", 0).error) << "the failing batch ended the transaction";
    EXPECT_EQ(rows().rows, (SqlRows{{"2"}}));

    ASSERT_FALSE(kept.Run("BEGIN TRAN insert t values (5)", 0).error);
  }
  EXPECT_EQ(rows().rows, (SqlRows{{"2"}})) << "closed before its COMMIT";
}

// The web's calls run on kept connections; each still starts as a fresh
// one: what a call left (a temp table, an open transaction, a SET option) is
// gone, what other connections committed is seen (a procedure made again),
// and a changed login password is checked again.
TEST_F(DbSession, KeptWebConnectionsStartEachCallAfresh) {
  const auto web = [](const std::string& sql, int columns = 1) {
    return RunSql(sql, columns, SqlCaller::kQueryRowReader);
  };
  const auto other = [](const std::string& sql) {
    SqlResult r = RunSql(sql, 0, SqlCaller::kIndexerBatch);
    EXPECT_FALSE(r.error) << sql << ": " << r.error_text;
  };
  other("create table t (a int)");
  other("create procedure p as select 1");
  for (int round = 0; round < 3; ++round) {
    ASSERT_FALSE(web("create table #left (a int) insert #left values (1) "
                     "set transaction isolation level snapshot begin tran insert t values (1)",
                     0)
                     .error);
    EXPECT_EQ(web("select @@trancount").rows, (SqlRows{{"0"}}));
    EXPECT_EQ(web("select count(*) from t").rows, (SqlRows{{"0"}})) << "rolled back";
    EXPECT_EQ(web("exec p").rows, (SqlRows{{std::to_string(round + 1)}}));
    other("drop procedure p");
    other("create procedure p as select " + std::to_string(round + 2));
  }
  EXPECT_EQ(web("select * from #left").description, "Invalid object name '#left'.");
  // A failed batch's connection is closed; the next call works.
  EXPECT_TRUE(web("begin tran insert t values (1) select convert(int, 'x')").error);
  EXPECT_EQ(web("select @@trancount, count(*) from t", 2).rows, (SqlRows{{"0", "0"}}));
  // The kept connections opened with the old password are not used again.
  ASSERT_FALSE(web("select 1").error);
  other("ALTER LOGIN sa WITH PASSWORD = 'changed'");
  EXPECT_EQ(web("select 1").description, "Login failed for user 'sa'.");
}

// Calls from many threads at once share the kept connections: each gets a
// connection of its own for its batch and sees only its own temp table.
TEST_F(DbSession, KeptWebConnectionsServeManyThreads) {
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &wrong] {
      for (int i = 0; i < 25; ++i) {
        const std::string mine = std::to_string(t * 100 + i);
        SqlResult r = RunSql("create table #mine (a int) insert #mine values (" + mine +
                                 ") select a, (select count(*) from #mine) from #mine",
                             2, SqlCaller::kQueryStatementRunner);
        if (r.error || r.rows != SqlRows{{mine, "1"}}) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(DbSession, ErrorsCarryDescriptionAndSource) {
  SqlResult r = RunSql("select * from nope", 1, SqlCaller::kQueryStatementRunner);
  EXPECT_TRUE(r.error);
  EXPECT_EQ(r.description, "Invalid object name 'nope'.");
  EXPECT_EQ(r.source, "Microsoft OLE DB Provider for SQL Server");
  EXPECT_EQ(r.error_text,
            "unexpected error: Invalid object name 'nope'. src:Microsoft OLE DB Provider for SQL "
            "Server");
  r = RunSql("select 1", 2, SqlCaller::kMonitorRound);
  EXPECT_TRUE(r.error);
  EXPECT_EQ(r.source, "ADODB.Fields");
}

TEST_F(DbSession, AWrongStoredPasswordIsRefused) {
  CKIVRegistry().SetValue("SqlPassword", ScramblePassword("wrong", 9));
  SqlResult r = RunSql("select 1", 1, SqlCaller::kMonitorRound);
  EXPECT_TRUE(r.error);
  EXPECT_EQ(r.error_text,
            "unexpected error: Login failed for user 'sa'. src:Microsoft OLE DB Provider for SQL "
            "Server");
  // Once the server's password is changed, the stored one works again.
  RunSqlOn(BuildConnectionString({"localhost", "kiv", "sa", ""}),
           "ALTER LOGIN sa WITH PASSWORD = 'wrong'", 0, {15, 30});
  EXPECT_FALSE(RunSql("select 1", 1, SqlCaller::kMonitorRound).error);
}

TEST_F(DbSession, ConnectionStringIsBuiltAndParsed) {
  const SqlConnectionSettings s{"PC1", "kiv", "sa", "p w"};
  EXPECT_EQ(BuildConnectionString(s),
            "Provider=SQLOLEDB;Data Source=PC1;Initial Catalog=kiv;User Id=sa;Password=p w;");
  SqlConnectionSettings parsed;
  ASSERT_TRUE(ParseConnectionString(BuildConnectionString(s), &parsed));
  EXPECT_EQ(parsed.server, "PC1");
  EXPECT_EQ(parsed.database, "kiv");
  EXPECT_EQ(parsed.user, "sa");
  EXPECT_EQ(parsed.password, "p w");
  ASSERT_TRUE(ParseConnectionString("server=h; database=d; uid=u; pwd=x", &parsed));
  EXPECT_EQ(parsed.server, "h");
  EXPECT_EQ(parsed.user, "u");
  EXPECT_FALSE(ParseConnectionString("Data Source", &parsed));
  // The provider carries the engine, both ways.
  EXPECT_EQ(parsed.engine, kEngineEmbedded);
  SqlConnectionSettings pg{"db.lan,6543", "kiv", "tellwen", "x", kEnginePostgresql};
  ASSERT_TRUE(ParseConnectionString(BuildConnectionString(pg), &parsed));
  EXPECT_EQ(BuildConnectionString(pg).rfind("Provider=PostgreSQL;Data Source=db.lan,6543;", 0), 0u);
  EXPECT_EQ(parsed.engine, kEnginePostgresql);
  EXPECT_EQ(parsed.server, "db.lan,6543");
}

TEST_F(DbSession, PasswordsKeepSemicolonsQuotesAndBlanks) {
  // Each password is set on the server, stored scrambled, and must then open
  // connections through RunSql, TestConnection and a connection string.
  std::string current;
  for (const std::string password : {"a;b", " p w ", "\"q\";x", "'", "tail;"}) {
    SqlResult set = RunSqlOn(
        SqlConnectionSettings{"localhost", "kiv", "sa", current},
        "ALTER LOGIN sa WITH PASSWORD = '" + (password == "'" ? std::string("''") : password) + "'",
        0, {15, 30});
    ASSERT_FALSE(set.error) << password << ": " << set.error_text;
    current = password;
    CKIVRegistry().SetValue("SqlPassword", ScramblePassword(password, 5));
    SqlResult r = RunSql("select 1", 1, SqlCaller::kMonitorRound);
    EXPECT_FALSE(r.error) << password << ": " << r.error_text;
    std::string source, description;
    EXPECT_TRUE(
        TestConnection("localhost", "kiv", "sa", password, {15, 120}, &source, &description))
        << password << ": " << description;
    // Only the whole password opens: not its first character, not more.
    for (const std::string& wrong : {password.substr(0, 1) + "?", password + "x"}) {
      EXPECT_FALSE(
          TestConnection("localhost", "kiv", "sa", wrong, {15, 120}, &source, &description))
          << wrong;
    }
    SqlConnectionSettings parsed;
    const std::string text = BuildConnectionString({"localhost", "kiv", "sa", password});
    ASSERT_TRUE(ParseConnectionString(text, &parsed)) << text;
    EXPECT_EQ(parsed.password, password) << text;
    EXPECT_FALSE(RunSqlOn(text, "select 1", 1, {15, 30}).error) << text;
  }
  std::string source, description;
  EXPECT_FALSE(TestConnection("localhost", "kiv", "sa", "tail", {15, 120}, &source, &description));
  // Blanks around a password are part of it.
  SqlResult blanks = RunSqlOn(SqlConnectionSettings{"localhost", "kiv", "sa", "tail;"},
                              "ALTER LOGIN sa WITH PASSWORD = ' p w '", 0, {15, 30});
  ASSERT_FALSE(blanks.error) << blanks.error_text;
  EXPECT_FALSE(TestConnection("localhost", "kiv", "sa", "p w", {15, 120}, &source, &description));
  EXPECT_TRUE(TestConnection("localhost", "kiv", "sa", " p w ", {15, 120}, &source, &description));
}

TEST_F(DbSession, QuotedConnectionStringValues) {
  SqlConnectionSettings parsed;
  ASSERT_TRUE(ParseConnectionString("Pwd=\"a;\"\"b\" ; Server = 'h;1' ;uid=u", &parsed));
  EXPECT_EQ(parsed.password, "a;\"b");
  EXPECT_EQ(parsed.server, "h;1");
  EXPECT_EQ(parsed.user, "u");
  EXPECT_FALSE(ParseConnectionString("Pwd=\"open", &parsed));
  EXPECT_FALSE(ParseConnectionString("Pwd=\"a\"b;", &parsed));
}

TEST_F(DbSession, TestConnectionReportsSourceAndDescription) {
  std::string source, description;
  EXPECT_TRUE(TestConnection("localhost", "kiv", "sa", "", {15, 120}, &source, &description));
  EXPECT_FALSE(TestConnection("far-away-host", "kiv", "sa", "", {15, 120}, &source, &description));
  EXPECT_EQ(source, "Microsoft OLE DB Provider for SQL Server");
  EXPECT_THAT(description, HasSubstr("does not exist or access denied"));
  EXPECT_FALSE(TestConnection("localhost", "nodb", "sa", "", {15, 120}, &source, &description));
  EXPECT_THAT(description, HasSubstr("nodb"));
}

// The {connection, command} seconds of caller.
std::pair<int, int> Seconds(SqlCaller caller) {
  const SqlTimeouts timeouts = TimeoutsFor(caller);
  return {timeouts.connection_seconds, timeouts.command_seconds};
}

TEST_F(DbSession, TimeoutTable) {
  using Pair = std::pair<int, int>;
  // The site's callers take its two settings when they are in range and
  // their own defaults otherwise.
  CKIVRegistry registry;
  registry.SetValue("QueryConnectionTimeout", "1");
  registry.SetValue("QueryCommandTimeout", "900");
  EXPECT_EQ(Seconds(SqlCaller::kQuerySearch), Pair(15, 180));
  EXPECT_EQ(Seconds(SqlCaller::kQueryRowReader), Pair(15, 120));
  EXPECT_EQ(Seconds(SqlCaller::kQueryStatementRunner), Pair(30, 180));
  registry.SetValue("QueryConnectionTimeout", "180");
  EXPECT_EQ(Seconds(SqlCaller::kQuerySearch).first, 15);
  registry.SetValue("QueryConnectionTimeout", "179");
  registry.SetValue("QueryCommandTimeout", "899");
  EXPECT_EQ(Seconds(SqlCaller::kQuerySearch), Pair(179, 899));
  EXPECT_EQ(Seconds(SqlCaller::kQueryRowReader), Pair(179, 899));
  // The other callers' are fixed.
  for (auto [caller, seconds] : {std::pair{SqlCaller::kIndexerSkipList, Pair(15, 60)},
                                 {SqlCaller::kIndexerTaskBody, Pair(60, 36000)},
                                 {SqlCaller::kIndexerBatch, Pair(30, 7200)},
                                 {SqlCaller::kMonitorRound, Pair(3, 3600)}}) {
    EXPECT_EQ(Seconds(caller), seconds) << static_cast<int>(caller);
  }
}

// A request's calls use the connection settings of its first call; the next
// request reads them again (here a database that does not exist).
TEST_F(DbSession, ASettingsScopeReadsTheConnectionOnce) {
  DatabaseSql sql;
  {
    SqlSettingsScope request;
    ASSERT_FALSE(sql.Run("select 1", 1, SqlCaller::kQueryRowReader).error);
    CKIVRegistry().SetValue("SqlDatabase", "nowhere");
    {
      SqlSettingsScope inner;  // the outer scope stays in force
      EXPECT_FALSE(sql.Run("select 1", 1, SqlCaller::kQueryStatementRunner).error);
    }
    EXPECT_FALSE(sql.Run("select 1", 1, SqlCaller::kQueryRowReader).error);
  }
  EXPECT_TRUE(sql.Run("select 1", 1, SqlCaller::kQueryRowReader).error);
}

}  // namespace
}  // namespace tellwen
