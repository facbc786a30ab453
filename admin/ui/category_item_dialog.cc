#include "admin/ui/category_item_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "admin/ui/widgets.h"
#include "base/user_messages.h"

namespace tellwen::admin {

CategoryItemDialog::CategoryItemDialog(const CategoryRow& row,
                                       std::vector<std::string> names_to_avoid, QWidget* parent)
    : QDialog(parent),
      names_to_avoid_(std::move(names_to_avoid)),
      name_(Named<QLineEdit>("name")),
      search_(Named<QPlainTextEdit>("search")),
      row_(row) {
  setWindowTitle("Edit category");
  setObjectName("categoryItemDialog");
  name_->setText(Q(row.name));
  search_->setPlainText(Q(row.search));
  search_->setTabChangesFocus(true);

  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Name:"));
  layout->addWidget(name_);
  layout->addWidget(new QLabel("Search file name:"));
  layout->addWidget(search_, 1);
  layout->addWidget(buttons);
  resize(420, 260);
}

void CategoryItemDialog::accept() {
  CategoryRow checked;
  if (std::optional<CategoryRefusal> refusal =
          CheckCategory(S(name_->text()), S(search_->toPlainText()), names_to_avoid_, &checked)) {
    ShowMessage(refusal->text, MessageIcon::kInformation);
    if (refusal->field == CategoryField::kName) {
      name_->setFocus();
    } else {
      search_->setFocus();
    }
    return;
  }
  row_ = checked;
  QDialog::accept();
}

}  // namespace tellwen::admin
