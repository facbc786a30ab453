#include "admin/ui/members_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "admin/core/access_lists.h"
#include "admin/ui/security_page.h"
#include "admin/ui/widgets.h"
#include "base/user_messages.h"
#include "platform/desktop/box_layout.h"

namespace tellwen::admin {

MembersDialog::MembersDialog(Settings& settings, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      list_(Named<QListWidget>("membersList")),
      address_(AddressEdit("address")) {
  setWindowTitle("Edit Members");
  setObjectName("membersDialog");
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* add = Named<QPushButton>("addMember", "Add IP to members list >>");
  auto* remove = Named<QPushButton>("removeMembers", "Remove selected IPs");
  QDialogButtonBox* buttons = OkCancelButtons(this);

  QVBoxLayout* left =
      desktop::ColumnOf({new QLabel("IP address:"), address_, add, remove, nullptr});
  auto* right = new QVBoxLayout;
  right->addWidget(new QLabel("Members"));
  right->addWidget(list_, 1);
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addLayout(right, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(buttons);

  SetLines(list_, LoadMembers(settings_));
  connect(add, &QPushButton::clicked, this, &MembersDialog::Add);
  connect(remove, &QPushButton::clicked, this, &MembersDialog::RemoveSelected);
  resize(420, 300);
}

void MembersDialog::accept() {
  StoreMembers(settings_, Lines(list_));
  QDialog::accept();
}

void MembersDialog::Add() {
  const std::string address = Address(address_);
  bool add = false;
  if (auto refusal = CheckNewAddress(address, AddressList::kMembers, Lines(list_), &add)) {
    ShowMessage(*refusal, MessageIcon::kInformation);
    return;
  }
  if (!add) return;
  list_->addItem(Q(address));
  address_->clear();
}

void MembersDialog::RemoveSelected() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) {
    ShowMessage(kNoMembersSelected, MessageIcon::kInformation);
    return;
  }
  qDeleteAll(selected);
}

}  // namespace tellwen::admin
