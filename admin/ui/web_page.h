// The Web page (CPageWeb): the site's status with START/STOP, the visitor
// counter with "&Set", "Re&fresh" and "Rese&t", "Enable web proxy (members
// only)", the administrator's contact, and the buttons that open the
// quick-link and category editors and "Edit First Page Info".
//
// START/STOP and the counter buttons write at once (the running site reads
// them on every request); the proxy flag and the contact wait for Apply.
//
// Thread safety: the window thread only.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "admin/ui/admin_services.h"
#include "admin/ui/settings_page.h"

namespace tellwen::admin {

class WebPage : public SettingsPage {
  Q_OBJECT

 public:
  WebPage(AdminServices& services, QWidget* parent = nullptr);

 protected:
  void Load() override;
  void Store() override;

 private:
  void ShowStatus();
  void StartStop();
  void SetCounter();
  void RefreshCounter();
  void ResetCounter();

  AdminServices& services_;
  QLabel* status_;
  QPushButton* start_stop_;
  QLineEdit* counter_;
  QCheckBox* proxy_;
  QLineEdit* contact_;
};

}  // namespace tellwen::admin
