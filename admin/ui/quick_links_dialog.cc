#include "admin/ui/quick_links_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

#include "admin/ui/widgets.h"
#include "base/user_messages.h"
#include "platform/desktop/box_layout.h"

namespace tellwen::admin {

void QuickLinksView::CommitOpenEditor() {
  if (QWidget* editor = indexWidget(currentIndex())) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

QuickLinksDialog::QuickLinksDialog(SqlSession& sql, QWidget* parent)
    : QDialog(parent),
      model_(new QuickLinksModel(sql, this)),
      table_(Named<QuickLinksView>("links")) {
  setWindowTitle("QuickLinks editor");
  setObjectName("quickLinksDialog");
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);

  auto* add = Named<QPushButton>("add", "Add");
  auto* remove = Named<QPushButton>("delete", "Delete");
  auto* ok = Named<QPushButton>("ok", "O&K");
  ok->setDefault(true);
  QHBoxLayout* buttons = desktop::RowOf({add, remove, nullptr, ok});
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);

  if (Status status = model_->Reload(); !status.ok()) {
    ShowMessage(status.message(), MessageIcon::kError);
  }
  // Widths in dialog units (a quarter of the font's average character).
  const int unit = table_->fontMetrics().averageCharWidth();
  table_->setColumnHidden(0, true);
  table_->setColumnWidth(1, 81 * unit / 4);
  table_->setColumnWidth(2, 220 * unit / 4);
  table_->setColumnWidth(3, 220 * unit / 4);
  table_->horizontalHeader()->setStretchLastSection(true);
  resize(table_->verticalHeader()->sizeHint().width() + (81 + 440) * unit / 4 + 60, 360);

  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex& previous) {
            if (previous.isValid() && previous.row() != current.row()) Commit(previous.row());
          });
  connect(add, &QPushButton::clicked, this, &QuickLinksDialog::Add);
  connect(remove, &QPushButton::clicked, this, &QuickLinksDialog::Delete);
  connect(ok, &QPushButton::clicked, this, &QuickLinksDialog::accept);
}

bool QuickLinksDialog::Commit(int row) {
  Status status = model_->CommitRow(row);
  if (status.ok()) return true;
  ShowMessage(status.message(), MessageIcon::kError);
  return false;
}

void QuickLinksDialog::Add() {
  const int row = model_->AddRow();
  const QModelIndex word = model_->index(row, 1);
  table_->setCurrentIndex(word);  // commits the row left
  table_->edit(word);
}

void QuickLinksDialog::Delete() {
  const QModelIndex current = table_->currentIndex();
  if (!current.isValid()) {
    ShowMessage("There are no selected items.", MessageIcon::kInformation);
    return;
  }
  if (Status status = model_->RemoveRow(current.row()); !status.ok()) {
    ShowMessage(status.message(), MessageIcon::kError);
  }
}

bool QuickLinksDialog::CommitAll() {
  table_->CommitOpenEditor();
  bool all = true;
  for (int row = 0; row < model_->rowCount(); ++row) {
    if (model_->RowChanged(row) && !Commit(row)) all = false;
  }
  return all;
}

void QuickLinksDialog::accept() {
  if (!CommitAll()) return;
  QDialog::accept();
}

void QuickLinksDialog::reject() {
  CommitAll();
  QDialog::reject();
}

}  // namespace tellwen::admin
