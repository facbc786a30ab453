// Renders every window, page and dialog of KIVAdmin into PNG files, for a
// person to look at: admin_screenshots DIR. Runs on the offscreen platform
// with a settings hive of its own (every value at its default, a few lists
// filled in) and canned quick links; it touches no store of the machine.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "admin/ui/admin_services.h"
#include "admin/ui/categories_dialog.h"
#include "admin/ui/category_item_dialog.h"
#include "admin/ui/indexer_options_dialog.h"
#include "admin/ui/main_dialog.h"
#include "admin/ui/network_search_dialog.h"
#include "admin/ui/quick_links_dialog.h"
#include "admin/ui/report_dialog.h"
#include "common/settings.h"
#include "common/user_messages.h"
#include "tests/admin/fake_picker.h"
#include "tests/support/fake_sql.h"
#include "tests/support/screenshot.h"
#include "tests/support/temp_dir.h"

namespace {

bool Save(QWidget* widget, const QString& folder, const char* name) {
  const bool saved = tellwen::testing::SaveScreenshot(widget, folder, name);
  widget->hide();
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  QApplication app(argc, argv);
  const QString folder = tellwen::testing::ScreenshotFolder(argc, argv, "admin_screenshots");
  if (folder.isEmpty()) return 2;
  tellwen::testing::TempDir hive;
  tellwen::testing::ScopedEnv registry("TELLWEN_REGISTRY", hive.path() + "/registry");
  tellwen::RegistrySettings settings;
  settings.SetValue("KIVInstallPathExes", "/usr/lib/tellwen/");
  settings.SetValue("IndexerIncludeList", "0|\\\\FILESERVER|192.168.2.1 - 192.168.2.254");
  settings.SetValue("IndexerExcludeList", "0|\\\\PRINTER");
  settings.SetValue("GenerateReportFile", "1");
  settings.SetValue("SplitBetweenShareAndDirectory", "1");

  tellwen::testing::FakeSql sql;
  sql.set_rule([](const std::string&, int, tellwen::SqlResult* result) {
    result->rows = {
        {"4", "browse", "Browse the network: computers, shares and folders",
         "/scripts/KIVQuery.so?Command?stats=browse"},
        {"2", "faq", "How to search: frequently asked questions",
         "/scripts/KIVQuery.so?Command?page=faq"},
        {"1", "help", "How to search: frequently asked questions",
         "/scripts/KIVQuery.so?Command?page=faq"},
    };
  });
  tellwen::testing::FakePicker picker;
  tellwen::admin::AdminServices services{settings, sql, picker};

  // The connection test holds until the page has been rendered mid-test.
  std::atomic<bool> release{false};
  services.open_connection = [&release](const std::string&, tellwen::SqlTimeouts, std::string*,
                                        std::string*) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return true;
  };
  tellwen::SetUserMessages(std::make_shared<tellwen::StderrMessages>());

  bool ok = true;
  tellwen::admin::MainDialog main(services);
  const char* pages[] = {"main-database", "main-files",     "main-misc", "main-security",
                         "main-web",      "main-scheduler", "main-about"};
  for (int i = 0; i < main.sheet()->count(); ++i) {
    main.sheet()->setCurrentIndex(i);
    ok = Save(&main, folder, pages[i]) && ok;
  }
  main.sheet()->setCurrentIndex(0);
  main.findChild<QAbstractButton*>("test")->click();
  ok = Save(&main, folder, "main-database-testing") && ok;
  release = true;

  tellwen::admin::NetworkSearchDialog network(settings);
  ok = Save(&network, folder, "network-search") && ok;
  tellwen::admin::IndexerOptionsDialog options(settings);
  ok = Save(&options, folder, "indexer-options") && ok;
  tellwen::admin::ReportDialog report(settings, picker);
  ok = Save(&report, folder, "configure-report") && ok;
  tellwen::admin::CategoriesDialog categories(settings);
  ok = Save(&categories, folder, "configure-categories") && ok;
  tellwen::admin::CategoryItemDialog item({"Images", "*.bmp; *.gif; *.jpg"}, {});
  ok = Save(&item, folder, "edit-category") && ok;
  tellwen::admin::QuickLinksDialog links(sql);
  ok = Save(&links, folder, "quicklinks-editor") && ok;
  return ok ? 0 : 1;
}
