// SetupWizard: "Tellwen Setup", the five pages in order (welcome, web
// application, database, tasks, finish), a bitmap strip on the left, "< &Back",
// "&Next >" (reading "Finish" on the last page), "Cancel" and "&About
// Setup...". Finish applies the finish options only when the last run of
// the tasks did not fail.
//
// Thread safety: the window thread only.
#pragma once

#include <QWizard>

#include "setup/ui/setup_services.h"

namespace tellwen::setup {

class FinishPage;
class TasksPage;

enum SetupPageId { kWelcomePage = 0, kWebPage, kDatabasePage, kTasksPage, kFinishPage };

class SetupWizard : public QWizard {
  Q_OBJECT

 public:
  explicit SetupWizard(SetupServices& services, QWidget* parent = nullptr);

  void accept() override;
  const WizardState& state() const { return state_; }
  TasksPage* tasks_page() const { return tasks_; }

 private:
  void ShowAbout();

  SetupServices& services_;
  WizardState state_;
  TasksPage* tasks_;
  FinishPage* finish_;
};

}  // namespace tellwen::setup
