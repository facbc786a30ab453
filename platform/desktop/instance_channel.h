// One instance per program, with the second start raising the first window.
//
// The flock of SingleInstance decides which process is the one instance. The
// first instance, once its main window exists, listens on a local socket
// named after the program and the user; a second start that finds the lock
// held connects there and asks for the window to be raised, then ends
// silently. When nobody listens yet (the first window does not exist), the
// second start shows the program's "... already running!" text instead.
//
// Thread safety: the window thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <string>

class QLocalServer;

namespace tellwen::desktop {

class SingleInstance;

class InstanceChannel : public QObject {
  Q_OBJECT

 public:
  explicit InstanceChannel(std::string program, QObject* parent = nullptr);

  // The socket name of program for this user.
  static QString ServerName(const std::string& program);

  // Listens for raise requests and raises window on each. False when the
  // socket cannot be opened (the program goes on without it).
  bool Listen(QWidget* window);

  // Asks the running instance to raise its window; true when it was asked.
  bool AskRunningToRaise(int timeout_ms = 1000);

 signals:
  void raiseRequested();

 private:
  void RaiseWindow();

  std::string program_;
  QLocalServer* server_ = nullptr;
  QPointer<QWidget> window_;
};

// The start-up rule: true when this process is to run (it holds the lock, or
// the lock could not be made at all). Otherwise the running instance was
// asked to raise its window, or (when it has none yet) already_running_text
// was shown, and the caller ends.
bool ClaimInstance(SingleInstance& instance, InstanceChannel& channel,
                   const std::string& already_running_text);

}  // namespace tellwen::desktop
