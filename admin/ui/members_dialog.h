// "Edit Members": the members' address list (WebMembersList), the address
// control, "Add IP to members list >>" and "Remove selected IPs". OK writes
// the list; Cancel writes nothing.
//
// Thread safety: the window thread only.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>

#include "common/settings.h"

namespace tellwen::admin {

class MembersDialog : public QDialog {
  Q_OBJECT

 public:
  MembersDialog(Settings& settings, QWidget* parent = nullptr);

  void accept() override;

 private:
  void Add();
  void RemoveSelected();

  Settings& settings_;
  QListWidget* list_;
  QLineEdit* address_;
};

}  // namespace tellwen::admin
