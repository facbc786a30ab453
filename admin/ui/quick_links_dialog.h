// "QuickLinks editor": an editable table over quick_links (id hidden and
// locked; word, display and link editable), sorted as the table is read.
// A row is committed when the current row moves to another row, before a
// row is added, and on "O&K"; each commit is one statement. A database
// error is shown, the row stays as typed (and is committed again at the
// next chance); on "O&K" the dialog then stays open, so nothing typed is
// lost. "Add" appends an empty row, "Delete" deletes the selected one.
//
// Thread safety: the window thread only.
#pragma once

#include <QDialog>
#include <QTableView>

#include "admin/ui/quick_links_model.h"
#include "common/sql_session.h"

namespace tellwen::admin {

// The grid: a table view that can hand an open editor's text to its row.
class QuickLinksView : public QTableView {
  Q_OBJECT

 public:
  using QTableView::QTableView;
  void CommitOpenEditor();
};

class QuickLinksDialog : public QDialog {
  Q_OBJECT

 public:
  QuickLinksDialog(SqlSession& sql, QWidget* parent = nullptr);

  QuickLinksModel* model() const { return model_; }
  void accept() override;

 private:
  // Commits row; false (after showing the error) when it failed.
  bool Commit(int row);
  void Add();
  void Delete();

  QuickLinksModel* model_;
  QuickLinksView* table_;
};

}  // namespace tellwen::admin
