#include "common/db_session.h"

#include <strings.h>

#include <cstdlib>

#include "common/kiv_registry.h"
#include "common/password.h"
#include "platform/sqlserver/sql_server.h"

namespace tellwen {
namespace {

// A query timeout setting when it lies in [low, high], else the fallback.
int Bounded(const std::string& setting, int low, int high, int fallback) {
  CKIVRegistry registry;
  const int value = registry.GetIntValue(setting);
  return value >= low && value <= high ? value : fallback;
}

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return s.substr(a, b - a);
}

SqlResult Failure(const std::string& description, const std::string& source) {
  SqlResult r;
  r.error = true;
  r.description = description;
  r.source = source;
  r.error_text = "unexpected error: " + description + " src:" + source;
  return r;
}

}  // namespace

SqlTimeouts TimeoutsFor(SqlCaller caller) {
  switch (caller) {
    case SqlCaller::kQuerySearch:
      return {Bounded("QueryConnectionTimeout", 2, 179, 15),
              Bounded("QueryCommandTimeout", 2, 899, 180)};
    case SqlCaller::kQueryRowReader:
      return {Bounded("QueryConnectionTimeout", 2, 179, 15),
              Bounded("QueryCommandTimeout", 2, 899, 120)};
    case SqlCaller::kQueryStatementRunner:
      return {Bounded("QueryConnectionTimeout", 2, 179, 30),
              Bounded("QueryCommandTimeout", 2, 899, 180)};
    case SqlCaller::kIndexerSkipList:
      return {15, 60};
    case SqlCaller::kIndexerTaskBody:
      return {60, 36000};
    case SqlCaller::kIndexerBatch:
      return {30, 7200};
    case SqlCaller::kSetupTest:
      return {15, 120};
    case SqlCaller::kSetupDatabase:
      return {30, 7200};
    case SqlCaller::kMonitorRound:
      return {3, 3600};
  }
  return {};
}

SqlConnectionSettings ReadConnectionSettings() {
  CKIVRegistry registry;
  SqlConnectionSettings s;
  s.server = registry.GetValue("SqlServer");
  s.database = registry.GetValue("SqlDatabase");
  s.user = registry.GetValue("SqlUser");
  s.password = UnscramblePassword(registry.GetValue("SqlPassword"));
  return s;
}

std::string BuildConnectionString(const SqlConnectionSettings& s) {
  return "Provider=SQLOLEDB;Data Source=" + s.server + ";Initial Catalog=" + s.database +
         ";User Id=" + s.user + ";Password=" + s.password + ";";
}

bool ParseConnectionString(const std::string& text, SqlConnectionSettings* settings) {
  *settings = SqlConnectionSettings();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string part = text.substr(start, end - start);
    start = end + 1;
    if (Trim(part).empty()) continue;
    const size_t eq = part.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = Trim(part.substr(0, eq));
    const std::string value = part.substr(eq + 1);
    auto is = [&](const char* k) { return strcasecmp(key.c_str(), k) == 0; };
    if (is("Data Source") || is("Server") || is("Address") || is("Addr")) {
      settings->server = Trim(value);
    } else if (is("Initial Catalog") || is("Database")) {
      settings->database = Trim(value);
    } else if (is("User Id") || is("User ID") || is("Uid") || is("User")) {
      settings->user = Trim(value);
    } else if (is("Password") || is("Pwd")) {
      settings->password = value;  // blanks belong to the password
    }
    // Provider and other keys (timeouts are the caller's) are accepted as they are.
  }
  return true;
}

namespace {

// The catalog's tables that the web extension and the monitor write while an
// update may be running: they live in the database's log file, so that those
// writes never queue behind the update's long transactions on the catalog.
std::vector<std::string> CatalogLogTables() {
  return {"stat_last_queries", "stat_searchs",  "stat_access",       "stat_access_failure",
          "stat_ping",         "monitor_pings", "temp_monitor_pings"};
}

// The update job's callers rewrite whole tables: their connections are bulk ones.
bool IsBulkCaller(SqlCaller caller) {
  return caller == SqlCaller::kIndexerTaskBody || caller == SqlCaller::kIndexerBatch;
}

// The server's connect options for parsed connection settings.
sqlserver::ConnectOptions ConnectOptionsFor(const SqlConnectionSettings& settings,
                                            SqlTimeouts timeouts, bool bulk) {
  sqlserver::ConnectOptions options;
  options.data_source = settings.server;
  options.database = settings.database;
  options.user = settings.user;
  options.password = settings.password;
  options.connection_timeout_seconds = timeouts.connection_seconds;
  options.command_timeout_seconds = timeouts.command_seconds;
  options.bulk = bulk;
  options.log_tables = CatalogLogTables();
  return options;
}

SqlResult RunSqlWith(const std::string& connection_string, const std::string& command,
                     int column_count, SqlTimeouts timeouts, bool bulk) {
  SqlConnectionSettings settings;
  if (!ParseConnectionString(connection_string, &settings)) {
    return Failure(
        "Format of the initialization string is not valid: expected "
        "Name=value pairs separated by \";\".",
        "Microsoft OLE DB Service Components");
  }
  sqlserver::ConnectOptions options = ConnectOptionsFor(settings, timeouts, bulk);
  sqlserver::SqlError error;
  std::unique_ptr<sqlserver::Connection> connection = sqlserver::Connection::Open(options, &error);
  if (!connection) return Failure(error.description, error.source);
  sqlserver::BatchResult batch;
  if (!connection->Execute(command, &batch, &error)) {
    return Failure(error.description, error.source);
  }
  SqlResult result;
  if (column_count == 0) return result;
  if (!batch.has_rowset) {
    if (column_count < 0) return result;
    return Failure("Operation is not allowed when the object is closed.", "ADODB.Recordset");
  }
  if (column_count < 0) column_count = static_cast<int>(batch.column_names.size());
  if (static_cast<size_t>(column_count) > batch.column_names.size()) {
    return Failure(
        "Item cannot be found in the collection corresponding to the requested name or "
        "ordinal.",
        "ADODB.Fields");
  }
  result.rows.reserve(batch.rows.size());
  for (const auto& row : batch.rows) {
    SqlRow out;
    out.reserve(column_count);
    for (int i = 0; i < column_count; ++i) out.push_back(row[i].ToText());
    result.rows.push_back(std::move(out));
  }
  return result;
}

}  // namespace

SqlResult RunSqlOn(const std::string& connection_string, const std::string& command,
                   int column_count, SqlTimeouts timeouts) {
  return RunSqlWith(connection_string, command, column_count, timeouts, false);
}

SqlResult RunSql(const std::string& command, int column_count, SqlTimeouts timeouts) {
  return RunSqlOn(BuildConnectionString(ReadConnectionSettings()), command, column_count, timeouts);
}

SqlResult RunSql(const std::string& command, int column_count, SqlCaller caller) {
  return RunSqlWith(BuildConnectionString(ReadConnectionSettings()), command, column_count,
                    TimeoutsFor(caller), IsBulkCaller(caller));
}

bool TestConnection(const std::string& server, const std::string& database, const std::string& user,
                    const std::string& password, SqlTimeouts timeouts, std::string* source,
                    std::string* description) {
  SqlConnectionSettings settings{server, database, user, password};
  SqlConnectionSettings parsed;
  ParseConnectionString(BuildConnectionString(settings), &parsed);
  sqlserver::ConnectOptions options = ConnectOptionsFor(parsed, timeouts, /*bulk=*/false);
  sqlserver::SqlError error;
  if (sqlserver::Connection::Open(options, &error)) return true;
  *source = error.source;
  *description = error.description;
  return false;
}

}  // namespace tellwen
