#include "admin/ui/widgets.h"

#include <QPalette>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>

namespace tellwen::admin {

QDialogButtonBox* OkCancelButtons(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

QLineEdit* DigitsEdit(const char* name) {
  auto* edit = Named<QLineEdit>(name);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
  return edit;
}

QLineEdit* AddressEdit(const char* name) {
  auto* edit = Named<QLineEdit>(name);
  const QString octet = "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])";
  edit->setValidator(new QRegularExpressionValidator(
      QRegularExpression(octet + "(\\." + octet + "){0,3}\\.?"), edit));
  edit->setPlaceholderText("0.0.0.0");
  return edit;
}

void SetLines(QListWidget* list, const std::vector<std::string>& lines) {
  list->clear();
  for (const std::string& line : lines) list->addItem(Q(line));
}

std::vector<std::string> Lines(const QListWidget* list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list->count(); ++i) lines.push_back(S(list->item(i)->text()));
  return lines;
}

std::string Address(const QLineEdit* edit) {
  QStringList parts = edit->text().split('.');
  while (parts.size() < 4) parts << "";
  std::string address;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) address += '.';
    address += parts[i].isEmpty() ? "0" : S(parts[i]);
  }
  return address;
}

QLabel* StatusLabel(const char* name) {
  auto* label = Named<QLabel>(name);
  label->setAlignment(Qt::AlignCenter);
  label->setMinimumHeight(28);
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  return label;
}

void Tint(QWidget* label, bool green) {
  QColor face = label->palette().color(QPalette::Button);
  if (green) {
    face.setGreen(std::min(face.green() + 30, 255));
  } else {
    face.setRed(std::min(face.red() + 30, 255));
  }
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, face);
  label->setPalette(palette);
  label->setAutoFillBackground(true);
}

}  // namespace tellwen::admin
