// The scheduler service's status on the Scheduler page: the cron daemon's
// state mapped onto the status texts, the tint and the hint.
//
// With systemd running (its runtime folder exists), the state is that of
// the unit cron.service as `systemctl show` reports it; otherwise the
// daemon's pid file names a process that must be alive and be cron.
//
// Thread safety: pure functions, plus QueryCronStatus, which reads the
// system and may be called from any thread.
#pragma once

#include <string>

namespace tellwen::admin {

enum class ServiceState {
  kStopped,
  kStartPending,
  kStopPending,
  kRunning,
  kContinuePending,
  kPausePending,
  kPaused,
  kOther,
};

// How far the query got.
enum class ServiceQuery { kOk, kNoManager, kNoService, kQueryFailed };

struct ServiceStatus {
  std::string text;
  bool running = false;  // green tint and no hint; otherwise red and the hint
};

// The label for a query outcome and, when it succeeded, the state.
ServiceStatus ViewServiceStatus(ServiceQuery query, ServiceState state);

// A systemd unit's ActiveState ("active", "activating", ...) as a state.
ServiceState StateFromSystemd(const std::string& active_state);

inline constexpr const char* kServiceHint =
    "Start the cron service as root: type systemctl start cron (or service cron start) at a "
    "command prompt.";

// Where the daemon's state is read; every path can be moved for tests.
struct CronProbe {
  std::string systemd_runtime = "/run/systemd/system";
  std::string systemctl = "systemctl";
  std::string unit = "cron.service";
  std::string pid_file = "/run/crond.pid";
  std::string daemon = "/usr/sbin/cron";  // no daemon installed: no service
  std::string proc = "/proc";
};

ServiceStatus QueryCronStatus(const CronProbe& probe = CronProbe());

}  // namespace tellwen::admin
