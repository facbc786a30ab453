// UpdateDialog: the update job's window. Lists the visible tasks of the
// update script with their start, stop, elapsed and status cells, shows the
// running time, and offers "Stop" while the runner works ("Stopping..." after
// a confirmed stop) and "Close" after it ended. A completed update closes the
// dialog by itself; a failed one leaves it open on "Close" with the failed
// row marked "error".
//
// DialogUpdateDriver is the update job's driver with this dialog: it opens
// the dialog (minimized in /updatedb runs), starts the runner and returns
// when the dialog has closed.
//
// Thread safety: the window thread only; the runner works on its own thread
// and is only polled.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cstdint>

#include "indexer/core/update_job.h"
#include "indexer/core/update_runner.h"

namespace tellwen::indexer {

class UpdateDialog : public QDialog {
  Q_OBJECT

 public:
  UpdateDialog(UpdateRunner& runner, bool setup_mode, QWidget* parent = nullptr);

  // The runner completed and the dialog closed on that.
  bool succeeded() const { return succeeded_; }

  // The polls: the rows when they changed, the running time, the end.
  void RefreshRows();
  void RefreshTime();
  void CheckEnd();
  // The button: a stop request while the runner works, closing after.
  void ButtonPressed();

 protected:
  void reject() override;  // Escape and the close box act as the button

 private:
  UpdateRunner& runner_;
  QTreeWidget* tasks_;
  QLabel* running_time_;
  QPushButton* button_;
  QTimer* rows_timer_;
  QTimer* time_timer_;
  QTimer* end_timer_;
  UpdateClock::time_point opened_;
  uint64_t changes_seen_ = UINT64_MAX;
  bool ended_ = false;
  bool succeeded_ = false;
};

class DialogUpdateDriver : public UpdateJobDriver {
 public:
  DialogUpdateDriver(QWidget* parent, bool setup_mode, bool minimized)
      : parent_(parent), setup_mode_(setup_mode), minimized_(minimized) {}
  bool Drive(UpdateRunner& runner) override;

 private:
  QWidget* parent_;
  bool setup_mode_;
  bool minimized_;
};

}  // namespace tellwen::indexer
