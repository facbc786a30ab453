// AdminServices: what KIVAdmin's windows reach the world through: the
// settings store, the catalog database, the file choosers, the database
// connection test and the link opener. The program passes the machine's;
// tests pass fakes.
//
// Thread safety: the window thread only, except `open_connection`, which the
// Database page's test calls on a thread of its own.
#pragma once

#include <functional>
#include <string>

#include "admin/core/database_settings.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "platform/desktop/file_picker.h"
#include "platform/desktop/program_launcher.h"

namespace tellwen::admin {

struct AdminServices {
  Settings& settings;
  SqlSession& sql;
  desktop::FilePicker& picker;
  ConnectionOpener open_connection = OpenDatabaseConnection;
  std::function<desktop::LinkOpenResult(const std::string&)> open_link = desktop::OpenLink;
};

}  // namespace tellwen::admin
