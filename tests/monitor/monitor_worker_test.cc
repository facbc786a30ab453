// The ping worker's loop on a fake echo, a fake database and a clock whose
// sleeps take no time.
#include "monitor/core/monitor_worker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "common/update_state.h"
#include "monitor/core/ping_settings.h"
#include "tests/monitor/monitor_fakes.h"
#include "tests/support/temp_dir.h"

namespace tellwen::monitor {
namespace {

using tellwen::testing::ScopedEnv;
using tellwen::testing::TempDir;
using ::testing::ElementsAre;
using testing::FakeClock;
using testing::FakeEcho;
using testing::FakeSettings;
using testing::FakeSql;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::RecordingEventLog;

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.SetValue("WebStatus", "yes");
    settings_.SetValue("MonitorPingInterval", "2");
    settings_.SetValue("PingTimeout", "1000");
    settings_.SetValue("LastPingTime", "0");
    echo_.alive = {"pc1", "10.0.0.3"};
  }

  MonitorWorker& Worker() {
    if (!worker_) {
      MonitorDependencies deps;
      deps.echo = &echo_;
      deps.settings = &settings_;
      deps.clock = &clock_;
      deps.event_log = &log_;
      sql_.set_rule([this](const std::string& command, int, SqlResult* result) {
        const int columns = sql_.calls().back().column_count;
        commands_.push_back(command);
        if (command == kLoadListQuery) {
          EXPECT_EQ(columns, 1);
          if (fail_load_) return Failed(result);
          for (const std::string& name : shares1_) result->rows.push_back({name});
        } else {
          EXPECT_EQ(columns, 0);
          if (fail_rewrite_) return Failed(result);
          rewrites_.push_back(command);
        }
      });
      deps.sql = &sql_;
      worker_ = std::make_unique<MonitorWorker>(std::move(deps));
      worker_->ReadSettings();
    }
    return *worker_;
  }
  static void Failed(SqlResult* result) {
    result->error = true;
    result->description = "table shares1 is locked";
    result->source = "Microsoft OLE DB Provider for SQL Server";
  }
  int Loads() const {
    int n = 0;
    for (const std::string& c : commands_) n += c == kLoadListQuery;
    return n;
  }
  std::string Status() { return Worker().state().Texts().status; }
  void Loops(int n) {
    for (int i = 0; i < n; ++i) Worker().LoopOnce();
  }

  TempDir state_dir_;  // the update state folder (the data folder)
  ScopedEnv data_folder_{"TELLWEN_DATA", state_dir_.path()};
  FakeEcho echo_;
  FakeClock clock_;
  FakeSettings settings_;
  FakeSql sql_;
  RecordingEventLog log_;
  std::vector<std::string> shares1_ = {"//pc1", "//pc2", "//10.0.0.3"};
  bool fail_load_ = false;
  bool fail_rewrite_ = false;
  std::vector<std::string> commands_;
  std::vector<std::string> rewrites_;
  std::unique_ptr<MonitorWorker> worker_;
};

TEST_F(WorkerTest, ShowsNotAvailableBeforeTheFirstStep) {
  const MonitorTexts texts = Worker().state().Texts();
  EXPECT_EQ(texts.status, "N/A");
  EXPECT_EQ(texts.last_computer, "N/A");
  EXPECT_EQ(texts.last_round_time, "N/A");
  EXPECT_TRUE(Worker().state().waiting.load());
}

TEST_F(WorkerTest, WebStatusOtherThanYesNeverPingsAndWaits) {
  for (const char* status : {"no", "updating", ""}) {
    settings_.SetValue("WebStatus", status);
    Loops(20);
    EXPECT_EQ(Status(), "waiting...") << status;
  }
  EXPECT_THAT(echo_.calls, IsEmpty());
  EXPECT_THAT(commands_, IsEmpty());  // not even the list is loaded
  // Waiting is not idling: no five-minute back-off, only the pauses.
  for (int sleep : clock_.sleeps) EXPECT_EQ(sleep, 500);
}

// "updating" left by an update that died is put back, and the pings start;
// while the update runs (it holds the lock) the monitor only waits.
TEST_F(WorkerTest, UpdatingLeftByADeadUpdateIsPutBackAndPingsResume) {
  settings_.SetValue("WebStatus", "updating");
  {
    UpdateLock job;
    ASSERT_TRUE(job.Acquire(state_dir_.path(), std::chrono::milliseconds(0)).ok());
    ASSERT_TRUE(WriteUpdateStateFile(state_dir_.path(), {"yes", "Welcome", "low"}).ok());
    Loops(3);
    EXPECT_EQ(Status(), "waiting...");
    EXPECT_EQ(settings_.GetValue("WebStatus"), "updating");
  }  // the job dies
  Loops(1);
  EXPECT_EQ(settings_.GetValue("WebStatus"), "yes");
  EXPECT_THAT(echo_.Hosts(), ElementsAre("pc1"));
}

TEST_F(WorkerTest, YesStartsARoundFromTheFirstComputerWithinOnePause) {
  settings_.SetValue("WebStatus", "no");
  Loops(3);
  clock_.sleeps.clear();
  settings_.SetValue("WebStatus", "yes");
  Loops(1);
  EXPECT_THAT(clock_.sleeps, ElementsAre(500));
  EXPECT_THAT(echo_.Hosts(), ElementsAre("pc1"));
  EXPECT_EQ(Loads(), 1);
  // No round has ended yet: its time is still not available.
  EXPECT_EQ(Worker().state().Texts(), (MonitorTexts{"pinging...", "pc1", "alive!", "3", "500"}));
}

TEST_F(WorkerTest, ARoundPingsEveryComputerThenRewritesTheTableAndStartsAgain) {
  Loops(3);
  EXPECT_THAT(echo_.Hosts(), ElementsAre("pc1", "pc2", "10.0.0.3"));
  ASSERT_EQ(rewrites_.size(), 1u);
  EXPECT_EQ(rewrites_[0],
            "begin transaction delete from monitor_pings "
            "insert into monitor_pings(name, status, ping_time) values('//pc1', '1', "
            "'2026, 12, 07, 09, 00, 00') "
            "insert into monitor_pings(name, status, ping_time) values('//pc2', '2', "
            "'2026, 12, 07, 09, 00, 01') "
            "insert into monitor_pings(name, status, ping_time) values('//10.0.0.3', '1', "
            "'2026, 12, 07, 09, 00, 01') "
            "commit transaction");
  EXPECT_EQ(settings_.GetValue("LastPingTime"), std::to_string(clock_.TickCount()));
  EXPECT_EQ(Worker().state().Texts().last_round_time, "00:00:01");
  EXPECT_EQ(Loads(), 2);  // the next round has a fresh list
  EXPECT_EQ(Worker().state().position.load(), 0);

  shares1_ = {"//pc9"};
  Loops(1);
  EXPECT_EQ(echo_.Hosts().back(), "pc1");  // the list loaded at the round's end
  Loops(2);
  EXPECT_EQ(rewrites_.size(), 2u);
  Loops(1);
  EXPECT_EQ(echo_.Hosts().back(), "pc9");
}

TEST_F(WorkerTest, RoundTimeRunsFromTheEndOfThePreviousRound) {
  Loops(3);
  clock_.now_ms += 3600 * 1000;  // an hour between rounds' steps
  Loops(3);
  EXPECT_EQ(Worker().state().Texts().last_round_time, "01:00:01");
}

TEST_F(WorkerTest, AQuoteInAComputerNameIsDoubledInTheRewrite) {
  shares1_ = {"//o'brien's pc", "//pc1"};
  Loops(2);
  EXPECT_EQ(echo_.Hosts()[0], "o'brien's pc");
  ASSERT_EQ(rewrites_.size(), 1u);
  EXPECT_THAT(rewrites_[0], HasSubstr("values('//o''brien''s pc', '2', "));
  EXPECT_EQ(Worker().state().Texts().last_computer, "pc1");
}

TEST_F(WorkerTest, EmptyListIdlesAndQueriesAgainAfterFiveMinutes) {
  shares1_.clear();
  Loops(1);
  EXPECT_EQ(Status(), "idle");
  EXPECT_THAT(clock_.sleeps, ElementsAre(500, 300000));
  EXPECT_EQ(Loads(), 2);
  Loops(1);
  EXPECT_EQ(Loads(), 3);
  EXPECT_THAT(echo_.calls, IsEmpty());
  EXPECT_THAT(rewrites_, IsEmpty());

  shares1_ = {"//pc1"};
  Loops(1);  // still idle: the list is queried again only after the back-off
  Loops(1);
  EXPECT_THAT(echo_.Hosts(), ElementsAre("pc1"));
}

TEST_F(WorkerTest, PingIntervalAndTimeoutFollowTheirRules) {
  struct Case {
    const char* interval;
    const char* timeout;
    int pause_ms;
    int timeout_ms;
  };
  const Case cases[] = {
      {"11", "20", 500, 1000}, {"abc", "49", 50, 1000},       {"-1", "10001", 500, 1000},
      {"0", "50", 50, 50},     {"10", "10000", 60000, 10000}, {"7", " 250", 7500, 250},
  };
  for (const Case& c : cases) {
    settings_.SetValue("MonitorPingInterval", c.interval);
    settings_.SetValue("PingTimeout", c.timeout);
    worker_.reset();
    echo_.calls.clear();
    clock_.sleeps.clear();
    Loops(1);
    ASSERT_EQ(echo_.calls.size(), 1u) << c.interval;
    EXPECT_EQ(clock_.sleeps[0], c.pause_ms) << "MonitorPingInterval " << c.interval;
    EXPECT_EQ(echo_.calls[0].second, c.timeout_ms) << "PingTimeout " << c.timeout;
  }
}

TEST_F(WorkerTest, TheSliderTakesEffectAtTheNextPause) {
  Loops(1);
  Worker().state().slider_position.store(9);
  Loops(1);
  Worker().state().slider_position.store(42);
  Loops(1);
  EXPECT_THAT(clock_.sleeps, ElementsAre(500, 30000, 500));
  Worker().SaveSettings();
  EXPECT_EQ(settings_.GetValue("MonitorPingInterval"), "42");
}

TEST_F(WorkerTest, SavedIntervalIsThePositionInUse) {
  settings_.SetValue("MonitorPingInterval", "11");
  Worker().SaveSettings();
  EXPECT_EQ(settings_.GetValue("MonitorPingInterval"), "2");
}

TEST_F(WorkerTest, LeavingYesMidRoundAbandonsTheRoundWithoutRewrite) {
  Loops(2);  // pc1, pc2
  settings_.SetValue("WebStatus", "updating");
  Loops(5);
  EXPECT_EQ(Status(), "waiting...");
  EXPECT_THAT(rewrites_, IsEmpty());
  EXPECT_EQ(echo_.calls.size(), 2u);
  EXPECT_EQ(settings_.GetValue("LastPingTime"), "0");

  settings_.SetValue("WebStatus", "yes");
  Loops(3);
  EXPECT_THAT(echo_.Hosts(), ElementsAre("pc1", "pc2", "pc1", "pc2", "10.0.0.3"));
  ASSERT_EQ(rewrites_.size(), 1u);
}

TEST_F(WorkerTest, PauseFlagStopsPingingUntilCleared) {
  Loops(1);
  Worker().state().pause.store(true);
  Loops(4);
  EXPECT_EQ(Status(), "paused");
  EXPECT_EQ(echo_.calls.size(), 1u);
  Worker().state().pause.store(false);
  Loops(1);
  EXPECT_THAT(echo_.Hosts(), ElementsAre("pc1", "pc2"));
}

TEST_F(WorkerTest, FailingRewriteIsReportedOnceAndIdlesWithoutTouchingLastPingTime) {
  fail_rewrite_ = true;
  Loops(3);
  ASSERT_EQ(log_.reports.size(), 1u);
  EXPECT_EQ(log_.reports[0],
            "Database error: unexpected error: table shares1 is locked "
            "src:Microsoft OLE DB Provider for SQL Server");
  EXPECT_TRUE(Worker().state().error.load());
  EXPECT_EQ(settings_.GetValue("LastPingTime"), "0");
  EXPECT_EQ(Loads(), 1);  // not loaded again after the failure

  fail_rewrite_ = false;
  clock_.sleeps.clear();
  Loops(1);
  EXPECT_EQ(Status(), "idle");
  EXPECT_THAT(clock_.sleeps, ElementsAre(500, 300000));
  EXPECT_EQ(Loads(), 2);
  EXPECT_FALSE(Worker().state().error.load());  // cleared by the next call
  EXPECT_EQ(log_.reports.size(), 1u);
}

TEST_F(WorkerTest, EveryFailedListLoadIsReportedOnceAndIdles) {
  fail_load_ = true;
  Loops(1);
  EXPECT_EQ(Status(), "idle");
  EXPECT_EQ(log_.reports.size(), 2u);  // the first load and the one after the back-off
  EXPECT_EQ(Loads(), 2);
  for (const std::string& report : log_.reports) {
    EXPECT_THAT(report, HasSubstr("Database error: unexpected error: "));
  }
  EXPECT_EQ(Worker().state().Texts().computers_number, "0");
  EXPECT_THAT(echo_.calls, IsEmpty());
}

TEST_F(WorkerTest, EchoUnavailableCountsAsNotAnswered) {
  echo_.unavailable = true;
  Loops(3);
  ASSERT_EQ(rewrites_.size(), 1u);
  EXPECT_THAT(rewrites_[0], HasSubstr("values('//pc1', '2', "));
  EXPECT_EQ(Worker().state().Texts().last_computer_status, "dead");
}

TEST_F(WorkerTest, StopDuringTheIdleBackOffEndsTheLoopWithoutAnotherQuery) {
  shares1_.clear();
  clock_.after_sleep = [this](int ms) {
    if (ms == kIdleSleepMs) Worker().RequestStop();
  };
  Worker().Run();
  EXPECT_EQ(Loads(), 1);
  EXPECT_TRUE(clock_.woken);
}

TEST(WorkerOnSystemClock, StopEndsASleepingWorkerAtOnce) {
  FakeEcho echo;
  FakeSettings settings;
  settings.SetValue("WebStatus", "yes");
  settings.SetValue("MonitorPingInterval", "10");  // a minute between pings
  SystemClock clock;
  RecordingEventLog log;
  FakeSql sql;
  MonitorDependencies deps{&echo, &settings, &clock, &log, &sql};
  MonitorWorker worker(std::move(deps));
  worker.ReadSettings();
  auto ended = std::async(std::launch::async, [&worker] { worker.Run(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  worker.RequestStop();
  // The program waits ten seconds for its worker at exit; a sleep of a
  // minute or five must not hold it that long.
  EXPECT_EQ(ended.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  ended.wait();
  EXPECT_THAT(echo.calls, IsEmpty());
}

}  // namespace
}  // namespace tellwen::monitor
