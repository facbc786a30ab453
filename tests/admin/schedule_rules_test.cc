// The Scheduler page's rules: schedules and cron expressions both ways, job
// lines, work items kept through a crontab program, the service table.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "admin/core/cron_schedule.h"
#include "admin/core/service_status.h"
#include "admin/core/work_items.h"
#include "platform/scheduler/crontab_text.h"
#include "tests/admin/fake_crontab.h"
#include "tests/support/temp_dir.h"

namespace tellwen::admin {
namespace {

Schedule Make(ScheduleKind kind) {
  Schedule s;
  s.kind = kind;
  s.hour = 3;
  s.minute = 30;
  return s;
}

TEST(CronSchedule, EachKindWritesItsExpressionAndReadsBack) {
  Schedule weekly = Make(ScheduleKind::kWeekly);
  weekly.weekdays = (1u << 1) | (1u << 5);
  Schedule monthly = Make(ScheduleKind::kMonthly);
  monthly.day = 15;
  Schedule minutes = Schedule{};
  minutes.kind = ScheduleKind::kEveryMinutes;
  minutes.every = 10;
  Schedule hours = Make(ScheduleKind::kEveryHours);
  hours.every = 6;
  const std::pair<Schedule, const char*> cases[] = {
      {Make(ScheduleKind::kDaily), "30 3 * * *"},
      {weekly, "30 3 * * 1,5"},
      {monthly, "30 3 15 * *"},
      {minutes, "*/10 * * * *"},
      {hours, "30 */6 * * *"},
  };
  for (const auto& [schedule, expected] : cases) {
    std::string error;
    EXPECT_EQ(CronExpression(schedule, &error), expected);
    std::optional<Schedule> back = ScheduleFromExpression(expected, &error);
    ASSERT_TRUE(back) << expected;
    EXPECT_EQ(CronExpression(*back, &error), expected);
    EXPECT_EQ(back->kind, schedule.kind) << expected;
  }
  // A valid expression no kind writes stays as typed; blanks are evened out.
  std::string error;
  std::optional<Schedule> other = ScheduleFromExpression("0  9-17/2 * JAN,jul mon-fri", &error);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->kind, ScheduleKind::kExpression);
  EXPECT_EQ(other->expression, "0 9-17/2 * JAN,jul mon-fri");
  EXPECT_EQ(ScheduleFromExpression("@daily", &error)->kind, ScheduleKind::kExpression);
}

TEST(CronSchedule, RefusesWhatCronWouldRefuse) {
  std::string error;
  for (const char* bad :
       {"60 * * * *", "* 24 * * *", "* * 0 * *", "* * * 13 *", "* * * * 8", "5-1 * * * *",
        "*/0 * * * *", "* * * *", "a b c d e", "@sometimes", "* * * * * *"}) {
    EXPECT_EQ(ScheduleFromExpression(bad, &error), std::nullopt) << bad;
    EXPECT_FALSE(error.empty());
  }
  Schedule typed;
  typed.kind = ScheduleKind::kExpression;
  typed.expression = "61 * * * *";
  EXPECT_EQ(CronExpression(typed, &error), std::nullopt);
  Schedule no_day = Make(ScheduleKind::kWeekly);
  EXPECT_EQ(CronExpression(no_day, &error), std::nullopt);
  EXPECT_EQ(error, "a weekly schedule needs at least one day");
}

TEST(WorkItems, JobLinesCarryOnceDisabledAndQuotedApplications) {
  WorkItem item;
  item.application = "/opt/tell wen/100%/KIVIndexer";
  item.parameters = "/index";
  item.schedule = Make(ScheduleKind::kOnce);
  item.schedule.day = 9;
  item.schedule.month = 12;
  item.schedule.year = 2026;
  item.enabled = false;
  std::string error;
  std::optional<std::string> line = JobLine(item, &error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(
      *line,
      "#30 3 9 12 * [ \"$(date +\\%Y)\" = 2026 ] && '/opt/tell wen/100\\%/KIVIndexer' /index");
  std::optional<WorkItem> back = ParseJobLine(*line);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, item);

  item.application = "/usr/lib/tellwen/KIVIndexer";
  item.enabled = true;
  item.schedule = Make(ScheduleKind::kDaily);
  EXPECT_EQ(JobLine(item, &error), "30 3 * * * /usr/lib/tellwen/KIVIndexer /index");
  item.parameters = "/index\n* * * * * rm -rf /";
  EXPECT_EQ(JobLine(item, &error), std::nullopt);
  EXPECT_EQ(error, "Error: SetParameters Failed.");
  item.application = "";
  EXPECT_EQ(JobLine(item, &error), std::nullopt);
  EXPECT_EQ(error, "Error: SetApplicationName Failed.");
}

class WorkItemStore : public ::testing::Test {
 protected:
  std::string Tab() { return crontab_.Tab(); }

  testing::FakeCrontab crontab_;
  scheduler::CrontabProgram& program_ = crontab_.program;
};

TEST_F(WorkItemStore, SecondOpenFindsTheSameItemAndKeepsForeignLines) {
  ASSERT_TRUE(scheduler::WriteCrontab(program_, "MAILTO=\"\"\n0 1 * * * backup\n").ok());
  WorkItem item;
  ASSERT_TRUE(OpenWorkItem(program_, kScanJob, "/usr/lib/tellwen/KIVIndexer", &item).ok());
  EXPECT_TRUE(item.is_new);
  EXPECT_EQ(item.parameters, "/index");
  EXPECT_FALSE(item.account.empty());
  item.schedule.kind = ScheduleKind::kEveryHours;
  item.schedule.every = 4;
  ASSERT_TRUE(SaveWorkItem(program_, kScanJob, item).ok());
  EXPECT_EQ(Tab(),
            "MAILTO=\"\"\n0 1 * * * backup\n# Tellwen - Network Scan\n"
            "0 */4 * * * /usr/lib/tellwen/KIVIndexer /index\n");

  WorkItem again;
  ASSERT_TRUE(OpenWorkItem(program_, kScanJob, "/opt/tellwen/KIVIndexer", &again).ok());
  EXPECT_FALSE(again.is_new);
  EXPECT_EQ(again.schedule.every, 4);
  EXPECT_EQ(again.application, "/opt/tellwen/KIVIndexer");

  ASSERT_TRUE(scheduler::RemoveCronItemFromCrontab(scheduler::kScanItemName, program_).ok());
  EXPECT_EQ(Tab(), "MAILTO=\"\"\n0 1 * * * backup\n");
}

TEST_F(WorkItemStore, FailuresCarryTheStepTextAndTheProgramsMessage) {
  crontab_.Fail();
  WorkItem item;
  Status opened = OpenWorkItem(program_, kUpdateJob, "/x/KIVIndexer", &item);
  EXPECT_EQ(opened.message(), "Error: NewWorkItem Failed.\n" + program_.path +
                                  " failed (exit code 2): cron is broken");
  item.application = "/x/KIVIndexer";
  EXPECT_FALSE(SaveWorkItem(program_, kUpdateJob, item).ok());
  scheduler::CrontabProgram missing{program_.path + "-missing", ""};
  std::string crontab;
  EXPECT_EQ(scheduler::ReadCrontab(missing, &crontab).code(), Status::Code::kNotFound);
}

TEST(ServiceStatus, TableAndProbeWithoutSystemd) {
  EXPECT_EQ(ViewServiceStatus(ServiceQuery::kNoManager, {}).text, "OpenSCManager Failed.");
  EXPECT_EQ(ViewServiceStatus(ServiceQuery::kNoService, {}).text, "OpenService Failed.");
  EXPECT_EQ(ViewServiceStatus(ServiceQuery::kQueryFailed, {}).text, "QueryServiceStatus Failed.");
  EXPECT_EQ(ViewServiceStatus(ServiceQuery::kOk, StateFromSystemd("activating")).text,
            "The service is starting.");
  EXPECT_EQ(ViewServiceStatus(ServiceQuery::kOk, StateFromSystemd("deactivating")).text,
            "The service is stopping.");
  EXPECT_EQ(ViewServiceStatus(ServiceQuery::kOk, StateFromSystemd("failed")).text,
            "The service is not running.");
  EXPECT_EQ(ViewServiceStatus(ServiceQuery::kOk, StateFromSystemd("maintenance")).text,
            "The service is unavailable.");
  EXPECT_EQ(ViewServiceStatus(ServiceQuery::kOk, ServiceState::kPaused).text,
            "The service is paused.");
  const ServiceStatus running = ViewServiceStatus(ServiceQuery::kOk, StateFromSystemd("active"));
  EXPECT_EQ(running.text, "The service is running.");
  EXPECT_TRUE(running.running);

  testing::TempDir dir;
  CronProbe probe;
  probe.systemd_runtime = dir.path() + "/no-systemd";
  probe.daemon = dir.path() + "/cron";
  probe.pid_file = dir.path() + "/crond.pid";
  probe.proc = dir.path() + "/proc";
  EXPECT_EQ(QueryCronStatus(probe).text, "OpenService Failed.");
  std::ofstream(probe.daemon).close();
  EXPECT_EQ(QueryCronStatus(probe).text, "The service is not running.");
  std::ofstream(probe.pid_file) << "4242\n";
  mkdir(probe.proc.c_str(), 0755);
  mkdir((probe.proc + "/4242").c_str(), 0755);
  std::ofstream(probe.proc + "/4242/comm") << "bash\n";
  EXPECT_FALSE(QueryCronStatus(probe).running);  // a stale pid reused by another program
  std::ofstream(probe.proc + "/4242/comm") << "cron\n";
  EXPECT_TRUE(QueryCronStatus(probe).running);
  std::ofstream(probe.proc + "/4242/stat") << "4242 (cron) Z 1 4242\n";
  EXPECT_FALSE(QueryCronStatus(probe).running);  // ended, not yet reaped
}

}  // namespace
}  // namespace tellwen::admin
