// Work items through Debian cron's own crontab program, on a throwaway
// account that the test creates and removes (never the account running the
// tests). Needs root for useradd and "crontab -u"; the cron daemon is not
// started.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "admin/core/work_items.h"
#include "platform/desktop/program_run.h"
#include "platform/scheduler/crontab_program.h"
#include "platform/scheduler/crontab_text.h"

namespace tellwen::admin {
namespace {

class CrontabAccountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a throwaway account";
    if (!desktop::RunProgram({"sh", "-c", "command -v crontab"}).ok()) {
      GTEST_SKIP() << "no crontab program (Debian package cron)";
    }
    account_ = "twcron" + std::to_string(getpid());
    desktop::ProgramRun made = desktop::RunProgram(
        {"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", account_});
    ASSERT_TRUE(made.ok()) << made.output;
    program_.user = account_;
  }
  void TearDown() override {
    if (account_.empty()) return;
    desktop::RunProgram({"crontab", "-u", account_, "-r"});
    desktop::RunProgram({"userdel", account_});
  }

  std::string account_;
  scheduler::CrontabProgram program_;
};

TEST_F(CrontabAccountTest, ItemsAreWrittenFoundAgainAndRemovedKeepingForeignLines) {
  std::string crontab;
  ASSERT_TRUE(scheduler::ReadCrontab(program_, &crontab).ok());  // no crontab yet
  EXPECT_EQ(crontab, "");
  const std::string foreign =
      "# the account's own jobs\nMAILTO=\"\"\nPATH=/usr/bin:/bin\n\n"
      "*/5 * * * * /usr/bin/true --quiet\n";
  ASSERT_TRUE(scheduler::WriteCrontab(program_, foreign).ok());

  for (const WorkItemJob* job : {&kScanJob, &kUpdateJob}) {
    WorkItem item;
    ASSERT_TRUE(OpenWorkItem(program_, *job, "/usr/lib/tellwen/KIVIndexer", &item).ok());
    EXPECT_TRUE(item.is_new);
    EXPECT_EQ(item.account, account_);
    ASSERT_TRUE(SaveWorkItem(program_, *job, item).ok());
  }
  WorkItem again;
  ASSERT_TRUE(OpenWorkItem(program_, kScanJob, "/usr/lib/tellwen/KIVIndexer", &again).ok());
  EXPECT_FALSE(again.is_new);
  again.schedule.kind = ScheduleKind::kEveryMinutes;
  again.schedule.every = 30;
  ASSERT_TRUE(SaveWorkItem(program_, kScanJob, again).ok());

  ASSERT_TRUE(scheduler::ReadCrontab(program_, &crontab).ok());
  // Debian's crontab -l may print a header of its own before the lines.
  const size_t start = crontab.find(foreign);
  ASSERT_NE(start, std::string::npos) << crontab;
  EXPECT_EQ(crontab.substr(start + foreign.size()),
            "# Tellwen - Network Scan\n*/30 * * * * /usr/lib/tellwen/KIVIndexer /index\n"
            "# Tellwen - Database Update\n0 4 * * * /usr/lib/tellwen/KIVIndexer /updatedb\n");

  ASSERT_TRUE(scheduler::RemoveCronItemFromCrontab(scheduler::kScanItemName, program_).ok());
  ASSERT_TRUE(scheduler::RemoveCronItemFromCrontab(scheduler::kUpdateItemName, program_).ok());
  ASSERT_TRUE(scheduler::ReadCrontab(program_, &crontab).ok());
  EXPECT_EQ(crontab.substr(crontab.find(foreign)), foreign);

  // cron refuses a malformed crontab and keeps the old one.
  EXPECT_FALSE(scheduler::WriteCrontab(program_, "this is no job\n").ok());
  ASSERT_TRUE(scheduler::ReadCrontab(program_, &crontab).ok());
  EXPECT_NE(crontab.find(foreign), std::string::npos);
}

}  // namespace
}  // namespace tellwen::admin
