#include "admin/ui/categories_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/support/fake_settings.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

class CategoriesDialogTest : public ::testing::Test {
 protected:
  CategoriesDialogTest() {
    settings_.SetValue("CategoriesEdit", "0|Images|Audio/*.mp3; *.wav|A/B/C|Video/*.avi");
    settings_.defaults["CategoriesEdit"] = "0|Html/*.htm; *.html";
    dialog_ = std::make_unique<CategoriesDialog>(settings_);
    list_ = Find<QTableWidget>(dialog_.get(), "categories");
    tester_.emplace(list_->model());
  }
  QStringList Names() {
    QStringList names;
    for (int i = 0; i < list_->rowCount(); ++i) names << list_->item(i, 0)->text();
    return names;
  }

  testing::FakeSettings settings_;
  testing::ScopedRecordingMessages messages_;
  std::unique_ptr<CategoriesDialog> dialog_;
  QTableWidget* list_ = nullptr;
  std::optional<QAbstractItemModelTester> tester_;
};

TEST_F(CategoriesDialogTest, DropsMalformedFieldsAndStoresTheListOnOk) {
  EXPECT_EQ(Names(), (QStringList{"Audio", "Video"}));
  EXPECT_EQ(list_->horizontalHeaderItem(0)->text(), "Name");
  EXPECT_EQ(list_->horizontalHeaderItem(1)->text(), "Search string");
  list_->selectRow(1);
  Click(dialog_.get(), "moveUp");
  EXPECT_EQ(Names(), (QStringList{"Video", "Audio"}));
  Click(dialog_.get(), "moveUp");  // at the top: nothing happens
  EXPECT_EQ(Names(), (QStringList{"Video", "Audio"}));
  Click(dialog_.get(), "ok");
  EXPECT_EQ(settings_.Stored("CategoriesEdit"), "0|Video/*.avi|Audio/*.mp3; *.wav");
}

TEST_F(CategoriesDialogTest, AddAndEditGoThroughTheItemEditor) {
  testing::WhenModalShows([](QDialog* item) {
    EXPECT_EQ(item->windowTitle(), "Edit category");
    Find<QLineEdit>(item, "name")->setText("  Music ");
    Find<QPlainTextEdit>(item, "search")->setPlainText("*.mp3;;*.ogg");
    Click(item, "ok");
  });
  Click(dialog_.get(), "add");
  EXPECT_EQ(Names(), (QStringList{"Audio", "Video", "Music"}));
  EXPECT_EQ(list_->item(2, 1)->text(), "*.mp3;;*.ogg");

  Click(dialog_.get(), "edit");
  EXPECT_EQ(messages_->shown(), std::vector<std::string>{"There are no selected items."});
  list_->selectRow(0);
  // Renaming to another category's name is refused; the editor stays open
  // until it is cancelled.
  testing::WhenModalShows([this](QDialog* item) {
    Find<QLineEdit>(item, "name")->setText("Video");
    Click(item, "ok");
    EXPECT_TRUE(item->isVisible());
    EXPECT_EQ(messages_->shown().back(), "A category with that name already exists.");
    Click(item, "cancel");
  });
  Click(dialog_.get(), "edit");
  EXPECT_EQ(Names(), (QStringList{"Audio", "Video", "Music"}));
  Click(dialog_.get(), "delete");
  EXPECT_EQ(Names(), (QStringList{"Video", "Music"}));
}

TEST_F(CategoriesDialogTest, ResetThenCancelStoresNothingResetThenOkStoresTheDefault) {
  Click(dialog_.get(), "reset");
  EXPECT_EQ(Names(), QStringList{"Html"});
  Click(dialog_.get(), "reload");
  EXPECT_EQ(Names(), (QStringList{"Audio", "Video"}));
  Click(dialog_.get(), "reset");
  Click(dialog_.get(), "cancel");
  EXPECT_EQ(settings_.Stored("CategoriesEdit"), "0|Images|Audio/*.mp3; *.wav|A/B/C|Video/*.avi");
  Click(dialog_.get(), "ok");
  EXPECT_EQ(settings_.Stored("CategoriesEdit"), "0|Html/*.htm; *.html");
}

}  // namespace
}  // namespace tellwen::admin
