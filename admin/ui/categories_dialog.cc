#include "admin/ui/categories_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "admin/ui/category_item_dialog.h"
#include "admin/ui/widgets.h"
#include "base/user_messages.h"

namespace tellwen::admin {

CategoriesDialog::CategoriesDialog(Settings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), list_(Named<QTableWidget>("categories", 0, 2)) {
  setWindowTitle("Configure categories");
  setObjectName("categoriesDialog");
  list_->setHorizontalHeaderLabels({"Name", "Search string"});
  list_->verticalHeader()->hide();
  list_->setShowGrid(true);
  list_->setWordWrap(false);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 8);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->horizontalHeader()->setStretchLastSection(true);

  auto* reset = Named<QPushButton>("reset", "Reset");
  auto* reload = Named<QPushButton>("reload", "Reload");
  auto* add = Named<QPushButton>("add", "Add");
  auto* edit = Named<QPushButton>("edit", "Edit");
  auto* remove = Named<QPushButton>("delete", "Delete");
  auto* up = Named<QToolButton>("moveUp");
  auto* down = Named<QToolButton>("moveDown");
  up->setArrowType(Qt::UpArrow);
  down->setArrowType(Qt::DownArrow);
  auto* side = new QVBoxLayout;
  for (QPushButton* button : {reset, reload, add, edit, remove}) side->addWidget(button);
  auto* arrows = new QHBoxLayout;
  arrows->addWidget(up);
  arrows->addWidget(down);
  arrows->addStretch(1);
  side->addLayout(arrows);
  side->addStretch(1);

  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* columns = new QHBoxLayout;
  columns->addWidget(list_, 1);
  columns->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addWidget(buttons);
  resize(640, 380);

  Show(LoadCategories(settings_));
  connect(reset, &QPushButton::clicked, this, [this] { Show(DefaultCategories(settings_)); });
  connect(reload, &QPushButton::clicked, this, [this] { Show(LoadCategories(settings_)); });
  connect(add, &QPushButton::clicked, this, &CategoriesDialog::Add);
  connect(edit, &QPushButton::clicked, this, &CategoriesDialog::Edit);
  connect(list_, &QTableWidget::cellDoubleClicked, this, &CategoriesDialog::Edit);
  connect(remove, &QPushButton::clicked, this, &CategoriesDialog::Delete);
  connect(up, &QToolButton::clicked, this, [this] { Move(-1); });
  connect(down, &QToolButton::clicked, this, [this] { Move(1); });
}

void CategoriesDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  list_->setColumnWidth(0, list_->viewport()->width() / 3);
}

std::vector<CategoryRow> CategoriesDialog::Rows() const {
  std::vector<CategoryRow> rows;
  for (int i = 0; i < list_->rowCount(); ++i) {
    rows.push_back({S(list_->item(i, 0)->text()), S(list_->item(i, 1)->text())});
  }
  return rows;
}

void CategoriesDialog::Show(const std::vector<CategoryRow>& rows) {
  list_->setRowCount(0);
  list_->setRowCount(static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) SetRow(static_cast<int>(i), rows[i]);
}

void CategoriesDialog::SetRow(int index, const CategoryRow& row) {
  list_->setItem(index, 0, new QTableWidgetItem(Q(row.name)));
  list_->setItem(index, 1, new QTableWidgetItem(Q(row.search)));
}

std::vector<std::string> CategoriesDialog::NamesBut(int except) const {
  std::vector<std::string> names;
  for (int i = 0; i < list_->rowCount(); ++i) {
    if (i != except) names.push_back(S(list_->item(i, 0)->text()));
  }
  return names;
}

int CategoriesDialog::Selected() const {
  const QList<QTableWidgetSelectionRange> ranges = list_->selectedRanges();
  return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

int CategoriesDialog::SelectedOrSay() const {
  const int index = Selected();
  if (index < 0) ShowMessage(kNoSelectedItems, MessageIcon::kInformation);
  return index;
}

void CategoriesDialog::Add() {
  CategoryItemDialog item({}, NamesBut(-1), this);
  if (item.exec() != QDialog::Accepted) return;
  const int index = list_->rowCount();
  list_->insertRow(index);
  SetRow(index, item.row());
}

void CategoriesDialog::Edit() {
  const int index = SelectedOrSay();
  if (index < 0) return;
  CategoryItemDialog item(Rows()[index], NamesBut(index), this);
  if (item.exec() != QDialog::Accepted) return;
  SetRow(index, item.row());
}

void CategoriesDialog::Delete() {
  const int index = SelectedOrSay();
  if (index < 0) return;
  list_->removeRow(index);
}

void CategoriesDialog::Move(int by) {
  const int index = Selected();
  const int other = index + by;
  if (index < 0 || other < 0 || other >= list_->rowCount()) return;
  const std::vector<CategoryRow> rows = Rows();
  SetRow(index, rows[other]);
  SetRow(other, rows[index]);
  list_->selectRow(other);
}

void CategoriesDialog::accept() {
  StoreCategories(settings_, Rows());
  QDialog::accept();
}

}  // namespace tellwen::admin
