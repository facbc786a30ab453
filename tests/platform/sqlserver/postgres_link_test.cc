// The PostgreSQL engine's connection, against a real server of the test's
// own (tests/support/postgres_server.h).
#include "platform/sqlserver/postgres_link.h"

#include <gtest/gtest.h>

#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/sql_server.h"
#include "tests/support/postgres_suite.h"

namespace tellwen::sqlserver {
namespace {

using testing::PostgresServer;

TEST(PostgresDataSource, HostAndPortAsSqlServerWritesThem) {
  PostgresAddress a;
  ASSERT_TRUE(ParsePostgresDataSource(" db.lan , 6543 ", &a));
  EXPECT_EQ(a.host, "db.lan");
  EXPECT_EQ(a.port, 6543);
  ASSERT_TRUE(ParsePostgresDataSource("tcp:10.0.0.5", &a));
  EXPECT_EQ(a.host, "10.0.0.5");
  EXPECT_EQ(a.port, 5432);
  // Nothing that would reach libpq as another keyword or a second host.
  for (const char* bad : {"", ",5432", "db,", "db,0", "db,65536", "db,54x", "db host",
                          "db' sslmode='disable", "db,1,2"}) {
    EXPECT_FALSE(ParsePostgresDataSource(bad, &a)) << bad;
  }
}

class PostgresLinkTest : public testing::PostgresSuite {
 protected:
  ConnectOptions Options(const std::string& database = "postgres") const {
    ConnectOptions o = server_->Options(database);
    o.command_timeout_seconds = 1;
    return o;
  }
};

TEST_F(PostgresLinkTest, RunsStatementsWithTypedValuesAndParameters) {
  SqlError error;
  std::unique_ptr<PostgresLink> link = PostgresLink::Open(Options("master"), &error);
  ASSERT_TRUE(link) << error.description;
  PostgresRows rows;
  link->Run(
      "SELECT $1::int + 1 AS n, $2 || 'b' AS t, NULL AS z, 2.5::float8 AS f, "
      "true AS yes, current_database() AS db, TIMESTAMP '2002-02-15 17:38:32' AS d",
      {Value::Int(41), Value::Text("a")}, &rows);
  ASSERT_EQ(rows.rows.size(), 1u);
  const std::vector<Value>& r = rows.rows[0];
  EXPECT_EQ(rows.column_names[0], "n");
  EXPECT_EQ(r[0].type, Value::Type::kInt);
  EXPECT_EQ(r[0].i, 42);
  EXPECT_EQ(r[1].s, "ab");
  EXPECT_TRUE(r[2].IsNull());
  EXPECT_EQ(r[3].type, Value::Type::kFloat);
  EXPECT_EQ(r[4].i, 1);
  EXPECT_EQ(r[5].s, "postgres");  // "master" is the maintenance database
  EXPECT_EQ(r[6].s, "2002-02-15 17:38:32");

  link->Run("CREATE TEMP TABLE t (a int)", {});
  link->Run("INSERT INTO t VALUES (1), (2), (3)", {}, &rows);
  EXPECT_EQ(rows.changed, 3);
  // The errors the programs know come in SQL Server's words.
  try {
    link->Run("SELECT * FROM missing_table", {});
    FAIL();
  } catch (const SqlException& e) {
    EXPECT_EQ(e.description, "Invalid object name 'missing_table'.");
  }
  EXPECT_TRUE(link->Alive());
}

// A statement run again is prepared; a table that changes its columns under
// it, through this link or another, still gives the table's rows as they are.
TEST_F(PostgresLinkTest, StatementsRunAgainStayRightWhenTheirTablesChange) {
  SqlError error;
  std::unique_ptr<PostgresLink> link = PostgresLink::Open(Options(), &error);
  std::unique_ptr<PostgresLink> other = PostgresLink::Open(Options(), &error);
  ASSERT_TRUE(link && other) << error.description;
  const std::string read = "SELECT * FROM p WHERE a >= $1 ORDER BY a";
  auto rows_of = [&] {
    PostgresRows rows;
    link->Run(read, {Value::Int(2)}, &rows);
    return rows;
  };
  link->Run("CREATE TABLE p (a int, b text)", {});
  link->Run("INSERT INTO p VALUES (1, 'x'), (2, 'y'), (3, 'z')", {});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(rows_of().rows.size(), 2u);
  link->Run("DROP TABLE p", {});
  link->Run("CREATE TABLE p (a int)", {});
  link->Run("INSERT INTO p VALUES (2)", {});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(rows_of().rows.at(0).size(), 1u);
  // Another connection changes the columns: the prepared statement is
  // refused once, then run unprepared.
  other->Run("ALTER TABLE p ADD c text DEFAULT 'new'", {});
  const PostgresRows changed = rows_of();
  ASSERT_EQ(changed.rows.size(), 1u);
  EXPECT_EQ(changed.rows[0].at(1).s, "new");
  link->Run("DROP TABLE p", {});
}

TEST_F(PostgresLinkTest, CommandTimeoutStopsAStatement) {
  SqlError error;
  std::unique_ptr<PostgresLink> link = PostgresLink::Open(Options(), &error);
  ASSERT_TRUE(link) << error.description;
  try {
    link->Run("SELECT pg_sleep(5)", {});
    FAIL() << "the statement outlived its timeout";
  } catch (const SqlException& e) {
    EXPECT_EQ(e.description, "Query timeout expired");
  }
}

TEST_F(PostgresLinkTest, RefusalsSayWhy) {
  SqlError error;
  ConnectOptions wrong = Options();
  wrong.password += "x";
  EXPECT_FALSE(PostgresLink::Open(wrong, &error));
  EXPECT_NE(error.description.find("password authentication failed"), std::string::npos)
      << error.description;
  EXPECT_EQ(error.source, kErrorSource);
  // The password is never part of what the caller is told.
  EXPECT_EQ(error.description.find(wrong.password), std::string::npos);

  EXPECT_FALSE(PostgresLink::Open(Options("nodb"), &error));
  EXPECT_NE(error.description.find("\"nodb\" does not exist"), std::string::npos)
      << error.description;

  ConnectOptions closed = Options();
  closed.data_source = "127.0.0.1,1";
  EXPECT_FALSE(PostgresLink::Open(closed, &error));
  EXPECT_NE(error.description.find("refused"), std::string::npos) << error.description;

  closed.data_source = "127.0.0.1,x";
  EXPECT_FALSE(PostgresLink::Open(closed, &error));
  EXPECT_NE(error.description.find("does not name a PostgreSQL server"), std::string::npos);
}

}  // namespace
}  // namespace tellwen::sqlserver
