#include "admin/ui/security_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "admin/core/access_lists.h"
#include "admin/ui/members_dialog.h"
#include "admin/ui/widgets.h"
#include "base/user_messages.h"

namespace tellwen::admin {

SecurityPage::SecurityPage(AdminServices& services, QWidget* parent)
    : SettingsPage(parent),
      services_(services),
      allow_all_(Named<QCheckBox>("allowAllIps", "Allow all IPs")),
      mode_text_(Named<QLabel>("modeText")),
      restricted_label_(Named<QLabel>("restrictedLabel", "Restricted IPs")),
      restricted_(Named<QListWidget>("restrictedList")),
      granted_label_(Named<QLabel>("grantedLabel", "Granted IPs")),
      granted_(Named<QListWidget>("grantedList")),
      address_(AddressEdit("address")),
      all_are_members_(Named<QCheckBox>("allAreMembers", "All users has members privileges")) {
  mode_text_->setWordWrap(true);
  for (QListWidget* list : {restricted_, granted_}) {
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  }
  auto* add = Named<QPushButton>("addIp", "A&dd IP to list >>");
  auto* remove = Named<QPushButton>("removeIps", "Remo&ve selected IPs");
  auto* members = Named<QPushButton>("editMembers", "Edit members");

  auto* left = new QVBoxLayout;
  left->addWidget(allow_all_);
  left->addWidget(mode_text_);
  left->addSpacing(12);
  left->addWidget(new QLabel("IP address:"));
  left->addWidget(address_);
  left->addWidget(add);
  left->addWidget(remove);
  left->addStretch(1);
  left->addWidget(all_are_members_);
  left->addWidget(members);

  auto* right = new QVBoxLayout;
  right->addWidget(restricted_label_);
  right->addWidget(restricted_, 1);
  right->addWidget(granted_label_);
  right->addWidget(granted_, 1);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(right, 1);

  Watch(all_are_members_);
  connect(allow_all_, &QCheckBox::toggled, this, [this] {
    ShowMode();
    MarkChanged();
  });
  connect(add, &QPushButton::clicked, this, &SecurityPage::AddAddress);
  connect(remove, &QPushButton::clicked, this, &SecurityPage::RemoveSelected);
  connect(members, &QPushButton::clicked, this, [this] {
    MembersDialog dialog(services_.settings, this);
    dialog.exec();
  });
  ShowMode();
}

void SecurityPage::Load() {
  const SecurityValues values = LoadSecurityValues(services_.settings);
  SetLines(restricted_, values.restricted);
  SetLines(granted_, values.granted);
  allow_all_->setChecked(values.allow_all);
  all_are_members_->setChecked(values.all_are_members);
  ShowMode();
}

void SecurityPage::Store() {
  SecurityValues values;
  values.allow_all = allow_all_->isChecked();
  values.all_are_members = all_are_members_->isChecked();
  values.restricted = Lines(restricted_);
  values.granted = Lines(granted_);
  StoreSecurityValues(services_.settings, values);
}

void SecurityPage::ShowMode() {
  const bool allow_all = allow_all_->isChecked();
  mode_text_->setText(allow_all ? kAllowAllText : kGrantedOnlyText);
  for (QWidget* widget :
       {static_cast<QWidget*>(restricted_label_), static_cast<QWidget*>(restricted_)}) {
    widget->setEnabled(allow_all);
    widget->setVisible(allow_all);
  }
  for (QWidget* widget : {static_cast<QWidget*>(granted_label_), static_cast<QWidget*>(granted_)}) {
    widget->setEnabled(!allow_all);
    widget->setVisible(!allow_all);
  }
}

QListWidget* SecurityPage::ActiveList() const {
  return allow_all_->isChecked() ? restricted_ : granted_;
}

void SecurityPage::AddAddress() {
  const std::string address = Address(address_);
  const AddressList kind =
      allow_all_->isChecked() ? AddressList::kRestricted : AddressList::kGranted;
  bool add = false;
  if (auto refusal = CheckNewAddress(address, kind, Lines(ActiveList()), &add)) {
    ShowMessage(*refusal, MessageIcon::kInformation);
    return;
  }
  if (!add) return;
  ActiveList()->addItem(Q(address));
  address_->clear();
  MarkChanged();
}

void SecurityPage::RemoveSelected() {
  const QList<QListWidgetItem*> selected = ActiveList()->selectedItems();
  if (selected.isEmpty()) return;
  qDeleteAll(selected);
  MarkChanged();
}

}  // namespace tellwen::admin
