#include "common/db_session.h"

#include <strings.h>

#include <cstdlib>

#include "base/keyed_table.h"
#include "base/text_trim.h"
#include "common/connection_pool.h"
#include "common/kiv_registry.h"
#include "common/password.h"
#include "common/settings.h"
#include "platform/sqlserver/sql_server.h"

namespace tellwen {
namespace {

// A query timeout setting when it lies in [low, high], else the fallback.
int Bounded(const std::string& setting, int low, int high, int fallback) {
  CKIVRegistry registry;
  const int value = registry.GetIntValue(setting);
  return value >= low && value <= high ? value : fallback;
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
  // The web extension's callers take the query timeout settings, each with
  // its own defaults; the others have fixed timeouts.
  static constexpr KeyedValue<SqlCaller, SqlTimeouts> kQueryDefaults[] = {
      {SqlCaller::kQuerySearch, {15, 180}},
      {SqlCaller::kQueryRowReader, {15, 120}},
      {SqlCaller::kQueryStatementRunner, {30, 180}}};
  static constexpr KeyedValue<SqlCaller, SqlTimeouts> kFixed[] = {
      {SqlCaller::kIndexerSkipList, {15, 60}}, {SqlCaller::kIndexerTaskBody, {60, 36000}},
      {SqlCaller::kIndexerBatch, {30, 7200}},  {SqlCaller::kSetupTest, {15, 120}},
      {SqlCaller::kSetupDatabase, {30, 7200}}, {SqlCaller::kMonitorRound, {3, 3600}}};
  for (const KeyedValue<SqlCaller, SqlTimeouts>& entry : kQueryDefaults) {
    if (entry.key != caller) continue;
    return {Bounded("QueryConnectionTimeout", 2, 179, entry.value.connection_seconds),
            Bounded("QueryCommandTimeout", 2, 899, entry.value.command_seconds)};
  }
  return LookUp(kFixed, caller, SqlTimeouts{});
}

SqlConnectionSettings ReadConnectionSettings() {
  RegistrySettings registry;
  return ReadConnectionSettings(registry);
}

SqlConnectionSettings ReadConnectionSettings(Settings& settings) {
  SqlConnectionSettings s;
  s.server = settings.GetValue("SqlServer");
  s.database = settings.GetValue("SqlDatabase");
  s.user = settings.GetValue("SqlUser");
  s.password = UnscramblePassword(settings.GetValue("SqlPassword"));
  s.engine =
      IsPostgresqlEngine(settings.GetValue("SqlEngine")) ? kEnginePostgresql : kEngineEmbedded;
  return s;
}

bool IsPostgresqlEngine(const std::string& engine) {
  return strcasecmp(Trim(engine).c_str(), kEnginePostgresql) == 0;
}

std::string EngineNamed(const std::string& typed) {
  const std::string name = Trim(typed);
  for (const char* engine : {kEngineEmbedded, kEnginePostgresql}) {
    if (strcasecmp(name.c_str(), engine) == 0) return engine;
  }
  return "";
}

void StoreConnectionSettings(Settings& settings, const SqlConnectionSettings& values) {
  settings.SetValue("SqlServer", values.server);
  settings.SetValue("SqlDatabase", values.database);
  settings.SetValue("SqlUser", values.user);
  settings.SetValue("SqlPassword", ScramblePassword(values.password));
  settings.SetValue("SqlEngine",
                    IsPostgresqlEngine(values.engine) ? kEnginePostgresql : kEngineEmbedded);
}

namespace {

// A connection-string value: as it is, or in double quotes (a quote inside
// doubled) when it holds ";" or begins with a quote (after blanks).
std::string QuoteValue(const std::string& value) {
  const size_t first = value.find_first_not_of(" \t");
  if (value.find(';') == std::string::npos &&
      (first == std::string::npos || (value[first] != '"' && value[first] != '\''))) {
    return value;
  }
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string BuildConnectionString(const SqlConnectionSettings& s) {
  return std::string("Provider=") + (IsPostgresqlEngine(s.engine) ? "PostgreSQL" : "SQLOLEDB") +
         ";Data Source=" + QuoteValue(s.server) + ";Initial Catalog=" + QuoteValue(s.database) +
         ";User Id=" + QuoteValue(s.user) + ";Password=" + QuoteValue(s.password) + ";";
}

bool ParseConnectionString(const std::string& text, SqlConnectionSettings* settings) {
  *settings = SqlConnectionSettings();
  size_t start = 0;
  while (start < text.size()) {
    const size_t eq = text.find('=', start);
    size_t end = text.find(';', start);
    if (eq == std::string::npos || (end != std::string::npos && end < eq)) {
      // A part without "=": only blanks may stand there.
      if (end == std::string::npos) end = text.size();
      if (!Trim(text.substr(start, end - start)).empty()) return false;
      start = end + 1;
      continue;
    }
    const std::string key = Trim(text.substr(start, eq - start));
    std::string value;
    size_t pos = eq + 1;
    size_t first = pos;
    while (first < text.size() && (text[first] == ' ' || text[first] == '\t')) ++first;
    if (first < text.size() && (text[first] == '"' || text[first] == '\'')) {
      // A quoted value: up to the closing quote, a doubled quote standing for one.
      const char quote = text[first];
      pos = first + 1;
      bool closed = false;
      while (pos < text.size()) {
        if (text[pos] == quote) {
          if (pos + 1 < text.size() && text[pos + 1] == quote) {
            value += quote;
            pos += 2;
            continue;
          }
          closed = true;
          ++pos;
          break;
        }
        value += text[pos++];
      }
      if (!closed) return false;
      end = text.find(';', pos);
      if (end == std::string::npos) end = text.size();
      if (!Trim(text.substr(pos, end - pos)).empty()) return false;
    } else {
      end = text.find(';', pos);
      if (end == std::string::npos) end = text.size();
      value = text.substr(pos, end - pos);
    }
    start = end + 1;
    auto is = [&](const char* k) { return strcasecmp(key.c_str(), k) == 0; };
    if (is("Data Source") || is("Server") || is("Address") || is("Addr")) {
      settings->server = Trim(value);
    } else if (is("Initial Catalog") || is("Database")) {
      settings->database = Trim(value);
    } else if (is("User Id") || is("User ID") || is("Uid") || is("User")) {
      settings->user = Trim(value);
    } else if (is("Password") || is("Pwd")) {
      settings->password = value;  // blanks belong to the password
    } else if (is("Provider")) {
      settings->engine =
          strcasecmp(Trim(value).c_str(), "PostgreSQL") == 0 ? kEnginePostgresql : kEngineEmbedded;
    }
    // Other keys (timeouts are the caller's) are accepted as they are.
  }
  return true;
}

std::string DataFolder() {
  const char* env = getenv("TELLWEN_DATA");
  if (env && *env) return env;
  return "/var/lib/tellwen/data";
}

namespace {

// The catalog's tables that the web extension and the monitor write while an
// update may be running: they live in the database's log file, so that those
// writes never queue behind the update's long transactions on the catalog.
std::vector<std::string> CatalogLogTables() {
  return {"stat_last_queries", "stat_searchs",  "stat_access",       "stat_access_failure",
          "stat_ping",         "monitor_pings", "temp_monitor_pings"};
}

// The name columns that name search matches with LIKE '%...%' (shares,
// folders, files): their CREATE INDEX also builds a substring index, which
// the search reads instead of scanning the catalog.
std::vector<std::string> CatalogSubstringColumns() { return {"s2", "d2", "fn"}; }

// The update job's callers rewrite whole tables: their connections are bulk ones.
bool IsBulkCaller(SqlCaller caller) {
  return caller == SqlCaller::kIndexerTaskBody || caller == SqlCaller::kIndexerBatch;
}

// The server's connect options for connection settings. Blanks around the
// server, database and user name do not count; those of a password do.
sqlserver::ConnectOptions ConnectOptionsFor(const SqlConnectionSettings& settings,
                                            SqlTimeouts timeouts, bool bulk) {
  sqlserver::ConnectOptions options;
  options.engine = IsPostgresqlEngine(settings.engine) ? sqlserver::SqlEngine::kPostgresql
                                                       : sqlserver::SqlEngine::kEmbedded;
  options.data_source = Trim(settings.server);
  options.database = Trim(settings.database);
  options.user = Trim(settings.user);
  options.password = settings.password;
  options.data_dir = DataFolder();
  options.connection_timeout_seconds = timeouts.connection_seconds;
  options.command_timeout_seconds = timeouts.command_seconds;
  options.bulk = bulk;
  options.log_tables = CatalogLogTables();
  options.substring_columns = CatalogSubstringColumns();
  return options;
}

// The rows of a batch that ran, as RunSql hands them out.
// The rows' texts are moved out of batch, which is left with their husks.
SqlResult ResultOf(sqlserver::BatchResult& batch, int column_count) {
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
  for (auto& row : batch.rows) {
    SqlRow out;
    out.reserve(column_count);
    for (int i = 0; i < column_count; ++i) {
      sqlserver::Value& v = row[i];
      out.push_back(v.type == sqlserver::Value::Type::kText ? std::move(v.s) : v.ToText());
    }
    result.rows.push_back(std::move(out));
  }
  return result;
}

SqlResult ExecuteOn(sqlserver::Connection& connection, const std::string& command,
                    int column_count) {
  sqlserver::SqlError error;
  sqlserver::BatchResult batch;
  if (!connection.Execute(command, &batch, &error)) {
    return Failure(error.description, error.source);
  }
  return ResultOf(batch, column_count);
}

SqlResult RunSqlWith(const SqlConnectionSettings& settings, const std::string& command,
                     int column_count, SqlTimeouts timeouts, bool bulk) {
  sqlserver::ConnectOptions options = ConnectOptionsFor(settings, timeouts, bulk);
  sqlserver::SqlError error;
  std::unique_ptr<sqlserver::Connection> connection = sqlserver::Connection::Open(options, &error);
  if (!connection) return Failure(error.description, error.source);
  return ExecuteOn(*connection, command, column_count);
}

// The web extension's calls: many small ones from many threads, on kept
// connections (common/connection_pool.h).
bool IsPooledCaller(SqlCaller caller) {
  return caller == SqlCaller::kQuerySearch || caller == SqlCaller::kQueryRowReader ||
         caller == SqlCaller::kQueryStatementRunner;
}

SqlResult RunSqlPooled(const SqlConnectionSettings& settings, const std::string& command,
                       int column_count, SqlTimeouts timeouts) {
  sqlserver::ConnectOptions options = ConnectOptionsFor(settings, timeouts, /*bulk=*/false);
  sqlserver::SqlError error;
  PooledConnection pooled = TakePooledConnection(options, &error);
  if (!pooled.connection) return Failure(error.description, error.source);
  sqlserver::BatchResult batch;
  if (!pooled.connection->Execute(command, &batch, &error)) {
    return Failure(error.description, error.source);  // the connection is closed
  }
  SqlResult result = ResultOf(batch, column_count);
  GivePooledConnection(std::move(pooled));
  return result;
}

}  // namespace

SqlResult RunSqlOn(const SqlConnectionSettings& settings, const std::string& command,
                   int column_count, SqlTimeouts timeouts) {
  return RunSqlWith(settings, command, column_count, timeouts, false);
}

SqlResult RunSqlOn(const std::string& connection_string, const std::string& command,
                   int column_count, SqlTimeouts timeouts) {
  SqlConnectionSettings settings;
  if (!ParseConnectionString(connection_string, &settings)) {
    return Failure(
        "Format of the initialization string is not valid: expected "
        "Name=value pairs separated by \";\".",
        "Microsoft OLE DB Service Components");
  }
  return RunSqlWith(settings, command, column_count, timeouts, false);
}

SqlResult RunSql(const std::string& command, int column_count, SqlTimeouts timeouts) {
  return RunSqlWith(ReadConnectionSettings(), command, column_count, timeouts, false);
}

SqlResult RunSql(const std::string& command, int column_count, SqlCaller caller) {
  return RunSqlOn(ReadConnectionSettings(), command, column_count, caller, TimeoutsFor(caller));
}

SqlResult RunSqlOn(const SqlConnectionSettings& settings, const std::string& command,
                   int column_count, SqlCaller caller, SqlTimeouts timeouts) {
  if (IsPooledCaller(caller)) return RunSqlPooled(settings, command, column_count, timeouts);
  return RunSqlWith(settings, command, column_count, timeouts, IsBulkCaller(caller));
}

bool TestConnection(const std::string& server, const std::string& database, const std::string& user,
                    const std::string& password, SqlTimeouts timeouts, std::string* source,
                    std::string* description) {
  return TestConnection(SqlConnectionSettings{server, database, user, password}, timeouts, source,
                        description);
}

bool TestConnection(const SqlConnectionSettings& settings, SqlTimeouts timeouts,
                    std::string* source, std::string* description) {
  sqlserver::ConnectOptions options = ConnectOptionsFor(settings, timeouts, /*bulk=*/false);
  sqlserver::SqlError error;
  if (sqlserver::Connection::Open(options, &error)) return true;
  *source = error.source;
  *description = error.description;
  return false;
}

KeptSqlConnection::KeptSqlConnection(SqlCaller caller) : caller_(caller) {}

KeptSqlConnection::~KeptSqlConnection() = default;

SqlResult KeptSqlConnection::Run(const std::string& command, int column_count) {
  if (!connection_) {
    sqlserver::ConnectOptions options =
        ConnectOptionsFor(ReadConnectionSettings(), TimeoutsFor(caller_), IsBulkCaller(caller_));
    sqlserver::SqlError error;
    connection_ = sqlserver::Connection::Open(options, &error);
    if (!connection_) return Failure(error.description, error.source);
  }
  return ExecuteOn(*connection_, command, column_count);
}

void KeptSqlConnection::Close() { connection_.reset(); }

}  // namespace tellwen
