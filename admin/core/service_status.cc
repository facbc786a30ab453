#include "admin/core/service_status.h"

#include <sys/stat.h>

#include <cctype>
#include <fstream>
#include <sstream>

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
  switch (query) {
    case ServiceQuery::kNoManager:
      return {"OpenSCManager Failed.", false};
    case ServiceQuery::kNoService:
      return {"OpenService Failed.", false};
    case ServiceQuery::kQueryFailed:
      return {"QueryServiceStatus Failed.", false};
    case ServiceQuery::kOk:
      break;
  }
  switch (state) {
    case ServiceState::kStopped:
      return {"The service is not running.", false};
    case ServiceState::kStartPending:
      return {"The service is starting.", false};
    case ServiceState::kStopPending:
      return {"The service is stopping.", false};
    case ServiceState::kRunning:
      return {"The service is running.", true};
    case ServiceState::kContinuePending:
      return {"The service continue is pending.", false};
    case ServiceState::kPausePending:
      return {"The service pause is pending.", false};
    case ServiceState::kPaused:
      return {"The service is paused.", false};
    case ServiceState::kOther:
      break;
  }
  return {"The service is unavailable.", false};
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
