#include "admin/ui/report_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>

#include "tests/admin/fake_picker.h"
#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/support/fake_settings.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

QStringList Preview(QTableWidget* preview) {
  QStringList columns;
  for (int i = 0; i < preview->columnCount(); ++i) columns << preview->item(0, i)->text();
  return columns;
}

TEST(ReportDialog, PreviewFollowsTheBoxesAndOkStoresTheSevenValues) {
  testing::FakeSettings settings;
  settings.SetValue("GenerateReportFile", "0");
  settings.SetValue("OutputFile", "/srv/kiv report.txt");
  testing::FakePicker picker;
  testing::ScopedRecordingMessages messages;
  ReportDialog dialog(settings, picker);
  QTableWidget* preview = Find<QTableWidget>(&dialog, "preview");
  QAbstractItemModelTester tester(preview->model());
  EXPECT_FALSE(Find<QWidget>(&dialog, "unixStyle")->isEnabled());
  EXPECT_EQ(Preview(preview), QStringList{"\\\\COMP\\share\\Directory\\file.txt"});

  Find<QCheckBox>(&dialog, "generate")->setChecked(true);
  EXPECT_TRUE(Find<QWidget>(&dialog, "unixStyle")->isEnabled());
  Find<QCheckBox>(&dialog, "unixStyle")->setChecked(true);
  Find<QCheckBox>(&dialog, "splitFile")->setChecked(true);
  EXPECT_EQ(Preview(preview), (QStringList{"//COMP/share/Directory/", "file.txt"}));

  picker.answer = "/srv/out.txt";
  Click(&dialog, "outputFileBrowse");
  ASSERT_EQ(picker.asked.size(), 1u);
  EXPECT_EQ(picker.asked[0].title, "Enter name of the output file");
  EXPECT_EQ(picker.asked[0].filter, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
  Click(&dialog, "ok");
  EXPECT_EQ(settings.Stored("OutputFile"), "/srv/out.txt");
  EXPECT_EQ(settings.Stored("GenerateReportFile"), "1");
  EXPECT_EQ(settings.Stored("UnixStyleForFileNames"), "1");
  EXPECT_EQ(settings.Stored("SplitBetweenDirectoryAndFile"), "1");
  EXPECT_EQ(settings.Stored("SplitBetweenShareAndDirectory"), "0");
}

TEST(ReportDialog, EmptyOutputNameIsRefusedAndTheDialogStays) {
  testing::FakeSettings settings;
  settings.SetValue("GenerateReportFile", "1");
  testing::FakePicker picker;
  testing::ScopedRecordingMessages messages;
  ReportDialog dialog(settings, picker);
  dialog.show();
  Find<QLineEdit>(&dialog, "outputFile")->setText("");
  Click(&dialog, "ok");
  EXPECT_EQ(messages->shown(), std::vector<std::string>{"Incorect output file name"});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(settings.Has("OutputFile"));
  Click(&dialog, "cancel");
  EXPECT_FALSE(settings.Has("UnixStyleForFileNames"));
}

}  // namespace
}  // namespace tellwen::admin
