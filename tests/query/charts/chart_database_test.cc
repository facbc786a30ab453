// The charts over the real database session: the log tables and
// spStatCharts as the update script creates them, on the embedded server.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/clock.h"
#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "common/sql_session.h"
#include "query/charts/chart_cache.h"
#include "sql/update_script_template.h"
#include "tests/query/charts/chart_clock.h"
#include "tests/query/charts/png_reader.h"
#include "tests/support/local_time.h"
#include "tests/support/scratch_store.h"

namespace tellwen::query {
namespace {

using ::tellwen::testing::ChartClock;
using ::tellwen::testing::LocalTime;
using ::tellwen::testing::ReadPng;
using ::tellwen::testing::ScratchStore;

// The body of one task of the update script, from its marker line to the
// next one.
std::string ScriptTask(const std::string& name) {
  const std::string_view script = UpdateScriptTemplate();
  const std::string marker = "--#-" + name + "\n";
  const size_t start = script.find(marker);
  if (start == std::string_view::npos) return "";
  const size_t body = start + marker.size();
  const size_t end = script.find("\n--#-", body);
  return std::string(script.substr(body, end == std::string_view::npos ? end : end - body));
}

class ChartDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() + "/charts");
    ASSERT_EQ(dir_.CreateDatabase(), "");
    for (const char* task : {"checking logs tables", "DONT-spStatCharts"}) {
      const std::string body = ScriptTask(task);
      ASSERT_FALSE(body.empty()) << task;
      const SqlResult created = RunSql(body, 0, SqlCaller::kSetupDatabase);
      ASSERT_FALSE(created.error) << task << ": " << created.error_text;
    }
  }
  void Search(const char* when, int seconds) {
    const std::string sql = std::string("insert stat_searchs values ('") + when +
                            "', 'x', 0, 3, 20, '127.0.0.1', 0, 0, 1, 0, 2147483647, " +
                            std::to_string(seconds) + ", 1)";
    const SqlResult inserted = RunSql(sql, 0, SqlCaller::kQueryStatementRunner);
    ASSERT_FALSE(inserted.error) << inserted.error_text;
  }

  ScratchStore dir_;
};

TEST_F(ChartDatabase, TheProcedureFeedsAllSixChartsOfARange) {
  Search("2002-05-06 10:15:00", 425);
  Search("2002-05-06 10:45:00", 30);
  Search("2002-05-06 13:05:00", 7230);
  ChartClock clock(LocalTime(2002, 5, 6, 14, 30));
  const std::string folder = dir_.path() + "/charts/";
  const ChartFile file = GetChartFile("1", "3", folder, MachineSql(), clock);
  ASSERT_TRUE(file.ok()) << file.error;
  EXPECT_EQ(file.name, "kiv_chart_daily__03_2002-05-06-14.png");
  for (int kind = 0; kind < 6; ++kind) {
    const auto png =
        ReadPng(folder + "kiv_chart_daily__0" + std::to_string(kind) + "_2002-05-06-14.png");
    EXPECT_TRUE(png.ok) << kind << ": " << png.error;
  }
}

TEST_F(ChartDatabase, AMissingDatabaseIsAnErrorWithTheSessionsText) {
  CKIVRegistry().SetValue("SqlDatabase", "nosuchdb");
  const ChartFile file =
      GetChartFile("2", "1", dir_.path() + "/charts/", MachineSql(), MachineClock());
  EXPECT_FALSE(file.ok());
  EXPECT_NE(file.error.find("unexpected error: "), std::string::npos) << file.error;
}

}  // namespace
}  // namespace tellwen::query
