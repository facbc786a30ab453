#include "platform/desktop/about_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tellwen::desktop {

void ShowAboutBox(QWidget* parent, const QString& title, const QString& text, const QIcon& icon) {
  QDialog box(parent);
  box.setObjectName("aboutBox");
  box.setWindowTitle(title);
  auto* picture = new QLabel;
  picture->setPixmap(icon.pixmap(48, 48));
  auto* label = new QLabel(text);
  label->setObjectName("aboutText");
  auto* row = new QHBoxLayout;
  row->addWidget(picture);
  row->addSpacing(12);
  row->addWidget(label, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  auto* layout = new QVBoxLayout(&box);
  layout->addLayout(row);
  layout->addWidget(buttons);
  box.exec();
}

}  // namespace tellwen::desktop
