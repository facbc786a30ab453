// AdminServices: what KIVAdmin's windows reach the world through: the
// settings store, the catalog database, the file choosers, the database
// connection test, the link opener, the crontab program, the cron service's
// status, the starting of the indexer and the autostart folder. The program
// passes the machine's; tests pass fakes.
//
// Thread safety: the window thread only, except `open_connection`, which the
// Database page's test calls on a thread of its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "admin/core/database_settings.h"
#include "admin/core/service_status.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "platform/desktop/file_picker.h"
#include "platform/desktop/program_launcher.h"
#include "platform/scheduler/autostart.h"
#include "platform/scheduler/crontab_program.h"

namespace tellwen::admin {

struct AdminServices {
  Settings& settings;
  SqlSession& sql;
  desktop::FilePicker& picker;
  ConnectionOpener open_connection = OpenDatabaseConnection;
  std::function<desktop::LinkOpenResult(const std::string&)> open_link = desktop::OpenLink;
  scheduler::CrontabProgram crontab = {};
  std::function<ServiceStatus()> service_status = [] { return QueryCronStatus(); };
  // Starts the programs folder's program detached, without waiting.
  std::function<Status(const std::string&, const std::string&, const std::vector<std::string>&)>
      start_program = desktop::StartInstalledProgram;
  std::string autostart_folder = scheduler::kAutostartFolder;
};

}  // namespace tellwen::admin
