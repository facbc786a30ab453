#include "platform/sqlserver/sql_server.h"

#include <sqlite3.h>
#include <strings.h>

#include "platform/sqlserver/functions.h"
#include "platform/sqlserver/lock_waits.h"
#include "platform/sqlserver/master.h"
#include "platform/sqlserver/postgres_link.h"
#include "platform/sqlserver/postgres_session.h"
#include "platform/sqlserver/session.h"
#include "platform/sqlserver/sql_error.h"

namespace tellwen::sqlserver {

bool IsLocalDataSource(const std::string& raw) {
  std::string name = raw;
  while (!name.empty() && name.back() == ' ') name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  if (name.rfind("tcp:", 0) == 0) name = name.substr(4);
  static const char* kLocal[] = {"localhost", "(local)", ".", "127.0.0.1"};
  for (const char* local : kLocal) {
    if (strcasecmp(name.c_str(), local) == 0) return true;
  }
  const std::string host = ServerName();
  if (strcasecmp(name.c_str(), host.c_str()) == 0) return true;
  // The short name of a fully qualified host name.
  const size_t dot = host.find('.');
  return dot != std::string::npos && strcasecmp(name.c_str(), host.substr(0, dot).c_str()) == 0;
}

Connection::Connection() = default;

std::unique_ptr<Connection> Connection::Open(const ConnectOptions& options, SqlError* error) {
  error->source = kErrorSource;
  if (options.engine == SqlEngine::kPostgresql) {
    std::unique_ptr<PostgresLink> link = PostgresLink::Open(options, error);
    if (!link) return nullptr;
    std::unique_ptr<Connection> connection(new Connection());
    try {
      connection->postgres_ = std::make_unique<PostgresSession>(
          std::move(link), options.database.empty() ? "master" : options.database);
    } catch (const SqlException& e) {
      error->description = e.description;
      return nullptr;
    }
    connection->postgres_->set_command_timeout(options.command_timeout_seconds);
    connection->postgres_->set_trace_statements(options.environment.trace_statements);
    connection->postgres_->set_substring_columns(options.substring_columns);
    connection->postgres_->set_use_substring_indexes(options.use_substring_indexes &&
                                                     options.environment.substring_index_reads);
    return connection;
  }
  if (!IsLocalDataSource(options.data_source)) {
    error->description =
        "[DBNETLIB][ConnectionOpen (Connect()).]SQL Server does not exist or access denied.";
    return nullptr;
  }
  const int busy_ms = options.connection_timeout_seconds <= 0
                          ? 24 * 3600 * 1000
                          : options.connection_timeout_seconds * 1000;
  if (options.data_dir.empty()) {
    error->description = "The server's data folder is not set.";
    return nullptr;
  }
  const std::string& dir = options.data_dir;
  std::string message;
  const std::string database = options.database.empty() ? "master" : options.database;
  bool exists = false;
  if (!CheckLogin(dir, options.user, options.password, busy_ms, &message, &database, &exists)) {
    error->description = message;
    return nullptr;
  }
  if (!ValidDatabaseName(database) || !exists) {
    error->description =
        "Cannot open database \"" + database + "\" requested by the login. The login failed.";
    return nullptr;
  }
  sqlite3* db = OpenDatabase(dir, database, busy_ms, &message);
  if (!db) {
    error->description = message;
    return nullptr;
  }
  if (options.clock != nullptr) UseClockForGetDate(db, options.clock);
  if (options.bulk) {
    // The update job rewrites whole tables, batch after batch: 256 MiB of
    // page cache (a catalog of a million rows fits whole), reads through a
    // memory map, and the log folded back only when it passes 1 GiB instead
    // of after every large commit (its "dbcc shrinkdatabase" folds it back
    // at the end). Commits stay as durable as any other connection's (WAL,
    // synchronous NORMAL); a failure here leaves the defaults.
    sqlite3_exec(db, "PRAGMA cache_size=-262144; PRAGMA mmap_size=1073741824;", nullptr, nullptr,
                 nullptr);
    WakeWaitersOnCommit(db, 262144);
  }
  std::unique_ptr<Connection> connection(new Connection());
  connection->session_ = std::make_unique<Session>(db, database, dir, options.user);
  connection->session_->set_command_timeout(options.command_timeout_seconds);
  connection->session_->set_log_tables(options.log_tables);
  connection->session_->set_substring_columns(options.substring_columns);
  connection->session_->set_use_substring_indexes(options.use_substring_indexes &&
                                                  options.environment.substring_index_reads);
  connection->session_->set_trace_statements(options.environment.trace_statements);
  return connection;
}

Connection::~Connection() = default;

bool Connection::Execute(std::string_view batch, BatchResult* result, SqlError* error) {
  std::string description;
  Interpreter& session = postgres_ ? static_cast<Interpreter&>(*postgres_) : *session_;
  if (session.RunBatch(batch, result, &description)) return true;
  error->description = description;
  error->source = kErrorSource;
  return false;
}

const std::string& Connection::database() const {
  return postgres_ ? postgres_->database() : session_->database();
}

bool Connection::Reset() { return postgres_ ? postgres_->Reset() : session_->Reset(); }

}  // namespace tellwen::sqlserver
