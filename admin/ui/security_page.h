// The Security page (CPageSecurity): "Allow all IPs" and the two address
// lists it chooses between ("Restricted IPs" in allow-all mode, "Granted
// IPs" otherwise; the other one is hidden), the address control with its
// add and remove buttons, "All users has members privileges" and "Edit
// members". Both lists are written on Apply whatever the mode.
//
// Thread safety: the window thread only.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "admin/ui/admin_services.h"
#include "admin/ui/settings_page.h"

namespace tellwen::admin {

class SecurityPage : public SettingsPage {
  Q_OBJECT

 public:
  SecurityPage(AdminServices& services, QWidget* parent = nullptr);

 protected:
  void Load() override;
  void Store() override;

 private:
  void ShowMode();
  QListWidget* ActiveList() const;
  void AddAddress();
  void RemoveSelected();

  AdminServices& services_;
  QCheckBox* allow_all_;
  QLabel* mode_text_;
  QLabel* restricted_label_;
  QListWidget* restricted_;
  QLabel* granted_label_;
  QListWidget* granted_;
  QLineEdit* address_;
  QCheckBox* all_are_members_;
};

}  // namespace tellwen::admin
