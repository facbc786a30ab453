#include "setup/ui/create_database_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tellwen::setup {

CreateDatabaseDialog::CreateDatabaseDialog(const DatabaseOfferTexts& texts, QWidget* parent)
    : QDialog(parent) {
  setObjectName("createDatabaseDialog");
  setWindowTitle(kCreateDatabaseTitle);
  auto* layout = new QVBoxLayout(this);
  for (const auto& [name, text] :
       {std::pair{"upperText", &texts.upper}, {"lowerText", &texts.lower}}) {
    auto* label = new QLabel(QString::fromStdString(*text), this);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
  }
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* yes = buttons->addButton("Yes", QDialogButtonBox::YesRole);
  QPushButton* no = buttons->addButton("No", QDialogButtonBox::NoRole);
  yes->setObjectName("yes");
  no->setObjectName("no");
  no->setDefault(true);
  connect(yes, &QPushButton::clicked, this, &QDialog::accept);
  connect(no, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);
  setMinimumWidth(480);
}

bool AskCreateDatabase(const DatabaseOfferTexts& texts, QWidget* parent) {
  CreateDatabaseDialog dialog(texts, parent);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace tellwen::setup
