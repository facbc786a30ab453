// The update dialog's wiring over a real update runner whose statements are
// scripted: its titles, rows (hidden tasks never shown), the stop question,
// a failed task marked "error" with the dialog left open on "Close".
#include "indexer/ui/update_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <atomic>
#include <thread>

#include "indexer/core/update_sql_log.h"
#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/indexer/update_fake_sql.h"
#include "tests/support/fake_settings.h"
#include "tests/support/temp_dir.h"

namespace tellwen::indexer {
namespace {

using testing::Find;

class UpdateDialogTest : public ::testing::Test {
 protected:
  UpdateDialogTest() {
    config_.tasks = {{"first task", "select 1\n"},
                     {"DONT-hidden task", "select 2\n"},
                     {"second task", "select 3\n"}};
    config_.index_file = dir_.path() + "/kivtmp.txt";
    config_.log_file = SqlLogPath(dir_.path());
    config_.executor = &executor_;
    config_.settings = &settings_;
    config_.show_failure = [](const std::string&) {};
  }

  // The dialog's rows as "name|start?|status" ("start?" is "n/a" or "time").
  static std::vector<std::string> Rows(QDialog* dialog) {
    auto* tasks = Find<QTreeWidget>(dialog, "tasks");
    std::vector<std::string> rows;
    for (int i = 0; i < tasks->topLevelItemCount(); ++i) {
      QTreeWidgetItem* item = tasks->topLevelItem(i);
      rows.push_back(item->text(0).toStdString() + "|" + (item->text(1) == "n/a" ? "n/a" : "time") +
                     "|" + item->text(4).toStdString());
    }
    return rows;
  }

  testing::TempDir dir_;
  testing::FakeSettings settings_;
  testing::UpdateFakeSql executor_;
  UpdateRunnerConfig config_;
  testing::ScopedRecordingMessages messages_;
};

TEST_F(UpdateDialogTest, AFailedTaskIsMarkedErrorAndTheDialogWaitsOnClose) {
  executor_.set_rule([](const std::string& batch, int) {
    return batch.find("select 3") != std::string::npos ? "no such table" : "";
  });
  UpdateRunner runner(config_);
  std::vector<std::string> rows;
  QString title;
  testing::WhenModalShows([&](QDialog* dialog) {
    title = dialog->windowTitle();
    auto* button = Find<QPushButton>(dialog, "stopButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->text() == "Close"; }, 10000));
    EXPECT_TRUE(button->isEnabled());
    EXPECT_TRUE(dialog->isVisible());
    rows = Rows(dialog);
    QTest::mouseClick(button, Qt::LeftButton);
  });
  DialogUpdateDriver driver(nullptr, /*setup_mode=*/false, /*minimized=*/false);
  EXPECT_FALSE(driver.Drive(runner));
  EXPECT_EQ(title, "Tellwen Indexer  -  Inserting data into MS SQL Server database");
  EXPECT_EQ(rows, (std::vector<std::string>{"first task|time|done", "second task|time|error"}));
}

TEST_F(UpdateDialogTest, ACompletedSetupClosesByItselfAfterShowingItsWaitingRows) {
  UpdateRunner runner(config_);
  std::vector<std::string> rows;
  QString title;
  testing::WhenModalShows([&](QDialog* dialog) {
    title = dialog->windowTitle();
    rows = Rows(dialog);
  });
  DialogUpdateDriver driver(nullptr, /*setup_mode=*/true, /*minimized=*/false);
  EXPECT_TRUE(driver.Drive(runner));
  EXPECT_EQ(title, "Tellwen Indexer - Setting up the database");
  ASSERT_EQ(rows.size(), 2u);  // the hidden task has no row
  EXPECT_EQ(rows[0].substr(0, 11), "first task|");
  EXPECT_EQ(rows[1].substr(0, 12), "second task|");
}

TEST_F(UpdateDialogTest, StopAsksFirstAndShowsStoppingUntilTheRunnerEnds) {
  std::atomic<bool> hold{true};
  executor_.set_rule([&hold](const std::string& batch, int) {
    while (hold && batch.find("select 1") != std::string::npos) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::string();
  });
  UpdateRunner runner(config_);
  testing::WhenModalShows([&](QDialog* dialog) {
    auto* button = Find<QPushButton>(dialog, "stopButton");
    EXPECT_EQ(button->text(), "Stop");
    messages_->set_answer(false);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(button->text(), "Stop");
    EXPECT_FALSE(runner.StopRequested());
    messages_->set_answer(true);
    QTest::keyClick(dialog, Qt::Key_Escape);  // as the button
    EXPECT_EQ(button->text(), "Stopping...");
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(runner.StopRequested());
    hold = false;
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->text() == "Close"; }, 10000));
    QTest::mouseClick(button, Qt::LeftButton);
  });
  DialogUpdateDriver driver(nullptr, false, false);
  EXPECT_FALSE(driver.Drive(runner));
  EXPECT_EQ(messages_->asked().size(), 2u);
  EXPECT_EQ(messages_->asked()[0],
            "Stopping Tellwen Indexer while updating the database is not recommended!\nAre you "
            "sure do you want to stop updating?");
}

}  // namespace
}  // namespace tellwen::indexer
