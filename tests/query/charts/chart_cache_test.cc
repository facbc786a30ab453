// The chart cache: file names, what a request draws and deletes, failures,
// and the lock shared by processes asking at the same time.
#include "query/charts/chart_cache.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/chart_cache_files.h"
#include "tests/query/charts/chart_clock.h"
#include "tests/query/charts/chart_rows.h"
#include "tests/query/charts/png_reader.h"
#include "tests/support/fake_sql.h"
#include "tests/support/fault_file_env.h"
#include "tests/support/local_time.h"
#include "tests/support/lock_holder.h"
#include "tests/support/temp_dir.h"

namespace tellwen::query {
namespace {

using ::tellwen::testing::ChartClock;
using ::tellwen::testing::FakeSql;
using ::tellwen::testing::LocalTime;
using ::tellwen::testing::ReadPng;
using ::tellwen::testing::RowsResult;
using ::tellwen::testing::StatRows;
using ::tellwen::testing::TempDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

TEST(ChartFileName, RangeWordKindAndPeriod) {
  const std::tm t = LocalTime(2002, 5, 6, 14, 30);
  EXPECT_EQ(ChartFileName(3, 0, t), "kiv_chart_daily__03_2002-05-06-14.png");
  EXPECT_EQ(ChartFileName(0, 1, t), "kiv_chart_weekly_00_2002-05-06.png");
  EXPECT_EQ(ChartFileName(5, 2, t), "kiv_chart_yearly_05_2002-05.png");
  EXPECT_EQ(ChartFileName(1, 0, LocalTime(2002, 1, 2, 3, 4)),
            "kiv_chart_daily__01_2002-01-02-03.png");
}

TEST(ChartFileName, StatementNamesTheRangeAndTheTime) {
  const std::tm t = LocalTime(2002, 5, 6, 14, 30);
  EXPECT_EQ(ChartStatement(0, t), "spStatCharts 1, '2002-05-06 14:30:00'");
  EXPECT_EQ(ChartStatement(1, t), "spStatCharts 2, '2002-05-06 14:30:00'");
  EXPECT_EQ(ChartStatement(2, t), "spStatCharts 3, '2002-05-06 14:30:00'");
}

// Fixed rows: the clock stands at 2002-05-06 14:30 and every statement run
// is recorded.
class ChartCache : public ::testing::Test {
 protected:
  void SetUp() override {
    sql_.set_rule([this](const std::string&, int, SqlResult* result) { *result = result_; });
  }
  std::vector<std::string> Statements() const { return sql_.batches(); }
  std::string Folder() const { return dir_.path() + "/"; }
  void Touch(const std::string& name) { std::ofstream(Folder() + name) << "old"; }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
  ChartClock clock_{LocalTime(2002, 5, 6, 14, 30)};
  SqlResult result_ = RowsResult(StatRows(
      8, [](int i) { return (4 + i) % 7; }, [](int i, int) { return i; }));
  FakeSql sql_;
};

TEST_F(ChartCache, AMissingChartDrawsItsWholeRangeAndDropsTheRangesOlderFiles) {
  Touch("kiv_chart_weekly_01_2002-05-05.png");
  Touch("kiv_chart_weekly_03_2002-04-29.png");
  Touch("kiv_chart_daily__03_2002-05-06-13.png");  // another range: kept
  Touch("kiv_chart_yearly_00_2002-04.png");
  Touch("notes.txt");

  const ChartFile file = GetChartFile("2", "3", Folder(), sql_, clock_);
  ASSERT_TRUE(file.ok()) << file.error;
  EXPECT_EQ(file.name, "kiv_chart_weekly_03_2002-05-06.png");
  EXPECT_EQ(file.path, Folder() + file.name);
  EXPECT_THAT(Statements(), ElementsAre("spStatCharts 2, '2002-05-06 14:30:00'"));
  EXPECT_THAT(
      Files(),
      ElementsAre("kiv_chart_daily__03_2002-05-06-13.png", kChartLockName,
                  "kiv_chart_weekly_00_2002-05-06.png", "kiv_chart_weekly_01_2002-05-06.png",
                  "kiv_chart_weekly_02_2002-05-06.png", "kiv_chart_weekly_03_2002-05-06.png",
                  "kiv_chart_weekly_04_2002-05-06.png", "kiv_chart_weekly_05_2002-05-06.png",
                  "kiv_chart_yearly_00_2002-04.png", "notes.txt"));
  for (int kind = 0; kind < 6; ++kind) {
    const auto png =
        ReadPng(Folder() + "kiv_chart_weekly_0" + std::to_string(kind) + "_2002-05-06.png");
    EXPECT_TRUE(png.ok) << kind << ": " << png.error;
    EXPECT_EQ(png.width, 443);
  }
}

TEST_F(ChartCache, AFileOfTheCurrentPeriodIsServedWithoutTheDatabase) {
  ASSERT_TRUE(GetChartFile("2", "3", Folder(), sql_, clock_).ok());
  const auto written = fs::last_write_time(Folder() + "kiv_chart_weekly_00_2002-05-06.png");
  clock_.local_time = LocalTime(2002, 5, 6, 23, 59);
  const ChartFile again = GetChartFile("2", "0", dir_.path(), sql_, clock_);  // no "/" at the end
  ASSERT_TRUE(again.ok()) << again.error;
  EXPECT_EQ(again.path, Folder() + "kiv_chart_weekly_00_2002-05-06.png");
  EXPECT_EQ(Statements().size(), 1u);
  EXPECT_EQ(fs::last_write_time(again.path), written);

  // The next day is a new period: drawn afresh, yesterday's files go.
  clock_.local_time = LocalTime(2002, 5, 7, 0, 1);
  ASSERT_TRUE(GetChartFile("2", "0", Folder(), sql_, clock_).ok());
  EXPECT_EQ(Statements().size(), 2u);
  EXPECT_FALSE(fs::exists(Folder() + "kiv_chart_weekly_00_2002-05-06.png"));
  EXPECT_TRUE(fs::exists(Folder() + "kiv_chart_weekly_05_2002-05-07.png"));
}

TEST_F(ChartCache, RequestTextsFallBackAndNeverReachTheName) {
  result_ = RowsResult(StatRows(
      25, [](int i) { return i % 24; }, [](int, int) { return 1; }));
  EXPECT_EQ(GetChartFile("", "", Folder(), sql_, clock_).name,
            "kiv_chart_daily__01_2002-05-06-14.png");
  EXPECT_EQ(GetChartFile("7", "9", Folder(), sql_, clock_).name,
            "kiv_chart_daily__01_2002-05-06-14.png");
  EXPECT_EQ(GetChartFile("1", "x", Folder(), sql_, clock_).name,
            "kiv_chart_daily__00_2002-05-06-14.png");
  EXPECT_EQ(GetChartFile("1/../../x", "5/../y", Folder(), sql_, clock_).name,
            "kiv_chart_daily__05_2002-05-06-14.png");
  EXPECT_EQ(GetChartFile("3'; drop table aall --", "2", Folder(), sql_, clock_).name,
            "kiv_chart_yearly_02_2002-05.png");
  EXPECT_THAT(Statements(), ElementsAre("spStatCharts 1, '2002-05-06 14:30:00'",
                                        "spStatCharts 3, '2002-05-06 14:30:00'"));
}

TEST_F(ChartCache, ADatabaseErrorGivesNoChartAndSaysWhy) {
  result_ = SqlResult{};
  result_.error = true;
  result_.error_text = "unexpected error: Could not find stored procedure 'spStatCharts'. src:x";
  const ChartFile file = GetChartFile("1", "1", Folder(), sql_, clock_);
  EXPECT_FALSE(file.ok());
  EXPECT_TRUE(file.path.empty());
  EXPECT_THAT(file.error, HasSubstr("Could not find stored procedure"));
  EXPECT_THAT(Files(), ElementsAre(kChartLockName));
}

TEST_F(ChartCache, FewerThanTwoRowsGiveNoChart) {
  result_ = RowsResult({SqlRow(13, "1")});
  const ChartFile file = GetChartFile("1", "1", Folder(), sql_, clock_);
  EXPECT_FALSE(file.ok());
  EXPECT_THAT(file.error, HasSubstr("returned 1 row"));
  result_ = SqlResult{};
  EXPECT_THAT(GetChartFile("1", "1", Folder(), sql_, clock_).error, HasSubstr("returned 0 rows"));
  EXPECT_EQ(Statements().size(), 2u);  // nothing cached: each request asks again
}

TEST_F(ChartCache, AFolderThatCannotBeWrittenGivesNoFileButTheChartItself) {
  const ChartFile file = GetChartFile("2", "1", Folder() + "gone/", sql_, clock_);
  EXPECT_FALSE(file.ok());
  EXPECT_THAT(file.error, HasSubstr("cannot create"));
  EXPECT_EQ(file.png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_FALSE(file.drawn);
  std::string error;
  EXPECT_FALSE(GenerateCharts(1, clock_.local_time, Folder() + "gone/", sql_, &error));
  EXPECT_THAT(error, HasSubstr("gone"));
}

TEST_F(ChartCache, AFullDiskGivesTheChartItselfAndLeavesNoPartFile) {
  testing::FaultFileEnv disk;
  disk.suffix = ".png";
  disk.write_budget = 100;
  const ChartFile file =
      GetChartFile("2", "1", Folder(), sql_, clock_, std::chrono::milliseconds(100), &disk);
  EXPECT_FALSE(file.ok());
  EXPECT_THAT(file.error, HasSubstr(std::strerror(ENOSPC)));
  EXPECT_EQ(file.png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_THAT(Files(), ElementsAre(kChartLockName));
}

TEST_F(ChartCache, CleanUpTakesTheRangesPngsAndStaleTemporaryFilesOnly) {
  Touch("kiv_chart_daily__00_2002-05-06-13.png");
  Touch("kiv_chart_daily_x.png");
  Touch(".tmp.7-0-1.kiv_chart_daily__00_2002-05-06-14.png");  // a writer at work
  Touch(".tmp.7-1-2.kiv_chart_daily__01_2002-05-06-14.png");  // left by a crash
  fs::last_write_time(Folder() + ".tmp.7-1-2.kiv_chart_daily__01_2002-05-06-14.png",
                      fs::file_time_type::clock::now() - std::chrono::minutes(5));
  Touch(".tmp.7-2-3.kiv_chart_weekly_00_2002-05-06.png");  // another range's
  fs::last_write_time(Folder() + ".tmp.7-2-3.kiv_chart_weekly_00_2002-05-06.png",
                      fs::file_time_type::clock::now() - std::chrono::minutes(5));
  Touch("kiv_chart_weekly_00_2002-05-06.png");
  Touch("kiv_chart_daily__00.pngx");
  fs::create_directory(Folder() + "kiv_chart_daily__dir.png");
  EXPECT_EQ(RemoveRangeCharts(0, Folder()), 3);
  EXPECT_THAT(Files(), ElementsAre(".tmp.7-0-1.kiv_chart_daily__00_2002-05-06-14.png",
                                   ".tmp.7-2-3.kiv_chart_weekly_00_2002-05-06.png",
                                   "kiv_chart_daily__00.pngx", "kiv_chart_daily__dir.png",
                                   "kiv_chart_weekly_00_2002-05-06.png"));
  EXPECT_EQ(RemoveRangeCharts(0, Folder() + "none/"), 0);
}

// Runs in a child process: waits for the pipe to close, asks for the chart
// with a statement that takes a while and notes each run in `runs`.
[[noreturn]] void AskInChild(int start_pipe, const std::string& folder, const std::string& runs) {
  char byte;
  while (::read(start_pipe, &byte, 1) > 0) {
  }
  ChartClock clock(LocalTime(2002, 5, 6, 14, 30));
  FakeSql sql;
  sql.set_rule([&runs](const std::string&, int, SqlResult* result) {
    std::ofstream(runs, std::ios::app) << "run\n";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    *result = RowsResult(StatRows(
        8, [](int i) { return i % 7; }, [](int i, int) { return i; }));
  });
  const ChartFile file = GetChartFile("2", "3", folder, sql, clock);
  ::_exit(file.ok() && ReadPng(file.path).ok ? 0 : 1);
}

TEST(ChartLockAcrossProcesses, TwoProcessesAskingAtOnceDrawTheRangeOnce) {
  TempDir dir;
  const std::string runs = dir.path() + "/runs.txt";
  fs::create_directory(dir.path() + "/charts");
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  pid_t children[2];
  for (pid_t& child : children) {
    child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(start[1]);
      AskInChild(start[0], dir.path() + "/charts/", runs);
    }
  }
  ::close(start[0]);
  ::close(start[1]);  // both start now
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  std::ifstream in(runs);
  std::string line;
  int count = 0;
  while (std::getline(in, line)) ++count;
  EXPECT_EQ(count, 1);
}

TEST(ChartLockAcrossProcesses, ThreadsOfOneProcessAlsoDrawOnce) {
  TempDir dir;
  std::atomic<int> runs{0};
  ChartClock clock(LocalTime(2002, 5, 6, 14, 30));
  FakeSql sql;
  sql.set_rule([&runs](const std::string&, int, SqlResult* result) {
    ++runs;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    *result = RowsResult(StatRows(
        13, [](int i) { return i % 12; }, [](int i, int) { return i; }));
  });
  std::atomic<int> served{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      if (GetChartFile("3", std::to_string(i), dir.path(), sql, clock).ok()) ++served;
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(runs.load(), 1);
  EXPECT_EQ(served.load(), 4);
}

TEST_F(ChartCache, AWaitThatTimesOutGoesAheadWithoutTheLock) {
  const pid_t holder = testing::HoldLockInChild(Folder() + kChartLockName);
  ASSERT_GT(holder, 0);
  const ChartFile file =
      GetChartFile("1", "2", Folder(), sql_, clock_, std::chrono::milliseconds(100));
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  result_ = SqlResult{};
  EXPECT_TRUE(file.ok()) << file.error;
  EXPECT_EQ(Statements().size(), 1u);
}

}  // namespace
}  // namespace tellwen::query
