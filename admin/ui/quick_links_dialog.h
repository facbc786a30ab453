// "QuickLinks editor": an editable table over quick_links (id hidden and
// locked; word, display and link editable), sorted as the table is read.
// A row is committed when the current row moves to another row, before a
// row is added, and when the dialog closes (every row still holding edits);
// each commit is one statement. A database error is shown and the row stays
// as typed (committed again at the next chance); "O&K" then keeps the
// dialog open, so nothing typed is lost; closing the window otherwise
// (Escape, the title bar) closes it anyway. "Add" appends an empty row,
// "Delete" deletes the selected one.
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
  void reject() override;

 private:
  // Commits the open editor's text and every row holding edits; false when
  // one of them failed (each failure shown).
  bool CommitAll();
  // Commits row; false (after showing the error) when it failed.
  bool Commit(int row);
  void Add();
  void Delete();

  QuickLinksModel* model_;
  QuickLinksView* table_;
};

}  // namespace tellwen::admin
