// The About page (CPageAbout): the program's icon, "KIVAdmin v1.0" and two
// links, to the product's home page and to its support address. A link
// shows the pointing hand and opens with the desktop's opener, on a thread
// of its own (an opener may wait for the browser it starts); when that
// fails the reason is shown ("Can't open link:" ...).
//
// Thread safety: the window thread only; the opener threads touch no widget
// and are joined before the page goes.
#pragma once

#include <QLabel>
#include <thread>
#include <vector>

#include "admin/ui/admin_services.h"
#include "admin/ui/settings_page.h"

namespace tellwen::admin {

inline constexpr const char* kHomePageLink = "http://www.tellwen.example/";
inline constexpr const char* kSupportLink = "mailto:support@tellwen.example";

class AboutPage : public SettingsPage {
  Q_OBJECT

 public:
  AboutPage(AdminServices& services, QWidget* parent = nullptr);
  ~AboutPage() override;

  // Opens target in the background; a failure's text is shown when the
  // opener has given up.
  void OpenTarget(const std::string& target);

 signals:
  // The opener of a link has ended (ok or not).
  void linkOpened(bool ok);

 protected:
  void Load() override {}
  void Store() override {}

 private:
  AdminServices& services_;
  std::vector<std::thread> openers_;
};

}  // namespace tellwen::admin
