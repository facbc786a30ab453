#include "platform/desktop/box_layout.h"

namespace tellwen::desktop {
namespace {

void Fill(QBoxLayout* box, std::initializer_list<QWidget*> items) {
  for (QWidget* item : items) {
    if (item == nullptr) {
      box->addStretch(1);
    } else {
      box->addWidget(item);
    }
  }
}

}  // namespace

QHBoxLayout* RowOf(std::initializer_list<QWidget*> items) {
  auto* row = new QHBoxLayout;
  Fill(row, items);
  return row;
}

QVBoxLayout* ColumnOf(std::initializer_list<QWidget*> items) {
  auto* column = new QVBoxLayout;
  Fill(column, items);
  return column;
}

}  // namespace tellwen::desktop
