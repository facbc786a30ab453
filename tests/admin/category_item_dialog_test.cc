#include "admin/ui/category_item_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>

#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

TEST(CategoryItemDialog, RefusalKeepsTheDialogOpenWithTheFocusOnTheBox) {
  testing::ScopedRecordingMessages messages;
  CategoryItemDialog dialog({"Images", "*.bmp"}, {"Audio"});
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  EXPECT_EQ(dialog.windowTitle(), "Edit category");
  EXPECT_EQ(Find<QLineEdit>(&dialog, "name")->text(), "Images");

  Find<QPlainTextEdit>(&dialog, "search")->setPlainText("*.c%");
  Click(&dialog, "ok");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(messages->shown(),
            std::vector<std::string>{"Search string contains illegal characters."});
  EXPECT_TRUE(Find<QPlainTextEdit>(&dialog, "search")->hasFocus());

  Find<QLineEdit>(&dialog, "name")->setText("Audio/Video");
  Find<QPlainTextEdit>(&dialog, "search")->setPlainText("*.avi");
  Click(&dialog, "ok");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(Find<QLineEdit>(&dialog, "name")->hasFocus());

  Find<QLineEdit>(&dialog, "name")->setText(" Images ");
  Click(&dialog, "ok");
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.row(), (CategoryRow{"Images", "*.avi"}));
}

}  // namespace
}  // namespace tellwen::admin
