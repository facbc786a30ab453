// Every SQLite message the server translates, one row each, and one that
// passes unchanged. The batch cases (cases/sqlite_messages.cases) show the
// translations reached through real statements.
#include "platform/sqlserver/sqlite_messages.h"

#include <gtest/gtest.h>

namespace tellwen::sqlserver {
namespace {

TEST(SqliteMessages, EachKnownMessageInSqlServersWords) {
  const struct {
    const char* sqlite;
    const char* sql_server;
  } kTable[] = {
      {"no such table: main.aall", "Invalid object name 'aall'."},
      {"no such table: #t", "Invalid object name '#t'."},
      {"no such column: a.fn", "Invalid column name 'fn'."},
      {"no such column: fn", "Invalid column name 'fn'."},
      {"table \"#t\" already exists", "There is already an object named '#t' in the database."},
      {"table temp.x already exists", "There is already an object named 'x' in the database."},
      {"ambiguous column name: id", "Ambiguous column name 'id'."},
      {"duplicate column name: a",
       "Column names in each table must be unique. Column name 'a' is specified more than once."},
      {"2 values for 3 columns",
       "Insert Error: Column name or number of supplied values does not match table "
       "definition."},
      {"NOT NULL constraint failed: t.a",
       "Cannot insert the value NULL into column 'a', table 't'; column does not allow nulls. "
       "INSERT fails."},
      {"UNIQUE constraint failed: t.a",
       "Cannot insert duplicate key row in object with unique index (t.a)."},
      {"database is locked", "Lock request time out period exceeded."},
      {"database table is locked", "Lock request time out period exceeded."},
      {"interrupted", "Query timeout expired"},
      {"parser stack overflow",
       "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up "
       "into smaller queries."},
      {"Expression tree is too large (maximum depth 1000)",
       "The query processor ran out of stack space during query optimization. Please simplify "
       "the query."},
      {"too many columns on wide",
       "CREATE TABLE failed because table 'wide' exceeds the maximum of 2000 columns."},
      {"too many columns in result set",
       "The number of elements in the select list exceeds the maximum allowed number of 2000 "
       "elements."},
      {"too many SQL variables",
       "The incoming request has too many parameters. Reduce the number of parameters and "
       "resend the request."},
      {"near \"x\": syntax error", "near \"x\": syntax error"},
      {"table", "table"},
  };
  for (const auto& row : kTable) {
    EXPECT_EQ(MapSqliteMessage(row.sqlite), row.sql_server) << row.sqlite;
  }
}

}  // namespace
}  // namespace tellwen::sqlserver
