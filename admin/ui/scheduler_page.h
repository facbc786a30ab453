// The Scheduler page (CPageScheduler): the scheduler service's status (the
// cron daemon) with its tint and hint, and for each indexer job ("Network
// scan", "Database update") its last run time, the setup button that opens
// the job's work item in WorkItemDialog, and "Run", which starts the
// indexer with the job's switch after a question, without waiting for it.
//
// The page stores nothing on Apply: work items are written by their own
// dialog's OK.
//
// Thread safety: the window thread only.
#pragma once

#include <QLabel>

#include "admin/core/work_items.h"
#include "admin/ui/admin_services.h"
#include "admin/ui/settings_page.h"

namespace tellwen::admin {

class SchedulerPage : public SettingsPage {
  Q_OBJECT

 public:
  SchedulerPage(AdminServices& services, QWidget* parent = nullptr);

 protected:
  void Load() override;
  void Store() override {}

 private:
  QWidget* JobGroup(const char* title, const char* name, const char* setup_text,
                    const WorkItemJob& job, QLabel** last_run);
  void Setup(const WorkItemJob& job);
  void Run(const WorkItemJob& job);

  AdminServices& services_;
  QLabel* service_status_;
  QWidget* hint_;
  QLabel* scan_last_run_ = nullptr;
  QLabel* update_last_run_ = nullptr;
};

}  // namespace tellwen::admin
