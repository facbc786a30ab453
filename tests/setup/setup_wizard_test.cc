#include "setup/ui/setup_wizard.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "common/password.h"
#include "setup/ui/tasks_page.h"
#include "tests/admin/fake_picker.h"
#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/setup/fake_setup.h"
#include "tests/setup/scratch_machine.h"
#include "tests/support/fake_settings.h"

namespace tellwen::setup {
namespace {

using testing::Click;
using testing::Find;

class SetupWizardTest : public ::testing::Test {
 protected:
  SetupWizardTest() {
    std::filesystem::create_directories(machine.base() + "/etc");
    testing::WriteFile(machine.paths.web_config,
                       "root = /srv/www\nscripts = /srv/scripts/\nlisten = 0.0.0.0:8080\n");
    settings.SetValue("SqlServer", "localhost");
    settings.SetValue("SqlDatabase", "kiv");
    settings.SetValue("SqlUser", "sa");
    settings.SetValue("SqlPassword", ScramblePassword("pw"));
    settings.SetValue("SqlEngine", "postgresql");
    AnswerOffers(false);
    wizard.show();
  }

  // Next, and for the tasks page the wait until the five have run.
  void Next() {
    Click(&wizard, "next");
    if (wizard.currentId() == kTasksPage) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return !wizard.tasks_page()->running(); }, 5000));
    }
  }
  // The offer "Create a database?" answered without its dialog.
  void AnswerOffers(bool yes) {
    services.ask_create_database = [this, yes](const DatabaseOfferTexts& texts, QWidget*) {
      offers.push_back(texts.upper);
      return yes;
    };
  }
  QString Field(const char* name) { return Find<QLineEdit>(&wizard, name)->text(); }

  testing::ScratchMachine machine;
  testing::FakeSettings settings;
  testing::FakeSetupDatabase database;
  testing::FakeTaskRunner tasks;
  testing::RecordingStarter starter;
  testing::FakePicker picker;
  testing::ScopedRecordingMessages messages;
  SetupServices services{settings, database, tasks, starter, picker, machine.paths, "FILESERVER"};
  SetupWizard wizard{services};
  std::vector<std::string> offers;
};

TEST_F(SetupWizardTest, NextWalksThePagesStoresTheValuesAndFinishAppliesTheOptionsInOrder) {
  EXPECT_EQ(wizard.windowTitle(), "Tellwen Setup");
  EXPECT_FALSE(Find<QWidget>(&wizard, "back")->isVisible());
  Next();
  EXPECT_EQ(wizard.currentId(), kWebPage);
  EXPECT_EQ(Field("root"), "/srv/www/");
  EXPECT_EQ(Field("account"), "kiv_test_none");
  EXPECT_TRUE(messages->shown().empty());
  Find<QLineEdit>(&wizard, "root")->setText("/srv/site");
  Next();
  EXPECT_EQ(Field("password"), "pw");
  EXPECT_EQ(Find<QComboBox>(&wizard, "engine")->currentText(), "postgresql");
  Find<QLineEdit>(&wizard, "database")->setText("catalog");
  Next();
  EXPECT_EQ(tasks.runs(), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(tasks.last_values().root, "/srv/site/");
  EXPECT_EQ(settings.GetValue("SqlDatabase"), "catalog");
  EXPECT_EQ(settings.GetValue("SqlEngine"), "postgresql");
  for (const char* task : {"task1", "task2", "task3", "task4", "task5"}) {
    EXPECT_EQ(Field(task), "done");
  }
  EXPECT_TRUE(offers.empty());  // the database connects: no offer
  Next();
  EXPECT_EQ(Find<QLabel>(&wizard, "result")->text(), "Tellwen Setup has successfully installed.");
  EXPECT_TRUE(
      Find<QLabel>(&wizard, "link")->text().contains("http://fileserver:8080/kiv/default.htm"));
  EXPECT_TRUE(Find<QCheckBox>(&wizard, "autoloadMonitor")->isChecked());
  Find<QCheckBox>(&wizard, "launchMonitor")->setChecked(false);
  Click(&wizard, "finish");
  EXPECT_EQ(settings.GetValue("WebStatus"), "yes");
  EXPECT_TRUE(std::filesystem::exists(machine.paths.autostart_folder + "KIVMonitor.desktop"));
  EXPECT_EQ(starter.started, std::vector<std::string>{"KIVIndexer /index"});
}

TEST_F(SetupWizardTest, AFailedTaskEndsOnTheFailurePageAndFinishAppliesNothing) {
  tasks.Fail(3);
  Next();
  Next();
  Next();
  EXPECT_EQ(Field("task3"), "Error: task 3 failed");
  EXPECT_EQ(Field("task4"), "done");  // the tasks after a failed one still run
  Next();
  EXPECT_EQ(Find<QLabel>(&wizard, "result")->text(), "Tellwen Setup has failed.");
  EXPECT_FALSE(Find<QWidget>(&wizard, "link")->isVisible());
  EXPECT_FALSE(Find<QWidget>(&wizard, "startService")->isVisible());
  Click(&wizard, "finish");
  EXPECT_NE(settings.GetValue("WebStatus"), "yes");
  EXPECT_TRUE(starter.started.empty());
  EXPECT_FALSE(std::filesystem::exists(machine.paths.autostart_folder + "KIVMonitor.desktop"));
}

TEST_F(SetupWizardTest, BackToTheDatabaseRunsTheTasksAgainAndOffersCreationOnlyOnce) {
  database.connects = false;
  AnswerOffers(true);
  Next();
  Next();
  Next();
  ASSERT_EQ(offers.size(), 1u);
  EXPECT_EQ(offers[0].rfind("Failed to connect to the database:", 0), 0u);
  EXPECT_EQ(database.created, std::vector<std::string>{"kiv"});
  Click(&wizard, "back");
  EXPECT_EQ(wizard.currentId(), kDatabasePage);
  Find<QLineEdit>(&wizard, "user")->setText("kivadmin");
  Next();
  EXPECT_EQ(tasks.runs().size(), 10u);
  EXPECT_EQ(settings.GetValue("SqlUser"), "kivadmin");
  EXPECT_EQ(offers.size(), 1u);
}

TEST(CreateDatabaseDialogTest, ShowsBothTextsUnderItsTitleAndYesCreates) {
  CreateDatabaseDialog dialog({"Failed to connect to the database:", "If you want to ..."});
  EXPECT_EQ(dialog.windowTitle(), "Create a database?");
  EXPECT_EQ(Find<QLabel>(&dialog, "upperText")->text(), "Failed to connect to the database:");
  EXPECT_EQ(Find<QLabel>(&dialog, "lowerText")->text(), "If you want to ...");
  EXPECT_TRUE(Find<QPushButton>(&dialog, "no")->isDefault());
  Find<QPushButton>(&dialog, "yes")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(SetupWizardTest, MissingFoldersAreWarnedAboutAndBrowseAsksForADirectory) {
  std::filesystem::remove(machine.paths.web_config);
  Next();
  ASSERT_EQ(messages->shown().size(), 1u);
  EXPECT_EQ(
      messages->shown()[0].rfind("Setup was unable to detect your IIS web root directory.", 0), 0u);
  EXPECT_EQ(Field("root"), kDefaultWebRoot);
  picker.answer = "/data/web";
  Click(&wizard, "rootBrowse");
  ASSERT_EQ(picker.asked.size(), 1u);
  EXPECT_EQ(picker.asked[0].title, "Select directory...");
  EXPECT_EQ(Field("root"), "/data/web/");
}

}  // namespace
}  // namespace tellwen::setup
