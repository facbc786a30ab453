#include "admin/core/service_status.h"

#include <sys/stat.h>

#include <cctype>
#include <fstream>
#include <sstream>

#include "base/keyed_table.h"
#include "platform/desktop/program_run.h"

namespace tellwen::admin {
namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// The value of "Key=value" among `systemctl show` lines.
std::string ShownValue(const std::string& shown, const std::string& key) {
  std::istringstream in(shown);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return "";
}

ServiceStatus FromSystemd(const CronProbe& probe) {
  const desktop::ProgramRun shown = desktop::RunProgram(
      {probe.systemctl, "show", "-p", "LoadState", "-p", "ActiveState", probe.unit}, "",
      desktop::Capture::kApart);
  if (shown.spawn_error != 0) return ViewServiceStatus(ServiceQuery::kNoManager, {});
  if (shown.exit_code != 0) return ViewServiceStatus(ServiceQuery::kQueryFailed, {});
  const std::string load = ShownValue(shown.output, "LoadState");
  if (load == "not-found" || load.empty()) return ViewServiceStatus(ServiceQuery::kNoService, {});
  return ViewServiceStatus(ServiceQuery::kOk,
                           StateFromSystemd(ShownValue(shown.output, "ActiveState")));
}

ServiceStatus FromPidFile(const CronProbe& probe) {
  if (!Exists(probe.daemon)) return ViewServiceStatus(ServiceQuery::kNoService, {});
  std::ifstream pid_file(probe.pid_file);
  long pid = 0;
  if (!pid_file || !(pid_file >> pid) || pid <= 0) {
    return ViewServiceStatus(ServiceQuery::kOk, ServiceState::kStopped);
  }
  std::ifstream comm(probe.proc + "/" + std::to_string(pid) + "/comm");
  std::string name;
  if (!comm || !std::getline(comm, name) || name != "cron") {
    return ViewServiceStatus(ServiceQuery::kOk, ServiceState::kStopped);
  }
  // A daemon that has ended but not yet been reaped is a zombie: stopped.
  std::ifstream stat(probe.proc + "/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t close = line.rfind(')');
  if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z') {
    return ViewServiceStatus(ServiceQuery::kOk, ServiceState::kStopped);
  }
  return ViewServiceStatus(ServiceQuery::kOk, ServiceState::kRunning);
}

}  // namespace

ServiceStatus ViewServiceStatus(ServiceQuery query, ServiceState state) {
  static constexpr KeyedValue<ServiceQuery, const char*> kQueryFailures[] = {
      {ServiceQuery::kNoManager, "OpenSCManager Failed."},
      {ServiceQuery::kNoService, "OpenService Failed."},
      {ServiceQuery::kQueryFailed, "QueryServiceStatus Failed."}};
  static constexpr KeyedValue<ServiceState, const char*> kStateTexts[] = {
      {ServiceState::kStopped, "The service is not running."},
      {ServiceState::kStartPending, "The service is starting."},
      {ServiceState::kStopPending, "The service is stopping."},
      {ServiceState::kRunning, "The service is running."},
      {ServiceState::kContinuePending, "The service continue is pending."},
      {ServiceState::kPausePending, "The service pause is pending."},
      {ServiceState::kPaused, "The service is paused."}};
  if (const char* failure = LookUp(kQueryFailures, query, nullptr)) return {failure, false};
  return {LookUp(kStateTexts, state, "The service is unavailable."),
          state == ServiceState::kRunning};
}

ServiceState StateFromSystemd(const std::string& active_state) {
  if (active_state == "active" || active_state == "reloading") return ServiceState::kRunning;
  if (active_state == "inactive" || active_state == "failed") return ServiceState::kStopped;
  if (active_state == "activating") return ServiceState::kStartPending;
  if (active_state == "deactivating") return ServiceState::kStopPending;
  return ServiceState::kOther;
}

ServiceStatus QueryCronStatus(const CronProbe& probe) {
  return Exists(probe.systemd_runtime) ? FromSystemd(probe) : FromPidFile(probe);
}

}  // namespace tellwen::admin
