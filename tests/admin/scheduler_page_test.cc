// The Scheduler page's wiring: the service status and hint, last run
// times, the setup buttons opening the job's sheet, the Run questions.
#include "admin/ui/scheduler_page.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTabWidget>

#include "tests/admin/fake_crontab.h"
#include "tests/admin/fake_picker.h"
#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fake_sql.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

class SchedulerPageTest : public ::testing::Test {
 protected:
  SchedulerPageTest() {
    services_.crontab = crontab_.program;
    services_.service_status = [this] { return status_; };
    services_.start_program = [this](const std::string&, const std::string& program,
                                     const std::vector<std::string>& args) {
      started_.push_back(program + " " + args.at(0));
      return Status::Ok();
    };
    settings_.SetValue("KIVInstallPathExes", "/usr/lib/tellwen/");
    settings_.SetValue("LastSuccessfulScanTime", "2026-12-07 02:00:14");
  }

  testing::FakeCrontab crontab_;
  testing::FakeSettings settings_;
  testing::FakeSql sql_;
  testing::FakePicker picker_;
  testing::ScopedRecordingMessages messages_;
  AdminServices services_{settings_, sql_, picker_};
  ServiceStatus status_{"The service is not running.", false};
  std::vector<std::string> started_;
};

TEST_F(SchedulerPageTest, ShowsTheServiceWithItsHintAndTheLastRuns) {
  SchedulerPage page(services_);
  page.LoadOnce();
  page.show();
  EXPECT_EQ(Find<QLabel>(&page, "serviceStatus")->text(), "The service is not running.");
  EXPECT_TRUE(Find<QWidget>(&page, "serviceHint")->isVisible());
  EXPECT_EQ(Find<QLabel>(&page, "scanLastRun")->text(), "2026-12-07 02:00:14");
  status_ = {"The service is running.", true};
  page.Reload();
  EXPECT_FALSE(Find<QWidget>(&page, "serviceHint")->isVisible());
}

TEST_F(SchedulerPageTest, RunAsksAndStartsTheIndexerWithTheJobsSwitch) {
  SchedulerPage page(services_);
  page.LoadOnce();
  Click(&page, "runUpdate");  // answered no
  EXPECT_TRUE(started_.empty());
  messages_->set_answer(true);
  Click(&page, "runScan");
  Click(&page, "runUpdate");
  EXPECT_EQ(started_, (std::vector<std::string>{"KIVIndexer /index", "KIVIndexer /updatedb"}));
  EXPECT_EQ(messages_->asked().front(), "Are you sure do you want to start database updating now?");
}

TEST_F(SchedulerPageTest, SetupOpensTheJobsSheetOnItsScheduleAndOkStoresTheItem) {
  SchedulerPage page(services_);
  page.LoadOnce();
  QString caption;
  int tab = -1;
  testing::WhenModalShows([&](QDialog* dialog) {
    caption = dialog->windowTitle();
    tab = dialog->findChild<QTabWidget*>("workItemSheet")->currentIndex();
    dialog->accept();
  });
  Click(&page, "setupUpdate");
  EXPECT_EQ(caption, "Tellwen - Schedule Database Updating");
  EXPECT_EQ(tab, 1);
  EXPECT_EQ(crontab_.Tab(),
            "# Tellwen - Database Update\n0 4 * * * /usr/lib/tellwen/KIVIndexer /updatedb\n");

  crontab_.Fail();
  Click(&page, "setupScan");
  ASSERT_EQ(messages_->shown().size(), 1u);
  EXPECT_EQ(messages_->shown()[0].rfind("Error: NewWorkItem Failed.", 0), 0u);
}

}  // namespace
}  // namespace tellwen::admin
