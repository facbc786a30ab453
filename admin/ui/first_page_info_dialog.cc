#include "admin/ui/first_page_info_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "admin/core/web_values.h"
#include "admin/ui/widgets.h"

namespace tellwen::admin {

FirstPageInfoDialog::FirstPageInfoDialog(Settings& settings, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      message_(Named<QPlainTextEdit>("message")),
      severity_(Named<QComboBox>("severity")) {
  setWindowTitle("Edit First Page Info");
  setObjectName("firstPageInfoDialog");
  for (const char* severity : kSeverities) severity_->addItem(severity);
  auto* erase = Named<QPushButton>("eraseMessage", "Erase message");
  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* row = new QHBoxLayout;
  row->addWidget(severity_);
  row->addStretch(1);
  row->addWidget(erase);
  auto* form = new QFormLayout;
  form->addRow("Message:", message_);
  form->addRow("Severity:", row);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form, 1);
  layout->addWidget(buttons);

  message_->setPlainText(Q(settings_.GetValue("FirstPageInfo")));
  severity_->setCurrentIndex(SeverityIndex(settings_.GetValue("FirstPageInfoSeverity")));
  connect(erase, &QPushButton::clicked, this, &FirstPageInfoDialog::Erase);
  resize(440, 240);
}

void FirstPageInfoDialog::accept() {
  settings_.SetValue("FirstPageInfo", S(message_->toPlainText()));
  settings_.SetValue("FirstPageInfoSeverity", S(severity_->currentText()));
  QDialog::accept();
}

void FirstPageInfoDialog::Erase() {
  message_->setPlainText(kNoFirstPageInfo);
  severity_->setCurrentIndex(SeverityIndex("low"));
  message_->setFocus();
}

}  // namespace tellwen::admin
