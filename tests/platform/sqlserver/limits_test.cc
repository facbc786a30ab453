// Statements at and beyond the server's limits: long operator chains and
// deep nesting are answered (or refused with SQL Server's texts), never
// crash the process that hosts the server.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "platform/sqlserver/sql_error.h"
#include "tests/platform/sqlserver/server_fixture.h"

namespace tellwen::sqlserver {
namespace {

using Limits = ServerTest;

// "first op term op term ..." with n terms.
std::string Chain(const std::string& term, const std::string& op, int n) {
  std::string r = term;
  for (int i = 1; i < n; ++i) r += " " + op + " " + term;
  return r;
}

TEST_F(Limits, LongArithmeticChainsAreComputed) {
  EXPECT_EQ(One("select " + Chain("1", "+", 900)), "900");
  EXPECT_EQ(One("select " + Chain("2", "*", 20) + " / " + Chain("1024", "/", 2)), "1");
  EXPECT_EQ(One("select len(" + Chain("'ab'", "+", 900) + ")"), "1800");
  // Operands of unknown type: the addition is decided row by row.
  Run("create table t (v varchar(10), n int) insert t values ('x', 1)");
  EXPECT_EQ(One("select len(" + Chain("v", "+", 300) + ") from t"), "300");
  EXPECT_EQ(One("select " + Chain("n", "+", 300) + " from t"), "300");
  EXPECT_EQ(One("select " + Chain("'1'", "+", 3) + " + " + Chain("n", "+", 250) + " from t"),
            "361");  // the texts concatenate, then add as a number
  EXPECT_EQ(One("select " + Chain("n", "^", 301) + " from t"), "1");
}

TEST_F(Limits, MixedOperatorsKeepSqlServerPrecedence) {
  EXPECT_EQ(Run("select 2 * 3 + 4 * 5 - 6 / 2, 1 & 2 + 3, 7 - (2 + 1), 7 - 2 + 1, 2 ^ 3 ^ 1, "
                "12 % 5 * 2, 1 | 2 * 4, 6 & 3 | 8, 5 - 3 - 1, 2 * (3 + 4) * 5, 1 + 2 & 3"),
            (Rows{{"23", "3", "4", "6", "0", "4", "9", "10", "1", "70", "3"}}));
  Run("create table t (v varchar(10), n int) insert t values ('5', 2)");
  EXPECT_EQ(Run("select v + n * 3, n - v - 1, 'a' + v + 'b', v + v + n, n + v + v from t"),
            (Rows{{"11", "-4", "a5b", "57", "12"}}));
}

TEST_F(Limits, TooLongAChainIsRefusedWithSqlServersText) {
  // 16,000 terms: 32 KB of "1+1+...".
  EXPECT_EQ(Error("select " + Chain("1", "+", 16000)), kExpressionTooLong);
  EXPECT_EQ(Error("select 1 where " + Chain("1 = 1", "and", 5000)), kExpressionTooLong);
  // The connection stays usable.
  EXPECT_EQ(One("select 1 + 1"), "2");
}

TEST_F(Limits, LongLogicalChainsRun) {
  Run("create table t (a int, s varchar(20)) insert t values (1, 'abc')");
  EXPECT_EQ(One("select count(*) from t where " + Chain("a = 1", "and", 400)), "1");
  EXPECT_EQ(One("select count(*) from t where " + Chain("a = 2", "or", 400) + " or a = 1"), "1");
  EXPECT_EQ(One("select count(*) from t where " + Chain("s like '%b%'", "and", 200)), "1");
  EXPECT_EQ(One("select count(*) from t where " + Chain("(a = 1 or a = 2)", "and", 150)), "1");
  EXPECT_EQ(One("declare @i int set @i = 0 while " + Chain("@i < 3", "and", 300) +
                " set @i = @i + 1 select @i"),
            "3");
}

TEST_F(Limits, DeepNestingIsRefusedWithSqlServersText) {
  const std::string open(300, '('), close(300, ')');
  EXPECT_EQ(Error("select " + open + "1" + close), kNestedTooDeeply);
  // Within the parser's limit but beyond what SQLite's parser takes.
  std::string right = "1";
  for (int i = 0; i < 150; ++i) right = "1 + (" + right + ")";
  EXPECT_EQ(Error("select " + right), kNestedTooDeeply);
  std::string subqueries = "select 1";
  for (int i = 0; i < 250; ++i) subqueries = "select (" + subqueries + ")";
  EXPECT_EQ(Error(subqueries), kNestedTooDeeply);
  std::string blocks = "select 1";
  for (int i = 0; i < 250; ++i) blocks = "if 1 = 1 begin " + blocks + " end";
  EXPECT_EQ(Error(blocks), kNestedTooDeeply);
  EXPECT_EQ(One("select ((((((1 + 2))))))"), "3");
}

TEST_F(Limits, SqliteLimitsAreReportedInSqlServersWords) {
  std::string columns = "c0 int";
  for (int i = 1; i <= 1024; ++i) columns += ", c" + std::to_string(i) + " int";
  EXPECT_EQ(Error("create table wide (" + columns + ")"),
            "CREATE TABLE failed because column 'c1024' in table 'wide' exceeds the maximum of "
            "1024 columns.");
  EXPECT_EQ(One("select count(*) from sysobjects where name = 'wide'"), "0");
  std::string items = "1";
  for (int i = 1; i < 2001; ++i) items += ", 1";
  EXPECT_EQ(Error("select " + items),
            "The number of elements in the select list exceeds the maximum allowed number of "
            "2000 elements.");
  // Every constant is a parameter of the SQLite statement.
  std::string list = "0";
  for (int i = 1; i <= 250001; ++i) list += ",1";
  EXPECT_EQ(Error("select 1 where 2 in (" + list + ")"),
            "The incoming request has too many parameters. Reduce the number of parameters and "
            "resend the request.");
}

TEST_F(Limits, TempTablesSpillToDiskPastAModestSize) {
  Run("create table #big (v varchar(8000)) insert #big values (replicate('x', 4000))");
  const sqlite3_int64 before = sqlite3_memory_used();
  sqlite3_memory_highwater(/*reset=*/1);
  // 2^14 rows of 4 KB: 64 MB in the #temp table.
  Run("declare @i int set @i = 0 while @i < 14 begin insert #big select v from #big "
      "set @i = @i + 1 end");
  EXPECT_EQ(One("select count(*) from #big"), "16384");
  const sqlite3_int64 peak = sqlite3_memory_highwater(/*reset=*/0);
  EXPECT_LT(peak - before, 40ll << 20) << "bytes held by SQLite at the peak";
}

}  // namespace
}  // namespace tellwen::sqlserver
