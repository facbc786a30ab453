// MonitorWindow: the "KIV Monitor" dialog and its tray icon.
//
// The window shows the ping worker's texts ("N/A" until it has any), lets the
// user pick the pause between pings (the slider; applied at the next
// refresh), pause and resume pinging, and choose "Start minimized" (written
// at each click). A one-shot timer starts the worker 2000 ms after the
// window opens; a 1000 ms timer refreshes it, moving the progress bar only
// for a list of more than one computer (monitor/core/overall_progress.h).
//
// Tray: with a system tray (QSystemTrayIcon::isSystemTrayAvailable()) the
// icon, tooltip "Tellwen Monitor", restores the window on a left click and
// opens the menu on a right click; "Hide", Escape and minimizing hide the
// window to it. Without a tray (many Linux desktops) the window must stay
// reachable: hiding minimizes it instead, and the same menu hangs from a
// "&Menu" button on the window.
//
// Exit ("Exit", closing the window, the menu's "E&xit") asks first; on Yes
// the worker's stop flag is set, the timers stop, the icon goes, the slider
// position is saved as MonitorPingInterval, and the window waits up to 10 s
// for the worker before it emits exited().
//
// Thread safety: the window thread only; the worker runs beside it and is
// only read through its state.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "common/settings.h"
#include "monitor/core/worker_thread.h"

namespace tellwen::monitor {

inline constexpr const char* kExitQuestion = "Are you sure do you want to exit?";

struct MonitorWindowServices {
  WorkerControl* worker = nullptr;  // not owned; outlives the window
  Settings* settings = nullptr;     // MonitorStartMinimized; not owned
  // Starts a program of the install folder detached; its outcome is ignored.
  std::function<void(const std::string& program, const std::vector<std::string>& args)> launch;
  bool use_tray = true;  // the program passes isSystemTrayAvailable()
  int start_delay_ms = 2000;
  int refresh_ms = 1000;
  int exit_wait_ms = 10000;
};

class MonitorWindow : public QDialog {
  Q_OBJECT

 public:
  explicit MonitorWindow(MonitorWindowServices services, QWidget* parent = nullptr);
  ~MonitorWindow() override;

  // The 1000 ms tick.
  void Refresh();
  // "Hide": to the tray (or minimized without one).
  void HideWindow();
  // "&Restore": shows the window again.
  void RestoreWindow();
  void ShowAbout();
  // Asks the exit question; on Yes exits. True when it exited.
  bool AskExit();
  // The exit steps without the question (also for SIGTERM).
  void ExitNow();

  QMenu* menu() const { return menu_; }
  QSystemTrayIcon* tray() const { return tray_; }
  bool exited() const { return exited_; }
  bool worker_ended() const { return worker_ended_; }
  bool refreshing() const { return refresh_timer_->isActive(); }

 signals:
  void exitDone();

 protected:
  void reject() override;  // Escape
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QLabel* AddPair(QGridLayout* grid, int row, const char* caption, const char* name);
  void TogglePause();

  MonitorWindowServices services_;
  QLabel* computers_;
  QLabel* interval_;
  QSlider* slider_;
  QLabel* status_;
  QLabel* last_computer_;
  QLabel* last_status_;
  QLabel* round_time_;
  QLabel* percent_;
  QProgressBar* bar_;
  QPushButton* pause_;
  QCheckBox* start_minimized_;
  QMenu* menu_;
  QSystemTrayIcon* tray_ = nullptr;
  QTimer* start_timer_;
  QTimer* refresh_timer_;
  bool exiting_ = false;
  bool exited_ = false;
  bool worker_ended_ = true;
};

}  // namespace tellwen::monitor
