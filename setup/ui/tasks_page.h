// Page 3: the five tasks. Each time the page is entered going forward, the
// tasks run in order, each on a thread of its own, while a timer (100 ms)
// turns the running task's status mark and picks up its end: "done", or its
// error text, which marks the run as failed. The first time the page opens,
// the database is tested first and its creation offered when the test fails.
// Back and Next wait until the five have run.
//
// Thread safety: the window thread only; the task thread touches no widget
// (it hands its result over through an atomic flag).
#pragma once

#include <QWizardPage>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

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
  bool running() const { return current_ != 0; }

 private:
  struct Run {
    std::atomic<bool> done{false};
    std::string error;  // written by the task thread before done is set
  };

  void StartTask(int task);
  void Poll();
  void HoldButtons();

  SetupServices& services_;
  WizardState& state_;
  QLineEdit* status_[kTaskCount + 1] = {};
  QTimer* timer_;
  int current_ = 0;  // the running task, 0 when none
  int turn_ = 0;
  std::shared_ptr<Run> run_;
  std::thread thread_;
};

}  // namespace tellwen::setup
