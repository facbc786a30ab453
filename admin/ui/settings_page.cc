#include "admin/ui/settings_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace tellwen::admin {

void SettingsPage::LoadOnce() {
  if (!loaded_) Reload();
}

void SettingsPage::Reload() {
  loading_ = true;
  Load();
  loading_ = false;
  loaded_ = true;
}

void SettingsPage::Apply() {
  if (loaded_) Store();
}

void SettingsPage::MarkChanged() {
  if (!loading_) emit changed();
}

void SettingsPage::Watch(QLineEdit* edit) {
  connect(edit, &QLineEdit::textChanged, this, &SettingsPage::MarkChanged);
}

void SettingsPage::Watch(QCheckBox* box) {
  connect(box, &QCheckBox::toggled, this, &SettingsPage::MarkChanged);
}

void SettingsPage::Watch(QComboBox* box) {
  connect(box, &QComboBox::currentIndexChanged, this, &SettingsPage::MarkChanged);
  if (box->isEditable())
    connect(box, &QComboBox::editTextChanged, this, &SettingsPage::MarkChanged);
}

}  // namespace tellwen::admin
