// The quick links editor against a real catalog made by the setup run of
// the update job (the embedded SQL server, table quick_links with its five
// rows).
#include "admin/ui/quick_links_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QTableView>

#include "tests/admin/ui_test_support.h"
#include "tests/sql/catalog_fixture.h"
#include "tests/support/fake_sql.h"

namespace tellwen::testing {
namespace {

using admin::QuickLinksDialog;

class QuickLinksDialogTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    MustUpdate(/*setup_mode=*/true);
  }
  SqlRows Table() {
    return Query("select id, word, display, link from quick_links order by word, display, link, id",
                 4);
  }
  DatabaseSql sql_;
};

TEST_F(QuickLinksDialogTest, EditsAddsAndDeletesRowsInTheTable) {
  QuickLinksDialog dialog(sql_);
  QAbstractItemModelTester tester(dialog.model());
  QTableView* view = Find<QTableView>(&dialog, "links");
  EXPECT_TRUE(view->isColumnHidden(0));
  EXPECT_FALSE(dialog.model()->flags(dialog.model()->index(0, 0)) & Qt::ItemIsEditable);
  ASSERT_EQ(dialog.model()->rowCount(), 5);
  EXPECT_EQ(dialog.model()->index(0, 1).data().toString(), "browse");  // ordered by word

  // An edit is written when the current row moves on.
  view->setCurrentIndex(dialog.model()->index(0, 2));
  dialog.model()->setData(dialog.model()->index(0, 2), "Browse it's all");
  EXPECT_EQ(Table()[0][2], "Browse the network: computers, shares and folders");
  view->setCurrentIndex(dialog.model()->index(1, 2));
  EXPECT_EQ(Table()[0][2], "Browse it's all");

  Click(&dialog, "add");
  const int added = dialog.model()->rowCount() - 1;
  dialog.model()->setData(dialog.model()->index(added, 1), "wiki");
  dialog.model()->setData(dialog.model()->index(added, 2), "The wiki");
  dialog.model()->setData(dialog.model()->index(added, 3), "http://wiki/");
  Click(&dialog, "ok");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  SqlRows rows = Table();
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[5][1], "wiki");
  EXPECT_EQ(rows[5][3], "http://wiki/");
  EXPECT_EQ(dialog.model()->index(added, 0).data().toString().toStdString(), rows[5][0]);

  view->setCurrentIndex(dialog.model()->index(added, 1));
  Click(&dialog, "delete");
  EXPECT_EQ(Table().size(), 5u);
  EXPECT_EQ(dialog.model()->rowCount(), 5);
  EXPECT_TRUE(messages_->shown().empty());
}

TEST_F(QuickLinksDialogTest, DatabaseErrorIsShownAndTheRowStaysAsTyped) {
  FakeSql sql;
  sql.set_rule([](const std::string& batch, int, SqlResult* result) {
    if (batch.rfind("select id", 0) == 0)
      result->rows = {{"1", "help", "Help", "/help"}, {"2", "faq", "FAQ", "/faq"}};
    if (batch.rfind("update", 0) == 0) FakeSql::Fail(result, "The table is locked.");
  });
  QuickLinksDialog dialog(sql);
  QAbstractItemModelTester tester(dialog.model());
  dialog.show();
  QTableView* view = Find<QTableView>(&dialog, "links");
  view->setCurrentIndex(dialog.model()->index(0, 1));
  dialog.model()->setData(dialog.model()->index(0, 1), "helpme");
  Click(&dialog, "ok");
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_EQ(messages_->shown().size(), 1u);
  EXPECT_NE(messages_->shown()[0].find("The table is locked."), std::string::npos);
  EXPECT_EQ(dialog.model()->index(0, 1).data().toString(), "helpme");
  EXPECT_TRUE(dialog.model()->RowChanged(0));
  EXPECT_EQ(dialog.model()->index(1, 1).data().toString(), "faq");
  // Moving to another row tries the failed row again; the edit is still there.
  view->setCurrentIndex(dialog.model()->index(1, 1));
  EXPECT_EQ(messages_->shown().size(), 2u);
  EXPECT_EQ(dialog.model()->index(0, 1).data().toString(), "helpme");
}

}  // namespace
}  // namespace tellwen::testing
