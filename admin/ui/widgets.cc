#include "admin/ui/widgets.h"

#include <QRegularExpressionValidator>

namespace tellwen::admin {

QLineEdit* DigitsEdit(const char* name) {
  auto* edit = Named<QLineEdit>(name);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
  return edit;
}

}  // namespace tellwen::admin
