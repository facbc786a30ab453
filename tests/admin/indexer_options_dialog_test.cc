#include "admin/ui/indexer_options_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QRadioButton>

#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/support/fake_settings.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

TEST(IndexerOptionsDialog, LoadsAndStoresTheThreeValues) {
  testing::FakeSettings settings;
  settings.SetValue("Levels", "5");
  settings.SetValue("NumberOfThreads", "10");
  settings.SetValue("IndexerScanPriority", "1");
  testing::ScopedRecordingMessages messages;
  IndexerOptionsDialog dialog(settings);
  EXPECT_TRUE(Find<QRadioButton>(&dialog, "level5")->isChecked());
  EXPECT_EQ(Find<QComboBox>(&dialog, "threads")->currentText(), "10");
  EXPECT_EQ(Find<QComboBox>(&dialog, "priority")->currentText(), "Lowest");

  Find<QRadioButton>(&dialog, "level0")->setChecked(true);
  Find<QComboBox>(&dialog, "threads")->setEditText("30");
  Click(&dialog, "ok");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(settings.Stored("Levels"), "0");
  EXPECT_EQ(settings.Stored("NumberOfThreads"), "15");
  EXPECT_TRUE(messages->asked().empty());
}

TEST(IndexerOptionsDialog, TimeCriticalAnsweredNoKeepsTheDialogOpen) {
  testing::FakeSettings settings;
  settings.SetValue("IndexerScanPriority", "1");
  testing::ScopedRecordingMessages messages;
  IndexerOptionsDialog dialog(settings);
  dialog.show();
  Find<QComboBox>(&dialog, "priority")->setCurrentIndex(6);
  messages->set_answer(false);
  Click(&dialog, "ok");
  EXPECT_EQ(messages->asked(), std::vector<std::string>{"Priority was set to time critical.\nAre "
                                                        "you sure you want keep this setting?"});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(settings.Stored("IndexerScanPriority"), "1");
  EXPECT_FALSE(settings.Has("Levels"));

  messages->set_answer(true);
  Click(&dialog, "ok");
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(settings.Stored("IndexerScanPriority"), "6");
}

}  // namespace
}  // namespace tellwen::admin
