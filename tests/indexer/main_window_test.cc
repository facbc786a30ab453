// The main window's wiring over a real index job on a network held in
// memory: its texts before, during and after a job, the buttons, the stop
// question and the close rule.
#include "indexer/ui/main_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/indexer/fake_network.h"
#include "tests/indexer/job_settings.h"
#include "tests/support/fake_sql.h"
#include "tests/support/temp_dir.h"

namespace tellwen::indexer {
namespace {

using testing::Click;
using testing::ExpectLabels;
using testing::Find;
using testing::LabelText;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::SetJobSettings(settings_, temp_.path(), temp_.path() + "/report.txt", "0|\\\\PC1");
    net_.AddShare("\\\\PC1\\share");
    net_.AddFile("\\\\PC1\\share\\a.txt", 10);
    // Holds the scan in its first listing until released.
    net_.SetListingHook([this](const std::string&) {
      while (hold_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    IndexJobDependencies deps;
    deps.network = &net_;
    deps.settings = &settings_;
    deps.sql = &sql_;
    job_ = std::make_unique<IndexJob>(std::move(deps));
  }
  void TearDown() override {
    hold_ = false;
    job_.reset();
  }

  QPushButton* Button(QWidget* window, const char* name) { return Find<QPushButton>(window, name); }

  testing::TempDir temp_;
  testing::FakeNetwork net_;
  testing::FakeSettings settings_;
  testing::FakeSql sql_;
  std::atomic<bool> hold_{false};
  std::unique_ptr<IndexJob> job_;
  testing::ScopedRecordingMessages messages_;
};

TEST_F(MainWindowTest, BeforeAJobShowsTheInitialTextsAndOneRowPerWorker) {
  MainWindow window(*job_, {});
  EXPECT_EQ(window.windowTitle(), "Tellwen Indexer");
  for (const char* name :
       {"threadsBusy", "threadCount", "computersDone", "filesDumped", "filesFound"}) {
    EXPECT_EQ(LabelText(&window, name), "0") << name;
  }
  ExpectLabels(&window, {{"computersQueued", "0 (-0)"},
                         {"elapsed", "00:00:00"},
                         {"projected", "00:00:00"},
                         {"searchState", "no searching"},
                         {"scanState", "no scanning"},
                         {"dumpState", "no dumping"}});
  EXPECT_EQ(Button(&window, "startButton")->text(), "Intranet &index");
  EXPECT_TRUE(Button(&window, "updateButton")->isEnabled());
  EXPECT_TRUE(Button(&window, "exitButton")->isEnabled());

  auto* workers = Find<QTreeWidget>(&window, "workers");
  ASSERT_EQ(workers->topLevelItemCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(workers->topLevelItem(i)->text(0), QString("0%1").arg(i + 1));
    EXPECT_EQ(workers->topLevelItem(i)->text(1), "idle");
  }
}

TEST_F(MainWindowTest, AJobDisablesUpdateAndExitUntilItsEndAndLeavesTheDoneTexts) {
  hold_ = true;
  MainWindowOptions options;
  options.tick_ms = 10;
  MainWindow window(*job_, options);
  window.show();
  Click(&window, "startButton");
  ASSERT_TRUE(window.ticking());
  EXPECT_EQ(Button(&window, "startButton")->text(), "&Stop");
  EXPECT_FALSE(Button(&window, "updateButton")->isEnabled());
  EXPECT_FALSE(Button(&window, "exitButton")->isEnabled());
  EXPECT_TRUE(QTest::qWaitFor([&] { return LabelText(&window, "scanState") == "scanning..."; }));
  EXPECT_EQ(LabelText(&window, "projected"), "--:--:--");  // no computer done yet
  EXPECT_EQ(LabelText(&window, "threadCount"), "3");

  // Closing is refused while the job runs; "no" to the stop question changes nothing.
  window.close();
  EXPECT_TRUE(window.isVisible());
  messages_->set_answer(false);
  Click(&window, "startButton");
  EXPECT_EQ(Button(&window, "startButton")->text(), "&Stop");
  EXPECT_EQ(messages_->shown(),
            std::vector<std::string>{"Tellwen Indexer in progress. Please stop it first!"});
  EXPECT_EQ(messages_->asked(), std::vector<std::string>{"Are you sure do you want to stop?"});

  // The network search's report is the search state's tip.
  job_->status().AddFoundComputer("\\\\PC9: found by mDNS, queued");
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return Find<QLabel>(&window, "searchState")->toolTip() ==
           "Found by the network search:\n\\\\PC9: found by mDNS, queued";
  }));

  hold_ = false;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.ticking(); }, 10000));
  EXPECT_EQ(LabelText(&window, "searchState"), "search done");
  EXPECT_EQ(LabelText(&window, "scanState"), "scanning done");
  EXPECT_EQ(LabelText(&window, "dumpState"), "dump done");
  EXPECT_EQ(LabelText(&window, "computersDone"), "1");
  EXPECT_EQ(Find<QProgressBar>(&window, "progress")->value(), 1);
  EXPECT_EQ(Button(&window, "startButton")->text(), "Intranet &search");
  EXPECT_TRUE(Button(&window, "updateButton")->isEnabled());
  EXPECT_TRUE(Button(&window, "exitButton")->isEnabled());
  EXPECT_TRUE(window.isVisible());  // not an /index run
}

TEST_F(MainWindowTest, IndexRunStartsAtOnceAndAConfirmedStopClosesItAtTheEnd) {
  hold_ = true;
  MainWindowOptions options;
  options.index_run = true;
  options.tick_ms = 10;
  MainWindow window(*job_, options);
  window.show();
  EXPECT_TRUE(window.isMinimized());
  ASSERT_TRUE(QTest::qWaitFor([&] { return job_->Running(); }));

  messages_->set_answer(true);
  Click(&window, "startButton");
  EXPECT_EQ(Button(&window, "startButton")->text(), "Stopping...");
  EXPECT_FALSE(Button(&window, "startButton")->isEnabled());
  window.close();
  EXPECT_EQ(messages_->shown(),
            std::vector<std::string>{"Tellwen Indexer is stopping.\nPlease wait!"});

  hold_ = false;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 10000));
  EXPECT_EQ(window.exit_code(), 1);  // stopped
  EXPECT_EQ(settings_.GetValue("LastIndexData"), "");
}

}  // namespace
}  // namespace tellwen::indexer
