// MainWindow: the "Tellwen Indexer" window, from which index jobs are
// started, stopped and watched.
//
// It shows the job's counters and state texts (indexer/core/job_display.h)
// and one row per scan worker ("01", "02", ... and the worker's status text,
// copied only when it changed), refreshed by a 300 ms timer that runs while
// a job does and handles the job's end. The start button starts a job, or
// asks "Are you sure do you want to stop?" while one runs; UpdateDB and Exit
// are disabled while a job runs, and closing is refused then with the
// reason. In /index runs the window is shown minimized, starts the job at
// once and closes at its end.
//
// Thread safety: the window thread only; the job's threads are only polled.
#pragma once

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "indexer/core/index_job.h"

namespace tellwen::indexer {

struct MainWindowOptions {
  bool index_run = false;  // /index
  // UpdateDB: runs the update job in the foreground, with its messages.
  std::function<void()> run_update;
  int tick_ms = 300;
};

class MainWindow : public QDialog {
  Q_OBJECT

 public:
  // REQUIRES: job outlives the window. Reads the job's settings.
  MainWindow(IndexJob& job, MainWindowOptions options, QWidget* parent = nullptr);

  // The start/stop button.
  void StartOrStop();
  // The timer tick: the end of the job when its threads have ended, then
  // the display.
  void Tick();
  // A stop from outside (SIGTERM): no question; the window closes at the
  // job's end.
  void StopAndClose();
  void ShowAbout();

  // In /index runs: 0 when the job ran to its end, 1 when it did not start,
  // was stopped or failed.
  int exit_code() const { return exit_code_; }
  bool ticking() const { return timer_->isActive(); }

 protected:
  void reject() override;  // Exit, Escape and the close box
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* AddValue(QGridLayout* grid, int row, int column, const char* text, const char* name);
  void Refresh();
  void CopyWorkerRows();
  // What the network search found (which source found each computer and
  // what became of it), kept as the search state's tool tip.
  void CopyFoundComputers();
  void ApplyButtons();
  bool MayClose();

  IndexJob& job_;
  MainWindowOptions options_;
  QPushButton* start_;
  QPushButton* update_;
  QPushButton* exit_;
  QTreeWidget* workers_;
  QLabel* threads_busy_;
  QLabel* thread_count_;
  QLabel* computers_done_;
  QLabel* computers_queued_;
  QLabel* files_dumped_;
  QLabel* files_found_;
  QLabel* elapsed_;
  QLabel* projected_;
  QLabel* search_state_;
  QLabel* scan_state_;
  QLabel* dump_state_;
  QProgressBar* progress_;
  QTimer* timer_;
  size_t found_shown_ = 0;  // lines of the job's found computers in the tip
  QString found_tip_;
  bool a_job_ended_ = false;
  bool close_at_end_ = false;
  bool closing_ = false;
  int exit_code_ = 1;
};

}  // namespace tellwen::indexer
