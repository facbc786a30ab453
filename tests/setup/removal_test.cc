#include "setup/core/removal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>

#include "common/db_session.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "setup/core/drop_batch.h"
#include "setup/core/stored_settings.h"
#include "tests/setup/scratch_machine.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fake_sql.h"
#include "tests/support/postgres_server.h"

namespace tellwen::setup {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WriteFile;

class RemovalTest : public ::testing::Test {
 protected:
  RemovalTest() {
    settings.SetValue("IISRootFolder", machine.root());
    settings.SetValue("IISScriptsFolder", machine.scripts());
    settings.SetValue("ReportFile", machine.base() + "/reports/report.txt");
    settings.SetValue("ReportFileShort", machine.base() + "/reports/short_report.txt");
    settings.SetValue("SqlLogFolder", machine.base() + "/log/");
    settings.SetValue("TemporaryFolder", machine.base() + "/tmp/");
    settings.SetValue("SqlDatabase", "kiv");
    for (const char* folder :
         {"/reports", "/log", "/tmp", "/autostart", "/www/root/kiv", "/www/scripts"}) {
      fs::create_directories(machine.base() + folder);
    }
  }
  bool Exists(const std::string& path) { return fs::exists(path); }

  testing::ScratchMachine machine;
  testing::FakeSettings settings;
  testing::FakeSql sql;
};

TEST_F(RemovalTest, RemovesWhatSetupAndTheProgramsMadeAndNothingElse) {
  for (const char* name : kScriptsFiles) WriteFile(machine.scripts() + name, "x");
  for (const char* name : kSiteFiles) WriteFile(machine.root() + "kiv/" + name, "x");
  const std::vector<std::string> made = {machine.scripts() + "kiv_chart_day_1_2.png",
                                         machine.scripts() + "kiv_chart_mutex1.lock",
                                         machine.base() + "/autostart/KIVMonitor.desktop",
                                         machine.base() + "/reports/report.txt",
                                         machine.base() + "/log/sql_log.txt",
                                         machine.base() + "/tmp/kivtmp.txt"};
  const std::vector<std::string> foreign = {
      machine.scripts() + "other.so", machine.scripts() + "kiv_chart_day.gif",
      machine.base() + "/autostart/other.desktop", machine.base() + "/tmp/other.txt"};
  for (const std::string& file : made) WriteFile(file, "x");
  for (const std::string& file : foreign) WriteFile(file, "x");

  Uninstall(settings, sql, machine.paths);

  for (const char* name : kScriptsFiles) EXPECT_FALSE(Exists(machine.scripts() + name)) << name;
  EXPECT_FALSE(Exists(machine.root() + "kiv"));
  for (const std::string& file : made) EXPECT_FALSE(Exists(file)) << file;
  for (const std::string& file : foreign) EXPECT_TRUE(Exists(file)) << file;
  EXPECT_NE(machine.ToolLog().find("userdel kiv_test_none\n"), std::string::npos);
  ASSERT_EQ(sql.calls().size(), 1u);
  EXPECT_EQ(sql.calls()[0].batch, BuildDropBatch());
  EXPECT_EQ(sql.calls()[0].caller, SqlCaller::kSetupDatabase);
}

TEST_F(RemovalTest, OnAMachineWithoutAnInstallationNothingIsRemoved) {
  WriteFile(machine.root() + "kiv/mine.htm", "kept");
  machine.SetToolExit("userdel", 6);
  machine.SetToolExit("crontab", 1);
  testing::FakeSettings nothing_stored;
  Uninstall(nothing_stored, sql, machine.paths);
  EXPECT_EQ(ReadFile(machine.root() + "kiv/mine.htm"), "kept");
  EXPECT_FALSE(Exists(machine.base() + "/crontab.txt"));
  EXPECT_TRUE(sql.calls().empty());
}

TEST(StoredSettingsTest, AValueNeverStoredReadsEmptyAndNoHiveIsMade) {
  testing::TempDir dir;
  testing::ScopedEnv registry("TELLWEN_REGISTRY", dir.path() + "/registry");
  StoredSettings stored;
  EXPECT_EQ(stored.GetValue("IISScriptsFolder"), "");
  EXPECT_FALSE(fs::exists(dir.path() + "/registry"));
  RegistrySettings().SetValue("IISScriptsFolder", "/srv/scripts/");
  EXPECT_EQ(stored.GetValue("IISScriptsFolder"), "/srv/scripts/");
  EXPECT_EQ(stored.GetValue("IISRootFolder"), "");
}

TEST_F(RemovalTest, ShortReportsGoByPatternOnlyForANameWithAThreeLetterExtension) {
  const std::string folder = machine.base() + "/reports/";
  for (const char* name : {"short_report.txt", "short_report_2026-12-08.txt", "short_report.log",
                           "short_reports.doc", "report.txt"}) {
    WriteFile(folder + name, "x");
  }
  EXPECT_EQ(ShortReportFiles(folder + "short_report.txt"),
            (std::vector<std::string>{folder + "short_report.txt",
                                      folder + "short_report_2026-12-08.txt"}));
  EXPECT_TRUE(ShortReportFiles(folder + "short_report").empty());
  EXPECT_TRUE(ShortReportFiles(folder + "short_report.text").empty());
}

TEST_F(RemovalTest, CronItemsGoAndEveryOtherLineStays) {
  WriteFile(machine.base() + "/crontab.txt",
            "MAILTO=root\n# Tellwen - Network Scan\n0 2 * * * /usr/lib/tellwen/KIVIndexer /index\n"
            "5 * * * * backup\n# Tellwen - Database Update\n0 4 * * * x /updatedb\n");
  RemoveCronWorkItems(machine.paths);
  EXPECT_EQ(ReadFile(machine.base() + "/crontab.txt"), "MAILTO=root\n5 * * * * backup\n");
}

// The drop batch on the embedded server: a database holding only some of
// the catalog's objects loses those; other tables and the database stay.
// On the embedded engine, then on a PostgreSQL server where one can start.
TEST(DropBatchTest, DropsTheCatalogObjectsThatExistAndKeepsTheRest) {
  for (const bool postgres : {false, true}) {
    SCOPED_TRACE(postgres ? "postgresql" : "embedded");
    testing::TempDir dir;
    testing::ScopedEnv registry("TELLWEN_REGISTRY", dir.path() + "/registry");
    testing::ScopedEnv data("TELLWEN_DATA", dir.path() + "/data");
    SqlConnectionSettings values{"localhost", "kivdrop", "sa", ""};
    std::unique_ptr<testing::PostgresServer> server;
    if (postgres) {
      std::string why;
      server = testing::PostgresServer::Start(&why);
      if (!server) {
        std::cout << "not run on PostgreSQL: " << why << "\n";
        continue;
      }
      values = {server->DataSource(), "kivdrop", testing::PostgresServer::kUser, server->password(),
                kEnginePostgresql};
    }
    SqlConnectionSettings master = values;
    master.database = "master";
    const SqlResult created = RunSqlOn(master, "create database [kivdrop]", 0, SqlTimeouts{});
    ASSERT_FALSE(created.error) << created.error_text;
    ASSERT_FALSE(RunSqlOn(values,
                          "create table stat (a int) create table zz (b int) "
                          "create table mine (c int)",
                          0, SqlTimeouts{})
                     .error);
    ASSERT_FALSE(RunSqlOn(values, "create procedure spDir as select 1", 0, SqlTimeouts{}).error);
    RegistrySettings settings;
    StoreConnectionSettings(settings, values);
    DatabaseSql sql;
    DropDatabaseObjects(sql);
    const SqlResult left = RunSqlOn(
        values, "select name from dbo.sysobjects where name in ('stat','zz','mine','spDir')", 1,
        SqlTimeouts{});
    ASSERT_FALSE(left.error) << left.error_text;
    ASSERT_EQ(left.rows.size(), 1u);
    EXPECT_EQ(left.rows[0][0], "mine");
  }
}

}  // namespace
}  // namespace tellwen::setup
