// "Edit Category Item" (titled "Edit category"): a category's name and
// search string. OK checks them in their order (admin/core/categories.h);
// a refusal is shown, the focus goes back to the box concerned and the
// dialog stays open. On success row() holds the trimmed texts.
//
// Thread safety: the window thread only.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <string>
#include <vector>

#include "admin/core/categories.h"

namespace tellwen::admin {

class CategoryItemDialog : public QDialog {
  Q_OBJECT

 public:
  CategoryItemDialog(const CategoryRow& row, std::vector<std::string> names_to_avoid,
                     QWidget* parent = nullptr);

  void accept() override;
  const CategoryRow& row() const { return row_; }

 private:
  std::vector<std::string> names_to_avoid_;
  QLineEdit* name_;
  QPlainTextEdit* search_;
  CategoryRow row_;
};

}  // namespace tellwen::admin
