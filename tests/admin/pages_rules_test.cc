// The rules of the settings pages and of the Indexer options and Configure
// report dialogs.
#include <gtest/gtest.h>

#include "admin/core/database_settings.h"
#include "admin/core/indexer_options.h"
#include "admin/core/interval.h"
#include "admin/core/page_values.h"
#include "admin/core/report_options.h"
#include "common/password.h"
#include "tests/support/fake_settings.h"
#include "tests/support/temp_dir.h"

namespace tellwen::admin {
namespace {

TEST(Interval, ShowsTheLargestWholeUnitAndStoresItBack) {
  EXPECT_EQ(ShowInterval(48).number, "2");
  EXPECT_EQ(ShowInterval(48).unit, IntervalUnit::kDays);
  ShownInterval day = ShowInterval(36);
  EXPECT_EQ(day.number, "1");
  EXPECT_EQ(day.unit, IntervalUnit::kDays);
  EXPECT_EQ(StoreInterval(day.number, day.unit), 24);
  EXPECT_EQ(ShowInterval(336).unit, IntervalUnit::kWeeks);
  EXPECT_EQ(ShowInterval(336).number, "2");
  EXPECT_EQ(ShowInterval(8760).unit, IntervalUnit::kYears);
  EXPECT_EQ(ShowInterval(23).unit, IntervalUnit::kHours);
  EXPECT_EQ(ShowInterval(kInfiniteHours).unit, IntervalUnit::kInfinite);
  EXPECT_EQ(ShowInterval(kInfiniteHours).number, "");
  EXPECT_EQ(StoreInterval("", IntervalUnit::kInfinite), kInfiniteHours);
  EXPECT_EQ(StoreInterval("3", IntervalUnit::kWeeks), 504);
  // A typed number too large for the setting is infinite, never a wrapped
  // negative number.
  EXPECT_EQ(StoreInterval("999999", IntervalUnit::kYears), kInfiniteHours);
}

TEST(IndexerOptions, ThreadsLevelsAndPriorityAreStoredInOrder) {
  for (auto [typed, stored] : {std::pair{"30", 15}, {"0", 15}, {"abc", 15}, {"25", 25}, {"1", 1}}) {
    EXPECT_EQ(ThreadsToStore(typed), stored) << typed;
  }
  EXPECT_EQ(LevelsToStore(kNoLevelChecked), 2);
  EXPECT_EQ(LevelsToStore(0), 0);
  EXPECT_EQ(LevelsToStore(5), 5);

  testing::FakeSettings settings;
  settings.SetValue("Levels", "9");
  settings.SetValue("IndexerScanPriority", "3");
  settings.SetValue("NumberOfThreads", "10");
  IndexerOptions loaded = LoadIndexerOptions(settings);
  EXPECT_EQ(loaded.level_button, kNoLevelChecked);
  EXPECT_EQ(loaded.priority, 3);
  EXPECT_EQ(loaded.threads, "10");
  loaded.threads = "30";
  StoreIndexerOptions(settings, loaded);
  EXPECT_EQ(settings.Stored("Levels"), "2");
  EXPECT_EQ(settings.Stored("NumberOfThreads"), "15");
  EXPECT_EQ(settings.Stored("IndexerScanPriority"), "3");
}

TEST(ReportOptions, PreviewFollowsStyleAndSplits) {
  ReportOptions options;
  options.output_file = "out.txt";
  using Columns = std::vector<std::string>;
  EXPECT_EQ(ReportPreviewColumns(options), Columns{"\\\\COMP\\share\\Directory\\file.txt"});
  options.unix_style = true;
  options.split_share = true;
  EXPECT_EQ(ReportPreviewColumns(options), (Columns{"//COMP/share/", "Directory/file.txt"}));
  options.split_file = true;
  EXPECT_EQ(ReportPreviewColumns(options), (Columns{"//COMP/share/", "Directory/", "file.txt"}));
  options.split_share = false;
  EXPECT_EQ(ReportPreviewColumns(options), (Columns{"//COMP/share/Directory/", "file.txt"}));

  EXPECT_FALSE(CheckReportOptions(options));
  options.output_file = "  ";
  EXPECT_EQ(CheckReportOptions(options), std::optional<std::string>("Incorect output file name"));
}

TEST(PageValues, FoldersGetTheirSlashAndFlagsTheirDigits) {
  testing::FakeSettings settings;
  settings.SetValue("ReportFileShortDaily", "2");  // only "1" checks the box
  EXPECT_FALSE(LoadFilesValues(settings).split_short_report_daily);
  settings.SetValue("SqlNotReindexHours", "36");
  settings.SetValue("SqlComputerExpireHours", "2147483647");
  MiscValues misc = LoadMiscValues(settings);
  EXPECT_EQ(misc.expire.unit, IntervalUnit::kInfinite);
  StoreMiscValues(settings, misc);
  EXPECT_EQ(settings.Stored("SqlNotReindexHours"), "24");
  EXPECT_EQ(settings.Stored("SqlComputerExpireHours"), "2147483647");
}

TEST(DatabaseValues, PasswordIsStoredScrambledAndTestedAsTyped) {
  testing::FakeSettings settings;
  settings.defaults["QueryConnectionTimeout"] = "15";
  settings.defaults["QueryCommandTimeout"] = "120";
  DatabaseValues values{"localhost", "kiv", "sa", "pa;ss'w", "7", "9"};
  StoreDatabaseValues(settings, values);
  EXPECT_NE(settings.Stored("SqlPassword"), "pa;ss'w");
  EXPECT_EQ(UnscramblePassword(settings.Stored("SqlPassword")), "pa;ss'w");
  EXPECT_EQ(LoadDatabaseValues(settings).password, "pa;ss'w");

  std::string opened;
  SqlTimeouts used;
  ConnectionTestResult passed = RunConnectionTest(
      values, [&](const std::string& text, SqlTimeouts timeouts, std::string*, std::string*) {
        opened = text;
        used = timeouts;
        return true;
      });
  EXPECT_TRUE(passed.passed);
  EXPECT_EQ(passed.text, "Test PASSED!");
  EXPECT_EQ(used.connection_seconds, 7);
  EXPECT_EQ(used.command_seconds, 9);
  SqlConnectionSettings parsed;
  ASSERT_TRUE(ParseConnectionString(opened, &parsed));
  EXPECT_EQ(parsed.password, "pa;ss'w");

  ConnectionTestResult failed = RunConnectionTest(
      values, [](const std::string&, SqlTimeouts, std::string* source, std::string* description) {
        *source = "server";
        *description = "Login failed for user 'sa'.";
        return false;
      });
  EXPECT_EQ(failed.text,
            "Test FAILED!\nSource: 'server'\nDescription: 'Login failed for user 'sa'.'");
  EXPECT_EQ(failed.icon, MessageIcon::kError);
  // The typed password never reaches the message.
  EXPECT_EQ(failed.text.find("pa;ss"), std::string::npos);

  PutDefaultTimeouts(settings, &values);
  EXPECT_EQ(values.connection_timeout, "15");
  EXPECT_EQ(values.command_timeout, "120");
  EXPECT_EQ(settings.Stored("QueryConnectionTimeout"), "7");  // the store untouched
}

}  // namespace
}  // namespace tellwen::admin

namespace tellwen::admin {
namespace {

// The connection test against the embedded server: a password holding ";"
// (and a quote) reaches the server as typed, and no failure text carries
// the typed password.
TEST(ConnectionTest, PasswordWithSemicolonWorksAgainstTheServer) {
  testing::TempDir dir;
  testing::ScopedEnv data("TELLWEN_DATA", dir.path());
  const SqlTimeouts timeouts{15, 120};
  SqlResult changed = RunSqlOn(SqlConnectionSettings{"localhost", "master", "sa", ""},
                               "ALTER LOGIN sa WITH PASSWORD = 'pa;ss''w'", 0, timeouts);
  ASSERT_FALSE(changed.error) << changed.error_text;

  DatabaseValues values{"localhost", "master", "sa", "pa;ss'w", "15", "120"};
  ConnectionTestResult passed = RunConnectionTest(values);
  EXPECT_TRUE(passed.passed) << passed.text;
  EXPECT_EQ(passed.text, "Test PASSED!");

  values.password = "pa;wrong";
  ConnectionTestResult failed = RunConnectionTest(values);
  EXPECT_FALSE(failed.passed);
  EXPECT_EQ(failed.text.rfind("Test FAILED!\nSource: '", 0), 0u) << failed.text;
  EXPECT_EQ(failed.text.find("pa;wrong"), std::string::npos) << failed.text;
}

}  // namespace
}  // namespace tellwen::admin
