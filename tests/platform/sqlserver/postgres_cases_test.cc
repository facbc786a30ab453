// The case tables (cases/*.cases) on the PostgreSQL engine: every case not
// marked embedded-only runs, its steps in order, on a fresh database of a
// server the test starts. One test runs them all, so that one server
// serves every case; each case that differs is reported with its step.
#include <gtest/gtest.h>

#include <iostream>

#include "platform/sqlserver/sql_server.h"
#include "tests/platform/sqlserver/case_check.h"
#include "tests/platform/sqlserver/case_file.h"
#include "tests/support/postgres_server.h"

namespace tellwen::sqlserver {
namespace {

using testing::PostgresServer;

TEST(PostgresCases, EveryCaseGivesWhatItGivesOnTheEmbeddedEngine) {
  std::string why;
  std::unique_ptr<PostgresServer> server = PostgresServer::Start(&why);
  if (!server) GTEST_SKIP() << "no PostgreSQL server: " << why;
  auto connect = [&](const std::string& database) {
    SqlError error;
    std::unique_ptr<Connection> c = Connection::Open(server->Options(database), &error);
    EXPECT_TRUE(c) << database << ": " << error.description;
    return c;
  };
  std::unique_ptr<Connection> master = connect("master");
  ASSERT_TRUE(master);
  int run = 0, skipped = 0;
  for (const Case& c : LoadCaseFiles(TELLWEN_SQL_CASES)) {
    if (!c.embedded_only.empty()) {
      ++skipped;
      continue;
    }
    ++run;
    // As on the embedded engine, each case has a fresh "kiv" of its own.
    const std::string database = "kiv";
    BatchResult result;
    SqlError error;
    ASSERT_TRUE(master->Execute("create database [" + database + "]", &result, &error))
        << error.description;
    {
      std::unique_ptr<Connection> conn = connect(database);
      for (const CaseStep& step : conn ? c.steps : std::vector<CaseStep>{}) {
        BatchResult r;
        SqlError e;
        const bool ok = conn->Execute(step.batch, &r, &e);
        const std::string mismatch = StepMismatch(step, ok, r, e);
        if (!mismatch.empty()) {
          ADD_FAILURE() << c.file << ":" << step.line << " (case " << c.id << "): " << step.batch
                        << "\n-> " << mismatch;
          break;  // later steps build on this one
        }
      }
    }
    EXPECT_TRUE(server->Psql("postgres", "DROP DATABASE " + database));
  }
  std::cout << run << " cases run on PostgreSQL, " << skipped << " embedded-only\n";
}

}  // namespace
}  // namespace tellwen::sqlserver
