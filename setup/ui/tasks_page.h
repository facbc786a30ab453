// Page 3: the five tasks. Each time the page is entered going forward, the
// tasks run in order on the thread of a SetupRun, while a timer (100 ms)
// turns the running task's status mark and picks up each end: "done", or its
// error text, which marks the run as failed. The first time the page opens,
// the database is tested first and its creation offered when the test fails.
// Back and Next wait until the five have run.
//
// Thread safety: the window thread only; the run's thread touches no widget
// (the page reads its progress).
#pragma once

#include <QWizardPage>
#include <string>

#include "setup/core/setup_run.h"
#include "setup/ui/setup_services.h"

class QLineEdit;
class QTimer;

namespace tellwen::setup {

class TasksPage : public QWizardPage {
  Q_OBJECT

 public:
  TasksPage(SetupServices& services, WizardState& state, QWidget* parent = nullptr);
  ~TasksPage() override;

  void initializePage() override;
  bool isComplete() const override;
  bool running() const { return running_; }

 private:
  void Poll();
  void HoldButtons();

  SetupServices& services_;
  WizardState& state_;
  QLineEdit* status_[kTaskCount + 1] = {};
  QTimer* timer_;
  bool running_ = false;
  int shown_ = 0;  // the tasks whose end the fields show
  int turn_ = 0;
  SetupRun run_;
};

}  // namespace tellwen::setup
