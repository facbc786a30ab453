// KIVMonitor: start-up. With a display the window and the tray icon run the
// ping worker (monitor/ui); with --headless, or when no display is available,
// it runs headless without starting Qt: one instance per machine, a status
// line on every change, a clean stop on SIGTERM or SIGINT.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "base/clock.h"
#include "base/stop_signals.h"
#include "base/user_messages.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "monitor/core/event_log.h"
#include "monitor/core/monitor_worker.h"
#include "monitor/core/status_line.h"
#include "monitor/core/worker_thread.h"
#include "platform/desktop/display.h"
#include "platform/desktop/program_folder.h"
#include "platform/desktop/single_instance.h"
#include "platform/desktop/windows_plugin.h"
#include "platform/net/icmp_echo.h"

namespace {

constexpr auto kStopWait = std::chrono::milliseconds(10000);

const char* kUsage =
    "usage: KIVMonitor [--headless]\n"
    "  Pings every computer of the catalog in turn while the web service is open\n"
    "  (WebStatus \"yes\") and rewrites monitor_pings after each round.\n"
    "  With a display (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set) it shows its\n"
    "  window and tray icon.\n"
    "  --headless  run without a window, printing a status line on every change\n"
    "              (the default when no display is available)\n"
    "  SIGTERM or SIGINT ends it.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace tellwen;
  bool headless = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--headless") {
      headless = true;
    } else if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::fprintf(stderr, "KIVMonitor: unknown argument \"%s\"\n", argument.c_str());
      std::fputs(kUsage, stderr);
      return 2;
    }
  }

  if (int code = 0; desktop::RunWindowsIfWanted("KIVMonitor", headless, argc, argv, &code)) {
    return code;
  }

  desktop::SingleInstance instance("KIVMonitor");
  const desktop::InstanceResult lock = instance.TryAcquire();
  if (lock == desktop::InstanceResult::kAlreadyRunning) {
    ShowMessage("KIVMonitor already running!", MessageIcon::kInformation);
    return 1;
  }
  if (lock == desktop::InstanceResult::kError) {
    std::fprintf(stderr, "KIVMonitor: %s; going on without the one-instance lock\n",
                 instance.ErrorText().c_str());
  }
  StopSignals stop_signals;
  const std::string folder = tellwen::desktop::OwnFolder();
  if (!folder.empty()) MachineSettings().SetValue("KIVInstallPathExes", folder);

  monitor::SyslogEventLog event_log;
  net::IcmpEcho echo;
  std::string why;
  const net::EchoSocketKind kind = net::ProbeEchoSocket(&why);
  if (kind != net::EchoSocketKind::kNone) {
    std::printf("KIVMonitor: ICMP echo over the %s\n", net::EchoSocketKindName(kind));
    std::fflush(stdout);
  }

  SystemClock clock;
  monitor::MonitorDependencies deps;
  deps.echo = &echo;
  deps.settings = &MachineSettings();
  deps.clock = &clock;
  deps.event_log = &event_log;
  deps.sql = &MachineSql();
  monitor::MonitorWorker worker(std::move(deps));
  worker.ReadSettings();

  monitor::StatusLine status_line(std::cout);
  worker.state().SetObserver(
      [&status_line](const monitor::MonitorTexts& texts) { status_line.OnTexts(texts); });

  monitor::WorkerThread thread(worker);
  thread.Start();

  while (!StopSignals::Requested()) std::this_thread::sleep_for(std::chrono::milliseconds(100));

  thread.RequestStop();
  thread.SaveSettings();
  if (!thread.WaitEnded(kStopWait)) {
    std::fputs("KIVMonitor: the worker did not end within 10 seconds; closing anyway\n", stderr);
    std::fflush(stdout);
    std::_Exit(0);
  }
  std::cout << "KIVMonitor: stopped" << std::endl;
  return 0;
}
