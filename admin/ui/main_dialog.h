// MainDialog (CMain): the "Tellwen Administrator" window: the picture strip,
// the property sheet of seven pages in tab order (Database, Files, Misc,
// Security, Web, Scheduler, About) and "&Reset", "O&K", "&Cancel" and
// "&Apply".
//
// A page loads when it is first shown. A change on any page enables
// "&Apply"; "&Apply" writes every page that has been loaded (pages never
// opened are left alone) and disables itself; "O&K" applies and closes;
// "&Cancel" closes without writing; "&Reset" reloads every loaded page and
// disables "&Apply". The window's context menu holds "&About Tellwen
// Administrator...", which shows the About page.
//
// Thread safety: the window thread only.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QTabWidget>
#include <vector>

#include "admin/ui/admin_services.h"
#include "admin/ui/settings_page.h"

namespace tellwen::admin {

enum class PageIndex { kDatabase = 0, kFiles, kMisc, kSecurity, kWeb, kScheduler, kAbout };

class MainDialog : public QDialog {
  Q_OBJECT

 public:
  explicit MainDialog(AdminServices& services, QWidget* parent = nullptr);

  SettingsPage* page(PageIndex index) const { return pages_[static_cast<size_t>(index)]; }
  QTabWidget* sheet() const { return sheet_; }

  void Apply();
  void Reset();
  void ShowAbout();
  void accept() override;

 private:
  void AddPage(SettingsPage* page, const char* title, const char* name);

  QTabWidget* sheet_;
  std::vector<SettingsPage*> pages_;
  QPushButton* apply_;
};

}  // namespace tellwen::admin
