#include "admin/core/database_settings.h"

#include "base/int_text.h"
#include "common/db_session.h"

namespace tellwen::admin {
namespace {

SqlConnectionSettings Connection(const DatabaseValues& values) {
  return {values.server, values.database, values.user, values.password, values.engine};
}

}  // namespace

DatabaseValues LoadDatabaseValues(Settings& settings) {
  DatabaseValues values;
  const SqlConnectionSettings stored = ReadConnectionSettings(settings);
  values.server = stored.server;
  values.database = stored.database;
  values.user = stored.user;
  values.password = stored.password;
  values.engine = stored.engine;
  values.connection_timeout = settings.GetValue("QueryConnectionTimeout");
  values.command_timeout = settings.GetValue("QueryCommandTimeout");
  return values;
}

void StoreDatabaseValues(Settings& settings, const DatabaseValues& values) {
  StoreConnectionSettings(settings, Connection(values));
  settings.SetValue("QueryConnectionTimeout", values.connection_timeout);
  settings.SetValue("QueryCommandTimeout", values.command_timeout);
}

void PutDefaultTimeouts(Settings& settings, DatabaseValues* values) {
  values->connection_timeout = settings.DefaultValue("QueryConnectionTimeout");
  values->command_timeout = settings.DefaultValue("QueryCommandTimeout");
}

bool OpenDatabaseConnection(const std::string& connection_string, SqlTimeouts timeouts,
                            std::string* source, std::string* description) {
  SqlConnectionSettings parsed;
  if (!ParseConnectionString(connection_string, &parsed)) {
    *source = "KIVAdmin";
    *description = "The connection string is malformed.";
    return false;
  }
  return TestConnection(parsed, timeouts, source, description);
}

ConnectionTestResult RunConnectionTest(const DatabaseValues& values,
                                       const ConnectionOpener& opener) {
  const std::string connection_string = BuildConnectionString(Connection(values));
  SqlTimeouts timeouts;
  timeouts.connection_seconds = LeadingInt(values.connection_timeout);
  timeouts.command_seconds = LeadingInt(values.command_timeout);
  std::string source;
  std::string description;
  ConnectionTestResult result;
  if (opener(connection_string, timeouts, &source, &description)) {
    result.passed = true;
    result.text = "Test PASSED!";
    result.icon = MessageIcon::kInformation;
  } else {
    result.text = "Test FAILED!\nSource: '" + source + "'\nDescription: '" + description + "'";
    result.icon = MessageIcon::kError;
  }
  return result;
}

}  // namespace tellwen::admin
