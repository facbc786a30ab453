// Renders every window, page and dialog of KIVAdmin into PNG files, for a
// person to look at: admin_screenshots DIR. Runs on the offscreen platform
// with a settings hive of its own (every value at its default, a few lists
// filled in) and canned quick links; it touches no store of the machine.
#include <sys/stat.h>

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
#include "admin/ui/first_page_info_dialog.h"
#include "admin/ui/indexer_options_dialog.h"
#include "admin/ui/main_dialog.h"
#include "admin/ui/members_dialog.h"
#include "admin/ui/network_search_dialog.h"
#include "admin/ui/quick_links_dialog.h"
#include "admin/ui/report_dialog.h"
#include "admin/ui/web_page.h"
#include "admin/ui/work_item_dialog.h"
#include "base/user_messages.h"
#include "common/settings.h"
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
  const tellwen::testing::ScreenshotApp app(argc, argv, "admin_screenshots");
  const QString& folder = app.folder();
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
  services.autostart_folder = hive.path();
  services.service_status = [] {
    return tellwen::admin::ViewServiceStatus(tellwen::admin::ServiceQuery::kOk,
                                             tellwen::admin::ServiceState::kStopped);
  };
  settings.SetValue("WebBanList", "0|10.0.0.5|192.168.1.20");
  settings.SetValue("WebGrantList", "0|192.168.1.0");
  settings.SetValue("WebMembersList", "0|192.168.1.7|192.168.1.8");
  settings.SetValue("WebStatus", "yes");
  settings.SetValue("WebCounter", "1234");
  settings.SetValue("FirstPageInfo", "The catalog is updated every night at 2:00.");
  settings.SetValue("LastSuccessfulScanTime", "2026-12-07 02:00:14");

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
  tellwen::admin::MembersDialog members(settings);
  ok = Save(&members, folder, "edit-members") && ok;
  tellwen::admin::FirstPageInfoDialog first_page(settings);
  ok = Save(&first_page, folder, "edit-first-page-info") && ok;

  // The work item's sheet over a crontab of the hive's folder (a script
  // standing in for the crontab program), on each of its pages.
  const std::string crontab_script = hive.path() + "/crontab";
  if (FILE* script = std::fopen(crontab_script.c_str(), "w")) {
    std::fputs("#!/bin/sh\necho 'no crontab for you' >&2\nexit 1\n", script);
    std::fclose(script);
  }
  chmod(crontab_script.c_str(), 0755);
  tellwen::scheduler::CrontabProgram crontab{crontab_script, ""};
  tellwen::admin::WorkItem work_item;
  tellwen::admin::OpenWorkItem(crontab, tellwen::admin::kScanJob, "/usr/lib/tellwen/KIVIndexer",
                               &work_item);
  work_item.schedule.kind = tellwen::admin::ScheduleKind::kWeekly;
  work_item.schedule.weekdays = 0x3e;
  tellwen::admin::WorkItemDialog schedule(crontab, tellwen::admin::kScanJob, work_item);
  ok = Save(&schedule, folder, "work-item-schedule") && ok;
  schedule.findChild<QTabWidget*>("workItemSheet")->setCurrentIndex(0);
  ok = Save(&schedule, folder, "work-item-task") && ok;
  settings.SetValue("WebStatus", "no");
  tellwen::admin::WebPage stopped(services);
  stopped.LoadOnce();
  ok = Save(&stopped, folder, "web-stopped") && ok;
  return ok ? 0 : 1;
}
