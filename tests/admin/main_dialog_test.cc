// The administrator window's wiring: pages load when shown, Apply/OK store
// through core, Cancel and Reset store nothing, the Database page's test
// runs off the window's thread.
#include "admin/ui/main_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <atomic>
#include <fstream>
#include <thread>

#include "admin/core/interval.h"
#include "admin/ui/about_page.h"
#include "admin/ui/database_page.h"
#include "common/password.h"
#include "tests/admin/fake_picker.h"
#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fake_sql.h"
#include "tests/support/temp_dir.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

class MainDialogTest : public ::testing::Test {
 protected:
  MainDialogTest() {
    settings_.SetValue("SqlServer", "dbhost");
    settings_.SetValue("SqlDatabase", "kiv");
    settings_.SetValue("SqlUser", "sa");
    settings_.SetValue("SqlPassword", ScramblePassword("secret;1"));
    settings_.SetValue("QueryConnectionTimeout", "15");
    settings_.SetValue("QueryCommandTimeout", "120");
    settings_.SetValue("SqlLogFolder", "/var/log/tellwen/");
    settings_.SetValue("SqlNotReindexHours", "36");
    settings_.SetValue("SqlComputerExpireHours", "2147483647");
    settings_.defaults["QueryConnectionTimeout"] = "15";
    settings_.defaults["QueryCommandTimeout"] = "120";
    services_.autostart_folder = autostart_.path();
    services_.service_status = [] { return ServiceStatus{"The service is running.", true}; };
  }
  QWidget* Apply() { return Find<QWidget>(dialog_.get(), "apply"); }
  void Show(PageIndex index) { dialog_->sheet()->setCurrentIndex(static_cast<int>(index)); }
  void Create() { dialog_ = std::make_unique<MainDialog>(services_); }

  testing::TempDir autostart_;
  testing::FakeSettings settings_;
  testing::FakeSql sql_;
  testing::FakePicker picker_;
  testing::ScopedRecordingMessages messages_;
  AdminServices services_{settings_, sql_, picker_};
  std::unique_ptr<MainDialog> dialog_;
};

TEST_F(MainDialogTest, LoadsTheDatabasePageAndAppliesOnlyChanges) {
  Create();
  EXPECT_EQ(dialog_->windowTitle(), "Tellwen Administrator");
  QStringList tabs;
  for (int i = 0; i < dialog_->sheet()->count(); ++i) tabs << dialog_->sheet()->tabText(i);
  EXPECT_EQ(tabs,
            (QStringList{"Database", "Files", "Misc", "Security", "Web", "Scheduler", "About"}));
  EXPECT_EQ(Find<QLineEdit>(dialog_.get(), "server")->text(), "dbhost");
  QLineEdit* password = Find<QLineEdit>(dialog_.get(), "password");
  EXPECT_EQ(password->text(), "secret;1");
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(Apply()->isEnabled());

  Find<QLineEdit>(dialog_.get(), "server")->setText("otherhost");
  EXPECT_TRUE(Apply()->isEnabled());
  Click(dialog_.get(), "apply");
  EXPECT_FALSE(Apply()->isEnabled());
  EXPECT_EQ(settings_.Stored("SqlServer"), "otherhost");
  EXPECT_EQ(UnscramblePassword(settings_.Stored("SqlPassword")), "secret;1");
  // The Files and Misc pages were never shown: nothing of theirs is written.
  EXPECT_EQ(settings_.Stored("SqlLogFolder"), "/var/log/tellwen/");
  EXPECT_FALSE(settings_.Has("TemporaryFolder"));
  EXPECT_FALSE(settings_.Has("ShouldReport"));
}

TEST_F(MainDialogTest, CancelAndResetStoreNothing) {
  Create();
  Show(PageIndex::kFiles);
  QLineEdit* log_folder = Find<QLineEdit>(dialog_.get(), "logFolder");
  EXPECT_EQ(log_folder->text(), "/var/log/tellwen/");
  log_folder->setText("/tmp/elsewhere/");
  EXPECT_TRUE(Apply()->isEnabled());
  Click(dialog_.get(), "reset");
  EXPECT_EQ(log_folder->text(), "/var/log/tellwen/");
  EXPECT_FALSE(Apply()->isEnabled());

  log_folder->setText("/tmp/elsewhere/");
  Click(dialog_.get(), "cancel");
  EXPECT_EQ(dialog_->result(), QDialog::Rejected);
  EXPECT_EQ(settings_.Stored("SqlLogFolder"), "/var/log/tellwen/");
  EXPECT_FALSE(settings_.Has("TemporaryFolder"));
}

TEST_F(MainDialogTest, FolderChooserAddsTheSlashAndOkStores) {
  Create();
  Show(PageIndex::kFiles);
  picker_.answer = "/srv/tellwen/tmp";
  Click(dialog_.get(), "temporaryFolderBrowse");
  picker_.answer = "/srv/tellwen/suggest.txt";
  Click(dialog_.get(), "suggestionsFileBrowse");
  ASSERT_EQ(picker_.asked.size(), 2u);
  EXPECT_EQ(picker_.asked[0].title, "Select directory...");
  EXPECT_EQ(picker_.asked[1].title, "Which file?");
  EXPECT_EQ(picker_.asked[1].filter, "All Files (*.*)|*.*|Text Files (*.txt)|*.txt||");
  Click(dialog_.get(), "ok");
  EXPECT_EQ(dialog_->result(), QDialog::Accepted);
  EXPECT_EQ(settings_.Stored("TemporaryFolder"), "/srv/tellwen/tmp/");
  EXPECT_EQ(settings_.Stored("SuggestionsFile"), "/srv/tellwen/suggest.txt");
}

TEST_F(MainDialogTest, MiscIntervalsShowUnitsAndStoreHours) {
  Create();
  Show(PageIndex::kMisc);
  EXPECT_EQ(Find<QLineEdit>(dialog_.get(), "reindexNumber")->text(), "1");
  EXPECT_EQ(Find<QComboBox>(dialog_.get(), "reindexUnit")->currentText(), "day(s)");
  QLineEdit* expire = Find<QLineEdit>(dialog_.get(), "expireNumber");
  EXPECT_EQ(Find<QComboBox>(dialog_.get(), "expireUnit")->currentText(), "infinite");
  EXPECT_FALSE(expire->isEnabled());
  // Choosing a unit enables the box and puts "0" into it when empty.
  QComboBox* unit = Find<QComboBox>(dialog_.get(), "expireUnit");
  unit->setCurrentIndex(static_cast<int>(IntervalUnit::kWeeks));
  emit unit->activated(unit->currentIndex());
  EXPECT_TRUE(expire->isEnabled());
  EXPECT_EQ(expire->text(), "0");
  expire->setText("3");
  Click(dialog_.get(), "apply");
  EXPECT_EQ(settings_.Stored("SqlNotReindexHours"), "24");
  EXPECT_EQ(settings_.Stored("SqlComputerExpireHours"), "504");
}

TEST_F(MainDialogTest, AutoloadMonitorWritesAndRemovesTheAutostartEntry) {
  settings_.SetValue("KIVInstallPathExes", "/usr/lib/tellwen/");
  Create();
  Show(PageIndex::kMisc);
  QCheckBox* autoload = Find<QCheckBox>(dialog_.get(), "autoloadMonitor");
  EXPECT_TRUE(autoload->isEnabled());
  EXPECT_FALSE(autoload->isChecked());
  autoload->setChecked(true);
  Click(dialog_.get(), "apply");
  EXPECT_TRUE(scheduler::AutostartPresent(autostart_.path()));
  autoload->setChecked(false);
  Click(dialog_.get(), "apply");
  EXPECT_FALSE(scheduler::AutostartPresent(autostart_.path()));
  EXPECT_TRUE(messages_->shown().empty());
  // A folder that cannot be made (a file is in the way) shows the error code.
  std::ofstream(autostart_.path() + "/file") << "in the way";
  services_.autostart_folder = autostart_.path() + "/file/autostart";
  autoload->setChecked(true);
  Click(dialog_.get(), "apply");
  EXPECT_EQ(messages_->shown(),
            std::vector<std::string>{"Registry error: RegSetKeyEx returned 20"});
}

TEST_F(MainDialogTest, DefaultsFillTheTimeoutBoxesOnly) {
  Create();
  Find<QLineEdit>(dialog_.get(), "connectionTimeout")->setText("3");
  Click(dialog_.get(), "defaults");
  EXPECT_EQ(Find<QLineEdit>(dialog_.get(), "connectionTimeout")->text(), "15");
  EXPECT_EQ(settings_.Stored("QueryConnectionTimeout"), "15");  // as stored before
}

TEST_F(MainDialogTest, TestRunsOffTheWindowThreadWithTheTypedValues) {
  std::atomic<bool> release{false};
  std::string typed;
  services_.open_connection = [&](const std::string& text, SqlTimeouts, std::string* source,
                                  std::string* description) {
    typed = text;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    *source = "Tellwen SQL";
    *description = "Login failed for user 'sa'.";
    return false;
  };
  Create();
  auto* page = static_cast<DatabasePage*>(dialog_->page(PageIndex::kDatabase));
  QSignalSpy finished(page, &DatabasePage::testFinished);
  Find<QLineEdit>(dialog_.get(), "password")->setText("typed;pw");
  Click(dialog_.get(), "test");
  // While the test runs the window keeps working.
  QApplication::processEvents();
  EXPECT_FALSE(Find<QWidget>(dialog_.get(), "test")->isEnabled());
  EXPECT_EQ(Find<QLabel>(dialog_.get(), "statusTesting")->text(), "testing connection...");
  EXPECT_EQ(Find<QLabel>(dialog_.get(), "statusWait")->text(), "please wait!");
  release = true;
  ASSERT_TRUE(finished.wait(5000));
  EXPECT_EQ(messages_->shown(),
            std::vector<std::string>{
                "Test FAILED!\nSource: 'Tellwen SQL'\nDescription: 'Login failed for user 'sa'.'"});
  EXPECT_TRUE(Find<QWidget>(dialog_.get(), "test")->isEnabled());
  EXPECT_EQ(Find<QLabel>(dialog_.get(), "statusTesting")->text(), "");
  SqlConnectionSettings parsed;
  ASSERT_TRUE(ParseConnectionString(typed, &parsed));
  EXPECT_EQ(parsed.password, "typed;pw");
  EXPECT_EQ(UnscramblePassword(settings_.Stored("SqlPassword")), "secret;1");  // not stored
}

TEST_F(MainDialogTest, AboutEntryShowsTheAboutPageAndLinkFailuresAreShown) {
  services_.open_link = [](const std::string&) { return desktop::LinkOpenResult{0, 2}; };
  Create();
  QAction* about = dialog_->findChild<QAction*>("aboutAction");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->text(), "&About Tellwen Administrator...");
  about->trigger();
  EXPECT_EQ(dialog_->sheet()->currentIndex(), static_cast<int>(PageIndex::kAbout));
  auto* page = static_cast<AboutPage*>(dialog_->page(PageIndex::kAbout));
  QSignalSpy opened(page, &AboutPage::linkOpened);
  emit Find<QLabel>(page, "homeLink")->linkActivated(kHomePageLink);
  ASSERT_TRUE(opened.wait(5000));
  EXPECT_EQ(messages_->shown(),
            std::vector<std::string>{"Can't open link:\n\nThe specified file was not found."});
}

}  // namespace
}  // namespace tellwen::admin
