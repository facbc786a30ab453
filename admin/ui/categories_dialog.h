// "Configure categories": the list of file categories (CategoriesEdit) with
// "Reset" (the defaults table's list), "Reload" (the stored list), "Add",
// "Edit", "Delete" and the up-down buttons that move the selected row. Only
// OK writes, the whole list at once; Cancel writes nothing.
//
// Thread safety: the window thread only.
#pragma once

#include <QDialog>
#include <QTableWidget>
#include <functional>
#include <vector>

#include "admin/core/categories.h"
#include "common/settings.h"

namespace tellwen::admin {

class CategoriesDialog : public QDialog {
  Q_OBJECT

 public:
  CategoriesDialog(Settings& settings, QWidget* parent = nullptr);

  void accept() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::vector<CategoryRow> Rows() const;
  void Show(const std::vector<CategoryRow>& rows);
  void SetRow(int index, const CategoryRow& row);
  // Names of every row but `except` (-1: every row).
  std::vector<std::string> NamesBut(int except) const;
  int Selected() const;
  // The selected row, or -1 after telling the user that none is selected.
  int SelectedOrSay() const;
  void Add();
  void Edit();
  void Delete();
  void Move(int by);

  Settings& settings_;
  QTableWidget* list_;
};

}  // namespace tellwen::admin
