// The database's log file: tables named as log tables are created there,
// found by every statement as if they were in the catalog's file, and
// written under that file's own lock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tests/platform/sqlserver/server_fixture.h"

namespace tellwen::sqlserver {
namespace {

class LogFile : public ServerTest {
 protected:
  // A connection that places "hits" and "pings" in the log file; the
  // connection timeout (the longest wait for a lock) is one second.
  std::unique_ptr<Connection> ConnectWithLogs() {
    ConnectOptions options = Options("kiv");
    options.connection_timeout_seconds = 1;
    options.log_tables = {"hits", "pings", "temp_pings"};
    auto c = Open(options);
    EXPECT_TRUE(c) << last_open_error_.description;
    return c;
  }
  // The tables of the log file, read from the file itself.
  std::vector<std::string> LogFileTables() {
    std::vector<std::string> names;
    sqlite3* db = nullptr;
    const std::string file = dir_.path() + "/kiv~logs.sqlite";
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* stmt = nullptr;
      sqlite3_prepare_v2(db,
                         "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                         "'\\_tsql\\_%' ESCAPE '\\' ORDER BY name",
                         -1, &stmt, nullptr);
      while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        names.push_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
      }
      sqlite3_finalize(stmt);
    }
    sqlite3_close_v2(db);
    return names;
  }
};

TEST_F(LogFile, LogTablesLiveInTheirOwnFileAndAreFoundByName) {
  auto c = ConnectWithLogs();
  Run("if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[hits]') and "
      "OBJECTPROPERTY(id, N'IsUserTable') = 1) create table hits (word varchar(20), n int) "
      "create index i_word on hits (word) create table catalog (x int)",
      c.get());
  EXPECT_EQ(Run("select name from sqlite_master where type = 'table' and name in ('hits', "
                "'catalog')",
                c.get()),
            (Rows{{"catalog"}}));
  EXPECT_THAT(LogFileTables(), ::testing::ElementsAre("hits"));
  // Found again: the guarded create runs no second time.
  Run("if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[hits]') and "
      "OBJECTPROPERTY(id, N'IsUserTable') = 1) create table hits (word varchar(20), n int)",
      c.get());
  EXPECT_EQ(Error("create table hits (a int)", c.get()),
            "There is already an object named 'hits' in the database.");
  Run("insert hits values ('abc', 1) update hits set n = n + 1 where word = 'ABC'", c.get());
  EXPECT_EQ(One("select n from hits inner join catalog on 1 = 1 or 1 = 1", c.get()), "<none>");
  Run("insert catalog values (1)", c.get());
  EXPECT_EQ(One("select n from hits inner join catalog on 1 = 1", c.get()), "2");
  // A connection without the list finds the table all the same.
  EXPECT_EQ(One("select n from hits"), "2");
  Run("drop index hits.i_word", c.get());
  // Rewritten as the update swaps a fresh copy in.
  Run("create table temp_pings (name varchar(20)) insert temp_pings values ('//PC1') "
      "create table pings (name varchar(20))",
      c.get());
  Run("begin tran drop table pings exec sp_rename 'temp_pings', 'pings' drop table catalog "
      "commit tran",
      c.get());
  EXPECT_EQ(One("select name from pings", c.get()), "//PC1");
  EXPECT_THAT(LogFileTables(), ::testing::ElementsAre("hits", "pings"));
  Run("drop table pings drop table hits", c.get());
  EXPECT_EQ(One("select count(*) from sysobjects where name in ('pings', 'hits')", c.get()), "0");
}

TEST_F(LogFile, WritesToTheLogFileDoNotWaitForTheCatalogsWriter) {
  auto setup = ConnectWithLogs();
  Run("create table hits (n int) create table catalog (x int) insert catalog values (0)",
      setup.get());
  // A long write transaction on the catalog's file, as the update runs
  // them: it holds the lock for three seconds.
  std::atomic<bool> holding{false};
  std::thread writer([&] {
    auto c = ConnectWithLogs();
    Run("begin tran update catalog set x = x + 1 "
        "declare @end datetime set @end = dateadd(second, 3, getdate()) "
        "while getdate() < @end set @end = @end commit tran",
        c.get());
    holding = false;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  holding = true;
  auto web = ConnectWithLogs();
  // Transactions on the log file, as the search and the monitor write it.
  for (int i = 0; i < 3; ++i) {
    Run("begin tran insert hits values (1) delete from hits where n = 0 commit tran", web.get());
    Run("insert hits values (2)", web.get());
  }
  EXPECT_TRUE(holding) << "the writer ended before the log writes were tried";
  // Reading the catalog does not wait either; writing it does, and gives up
  // after the connection timeout.
  EXPECT_EQ(One("select x from catalog", web.get()), "0");
  EXPECT_EQ(Error("begin tran insert catalog values (5) commit tran", web.get()),
            "Lock request time out period exceeded.");
  writer.join();
  EXPECT_EQ(One("select count(*) from hits", web.get()), "6");
  EXPECT_EQ(One("select max(x) from catalog", web.get()), "1");
}

// Many connections of one process writing the log file at once: each waits
// its turn for the write lock (woken by the commits before it) and none
// gives up, though the connection timeout is one second.
TEST_F(LogFile, ConcurrentWritersOfOneProcessAllGetTheirTurn) {
  Run("create table hits (n int)", ConnectWithLogs().get());
  std::atomic<int> failures{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < 16; ++w) {
    writers.emplace_back([&] {
      auto c = ConnectWithLogs();
      for (int i = 0; c && i < 40; ++i) {
        BatchResult result;
        SqlError error;
        if (!c->Execute("begin tran insert hits values (1) insert hits values (2) commit tran",
                        &result, &error)) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(One("select count(*) from hits", ConnectWithLogs().get()), "1280");
}

}  // namespace
}  // namespace tellwen::sqlserver
