// The About page (CPageAbout): the program's icon, "KIVAdmin v1.0" and two
// links, to the product's home page and to its support address. A link
// shows the pointing hand and opens with the desktop's opener; when that
// fails the reason is shown ("Can't open link:" ...).
//
// Thread safety: the window thread only.
#pragma once

#include <QLabel>

#include "admin/ui/admin_services.h"
#include "admin/ui/settings_page.h"

namespace tellwen::admin {

inline constexpr const char* kHomePageLink = "http://www.tellwen.example/";
inline constexpr const char* kSupportLink = "mailto:support@tellwen.example";

class AboutPage : public SettingsPage {
  Q_OBJECT

 public:
  AboutPage(AdminServices& services, QWidget* parent = nullptr);

  // Opens target; shows the failure's text.
  void OpenTarget(const std::string& target);

 protected:
  void Load() override {}
  void Store() override {}

 private:
  AdminServices& services_;
};

}  // namespace tellwen::admin
