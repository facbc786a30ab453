// The monitor window's wiring over a fake worker: its labels, the slider,
// Pause, "Start minimized", hiding, the menu and the exit question.
#include "monitor/ui/monitor_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/monitor/fake_worker.h"
#include "tests/support/fake_settings.h"

namespace tellwen::monitor {
namespace {

using testing::Click;
using testing::ExpectLabels;
using testing::FakeWorker;
using testing::Find;
using testing::LabelText;

class MonitorWindowTest : public ::testing::Test {
 protected:
  MonitorWindowServices Services(bool tray) {
    MonitorWindowServices services;
    services.worker = &worker_;
    services.settings = &settings_;
    services.launch = [this](const std::string& program, const std::vector<std::string>& args) {
      launched_.push_back(program + (args.empty() ? "" : " " + args[0]));
    };
    services.use_tray = tray;
    services.start_delay_ms = 10;
    services.refresh_ms = 60000;  // the tests refresh by hand
    return services;
  }

  FakeWorker worker_;
  testing::FakeSettings settings_;
  std::vector<std::string> launched_;
  testing::ScopedRecordingMessages messages_;
};

TEST_F(MonitorWindowTest, LabelsReadNAUntilTheWorkerHasTextsAndTheSliderAppliesAtRefresh) {
  worker_.state_.slider_position = 2;
  MonitorWindow window(Services(false));
  EXPECT_EQ(window.windowTitle(), "KIV Monitor");
  const char* values[] = {"computersNumber",    "pingInterval",  "status",        "lastComputer",
                          "lastComputerStatus", "lastRoundTime", "overallPercent"};
  window.Refresh();
  for (const char* name : values) EXPECT_EQ(LabelText(&window, name), "N/A") << name;

  worker_.ShowRound({"pinging...", "127.0.0.1", "alive!", "3", "500", "00:00:04"}, 1, 3);
  auto* slider = Find<QSlider>(&window, "intervalSlider");
  EXPECT_EQ(slider->value(), 2);
  slider->setValue(4);
  EXPECT_EQ(worker_.state_.slider_position, 2);  // not before the refresh
  window.Refresh();
  EXPECT_EQ(worker_.state_.slider_position, 4);
  ExpectLabels(&window, {{"pingInterval", "1000"},
                         {"status", "pinging..."},
                         {"lastComputer", "127.0.0.1"},
                         {"lastComputerStatus", "alive!"},
                         {"computersNumber", "3"},
                         {"lastRoundTime", "00:00:04"},
                         {"overallPercent", "50%"}});
  EXPECT_EQ(Find<QProgressBar>(&window, "overallBar")->maximum(), 2);

  // One computer leaves the bar and the percentage as they were.
  worker_.state_.computers = 1;
  worker_.state_.position = 0;
  window.Refresh();
  EXPECT_EQ(LabelText(&window, "overallPercent"), "50%");
  EXPECT_EQ(Find<QProgressBar>(&window, "overallBar")->value(), 1);
}

TEST_F(MonitorWindowTest, PauseTogglesAndStartMinimizedIsStoredAtEachClick) {
  MonitorWindow window(Services(false));
  window.show();
  Click(&window, "pauseButton");
  EXPECT_TRUE(worker_.state_.pause);
  EXPECT_EQ(Find<QPushButton>(&window, "pauseButton")->text(), "Resume...");
  Click(&window, "pauseButton");
  EXPECT_FALSE(worker_.state_.pause);
  EXPECT_EQ(Find<QPushButton>(&window, "pauseButton")->text(), "Pause");

  Click(&window, "startMinimized");
  EXPECT_EQ(settings_.GetValue("MonitorStartMinimized"), "1");
  Click(&window, "startMinimized");
  EXPECT_EQ(settings_.GetValue("MonitorStartMinimized"), "0");
}

TEST_F(MonitorWindowTest, WithATrayEscapeHidesAndTheMenuStartsThePrograms) {
  settings_.SetValue("MonitorStartMinimized", "1");
  MonitorWindow window(Services(true));
  window.show();
  EXPECT_TRUE(Find<QCheckBox>(&window, "startMinimized")->isChecked());
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.isHidden(); }));  // started hidden
  window.RestoreWindow();
  EXPECT_TRUE(window.isVisible());
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_TRUE(window.isHidden());
  EXPECT_EQ(window.tray()->toolTip(), "Tellwen Monitor");

  QStringList entries;
  for (QAction* action : window.menu()->actions()) {
    entries << (action->isSeparator() ? "-" : action->text());
  }
  EXPECT_EQ(entries,
            (QStringList{"Launch &administrator", "&Index network now", "&Update database now", "-",
                         "&Restore", "&About", "-", "E&xit"}));
  for (const char* name : {"actionAdministrator", "actionIndex", "actionUpdate"}) {
    Find<QAction>(window.menu(), name)->trigger();
  }
  EXPECT_EQ(launched_,
            (std::vector<std::string>{"KIVAdmin", "KIVIndexer /index", "KIVIndexer /updatedb"}));
  Find<QAction>(window.menu(), "actionRestore")->trigger();
  EXPECT_TRUE(window.isVisible());
}

TEST_F(MonitorWindowTest, NoToTheExitQuestionLeavesEverythingRunningYesStopsAndSaves) {
  MonitorWindow window(Services(false));
  window.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return worker_.starts == 1; }));
  EXPECT_NE(window.findChild<QPushButton*>("menuButton"), nullptr);  // no tray: menu on the window

  messages_->set_answer(false);
  Click(&window, "exitButton");
  window.close();
  EXPECT_EQ(messages_->asked(), (std::vector<std::string>{"Are you sure do you want to exit?",
                                                          "Are you sure do you want to exit?"}));
  EXPECT_FALSE(worker_.state_.stop);
  EXPECT_TRUE(window.refreshing());
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(worker_.saved_position, -1);

  Find<QSlider>(&window, "intervalSlider")->setValue(7);
  messages_->set_answer(true);
  Find<QAction>(window.menu(), "actionExit")->trigger();
  EXPECT_TRUE(worker_.state_.stop);
  EXPECT_FALSE(window.refreshing());
  EXPECT_EQ(worker_.saved_position, 7);
  EXPECT_TRUE(window.exited());
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace tellwen::monitor
