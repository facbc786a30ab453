#include "monitor/ui/run_window.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "base/clock.h"
#include "base/stop_signals.h"
#include "base/user_messages.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "monitor/core/event_log.h"
#include "monitor/core/monitor_worker.h"
#include "monitor/core/worker_thread.h"
#include "monitor/ui/monitor_window.h"
#include "monitor/ui/program_icon.h"
#include "platform/desktop/instance_channel.h"
#include "platform/desktop/program_launcher.h"
#include "platform/desktop/qt_messages.h"
#include "platform/desktop/single_instance.h"
#include "platform/net/icmp_echo.h"

namespace tellwen::monitor {

int RunWithWindow(int argc, char** argv, const std::string& own_folder) {
  QApplication app(argc, argv);
  // The window's own title: the desktop adds a display name that differs
  // from it to every title.
  QApplication::setApplicationDisplayName("KIV Monitor");
  QApplication::setWindowIcon(MonitorIcon());
  // The window hides to the tray; only its exit ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  desktop::InstallQtMessages();

  desktop::SingleInstance instance("KIVMonitor");
  desktop::InstanceChannel channel("KIVMonitor");
  if (!desktop::ClaimInstance(instance, channel, "KIVMonitor already running!")) return 1;

  StopSignals stop_signals;
  if (!own_folder.empty()) MachineSettings().SetValue("KIVInstallPathExes", own_folder);

  SyslogEventLog event_log;
  net::IcmpEcho echo;
  SystemClock clock;
  MonitorDependencies deps;
  deps.echo = &echo;
  deps.settings = &MachineSettings();
  deps.clock = &clock;
  deps.event_log = &event_log;
  deps.sql = &MachineSql();
  MonitorWorker worker(std::move(deps));
  worker.ReadSettings();
  WorkerThread thread(worker);

  MonitorWindowServices services;
  services.worker = &thread;
  services.settings = &MachineSettings();
  services.launch = [](const std::string& program, const std::vector<std::string>& args) {
    // The monitor does not wait for the program and goes on whatever
    // happened; the reason is kept on stderr for whoever looks.
    const Status started = desktop::StartInstalledProgram(
        MachineSettings().GetValue("KIVInstallPathExes"), program, args);
    if (!started.ok()) std::fprintf(stderr, "KIVMonitor: %s\n", started.message().c_str());
  };
  services.use_tray = QSystemTrayIcon::isSystemTrayAvailable();
  MonitorWindow window(services);
  QObject::connect(&window, &MonitorWindow::exitDone, &app, &QApplication::quit);
  channel.Listen(&window);

  QTimer stop_poll;
  QObject::connect(&stop_poll, &QTimer::timeout, &window, [&window] {
    if (StopSignals::Requested()) window.ExitNow();
  });
  stop_poll.start(100);

  window.show();
  app.exec();
  if (!window.worker_ended()) {
    std::fputs("KIVMonitor: the worker did not end within 10 seconds; closing anyway\n", stderr);
    std::fflush(stdout);
    std::_Exit(0);
  }
  std::printf("KIVMonitor: stopped\n");
  return 0;
}

}  // namespace tellwen::monitor
