// The database session with SqlEngine "postgresql": the stored settings, a
// connection test and batches reach a real PostgreSQL server of the test's own.
#include <gtest/gtest.h>

#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "common/settings.h"
#include "tests/support/postgres_server.h"
#include "tests/support/scratch_store.h"

namespace tellwen {
namespace {

using testing::PostgresServer;

TEST(PostgresSession, StoredEngineAndTestReachTheServer) {
  std::string why;
  std::unique_ptr<PostgresServer> server = PostgresServer::Start(&why);
  if (!server) GTEST_SKIP() << "no PostgreSQL server: " << why;
  testing::ScratchStore store;
  RegistrySettings settings;
  const SqlConnectionSettings values{server->DataSource(), "postgres", PostgresServer::kUser,
                                     server->password(), kEnginePostgresql};
  StoreConnectionSettings(settings, values);
  EXPECT_EQ(CKIVRegistry().GetValue("SqlEngine"), "postgresql");
  EXPECT_EQ(ReadConnectionSettings().engine, kEnginePostgresql);

  std::string source, description;
  EXPECT_TRUE(TestConnection(values, {5, 30}, &source, &description)) << description;
  SqlConnectionSettings wrong = values;
  wrong.password = "not it";
  EXPECT_FALSE(TestConnection(wrong, {5, 30}, &source, &description));
  EXPECT_NE(description.find("password authentication failed"), std::string::npos) << description;
  // The same values on the embedded engine name no server of this machine.
  wrong = values;
  wrong.engine = kEngineEmbedded;
  EXPECT_FALSE(TestConnection(wrong, {5, 30}, &source, &description));

  // Batches go to that server, pooled or not.
  SqlResult r = RunSql("select 1 + 1, 'a' + 'b'", 2, SqlCaller::kMonitorRound);
  EXPECT_FALSE(r.error) << r.error_text;
  EXPECT_EQ(r.rows, (SqlRows{{"2", "ab"}}));
  r = RunSql("select db_name()", 1, SqlCaller::kQuerySearch);
  EXPECT_TRUE(r.error);  // refused by that server, in the designed text
  EXPECT_EQ(r.error_text.rfind("unexpected error: ", 0), 0u) << r.error_text;
}

}  // namespace
}  // namespace tellwen
