// The work item's sheet: the kind shows its controls, the cron line
// follows the edits, OK refuses a bad expression and keeps the sheet open.
#include "admin/ui/work_item_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include "tests/admin/fake_crontab.h"
#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

TEST(WorkItemDialog, EditsShowTheCronLineAndOkRefusesABadExpression) {
  testing::FakeCrontab crontab;
  testing::ScopedRecordingMessages messages;
  WorkItem item;
  ASSERT_TRUE(OpenWorkItem(crontab.program, kScanJob, "/usr/lib/tellwen/KIVIndexer", &item).ok());
  WorkItemDialog dialog(crontab.program, kScanJob, item);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Tellwen - Schedule Network Scanning");
  auto* line = Find<QLabel>(&dialog, "cronLine");
  EXPECT_EQ(line->text(), "0 2 * * * /usr/lib/tellwen/KIVIndexer /index");

  auto* kind = Find<QComboBox>(&dialog, "scheduleKind");
  kind->setCurrentIndex(static_cast<int>(ScheduleKind::kWeekly));
  EXPECT_TRUE(Find<QWidget>(&dialog, "weekdays")->isVisible());
  EXPECT_FALSE(Find<QWidget>(&dialog, "expression")->isVisible());
  Find<QCheckBox>(&dialog, "daySat")->setChecked(true);
  EXPECT_EQ(line->text(), "0 2 * * 6 /usr/lib/tellwen/KIVIndexer /index");
  Find<QCheckBox>(&dialog, "enabled")->setChecked(false);
  EXPECT_EQ(line->text(), "#0 2 * * 6 /usr/lib/tellwen/KIVIndexer /index");

  kind->setCurrentIndex(static_cast<int>(ScheduleKind::kEveryMinutes));
  Find<QSpinBox>(&dialog, "every")->setValue(15);
  EXPECT_EQ(line->text(), "#*/15 * * * * /usr/lib/tellwen/KIVIndexer /index");

  kind->setCurrentIndex(static_cast<int>(ScheduleKind::kExpression));
  Find<QLineEdit>(&dialog, "expression")->setText("0 25 * * *");
  Click(&dialog, "ok");
  ASSERT_EQ(messages->shown().size(), 1u);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(crontab.Tab(), "");
  Find<QLineEdit>(&dialog, "expression")->setText("0 22 * * 1-5");
  Find<QCheckBox>(&dialog, "enabled")->setChecked(true);
  Click(&dialog, "ok");
  EXPECT_EQ(crontab.Tab(),
            "# Tellwen - Network Scan\n0 22 * * 1-5 /usr/lib/tellwen/KIVIndexer /index\n");
}

}  // namespace
}  // namespace tellwen::admin
