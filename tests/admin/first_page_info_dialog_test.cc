// "Edit First Page Info": loads, erases, and writes only on OK.
#include "admin/ui/first_page_info_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>

#include "tests/admin/ui_test_support.h"
#include "tests/support/fake_settings.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

TEST(FirstPageInfoDialog, EraseSetsNoMessageAndOkWritesBoth) {
  testing::FakeSettings settings;
  settings.SetValue("FirstPageInfo", "Down at noon");
  settings.SetValue("FirstPageInfoSeverity", "medium");
  {
    FirstPageInfoDialog dialog(settings);
    EXPECT_EQ(dialog.windowTitle(), "Edit First Page Info");
    EXPECT_EQ(Find<QPlainTextEdit>(&dialog, "message")->toPlainText(), "Down at noon");
    EXPECT_EQ(Find<QComboBox>(&dialog, "severity")->currentText(), "medium");
    Click(&dialog, "eraseMessage");
    Click(&dialog, "cancel");
    EXPECT_EQ(settings.Stored("FirstPageInfo"), "Down at noon");
  }
  settings.SetValue("FirstPageInfoSeverity", "urgent");
  FirstPageInfoDialog dialog(settings);
  EXPECT_EQ(Find<QComboBox>(&dialog, "severity")->currentText(), "low");
  Find<QComboBox>(&dialog, "severity")->setCurrentIndex(0);
  Click(&dialog, "eraseMessage");
  EXPECT_EQ(Find<QPlainTextEdit>(&dialog, "message")->toPlainText(), "N/A");
  Click(&dialog, "ok");
  EXPECT_EQ(settings.Stored("FirstPageInfo"), "N/A");
  EXPECT_EQ(settings.Stored("FirstPageInfoSeverity"), "low");
}

}  // namespace
}  // namespace tellwen::admin
