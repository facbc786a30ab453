// The embedded SQL server: takes T-SQL batches, answers as SQL Server does,
// and stores each database in SQLite.
//
// With SqlEngine "postgresql" in its options a Connection is one to a
// PostgreSQL server instead (postgres_session.h): Open checks the server,
// the login and the database there, and batches run on that server.
//
// Files live in the data folder the caller names in ConnectOptions
// (connect_options.h):
// master.sqlite holds the logins and the list of databases, <name>.sqlite
// each database (WAL journal, so readers never wait for a writer). A
// Connection is one login to one database: Open checks the data source (it
// must name this machine), the login and the database, and Execute runs
// batches. Statements run through the pipeline lexer -> parser ->
// translator -> SQLite, with the procedural statements interpreted.
//
// Errors come back as values with SQL Server's description and the
// provider's source; nothing is thrown to the caller.
//
// A connection kept between batches sees what other connections commit: its
// cached procedures and table columns are dropped when the database's files
// changed since its last batch (their data versions).
//
// Thread safety: a Connection is used by one thread at a time. Any number of
// connections in any threads and processes may be open at once; SQLite
// serialises writers (waiting up to the connection timeout).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sqlserver/connect_options.h"
#include "platform/sqlserver/value.h"

namespace tellwen::sqlserver {

struct SqlError {
  std::string description;
  std::string source;
};

struct BatchResult {
  bool has_rowset = false;                // a SELECT produced the first row set
  std::vector<std::string> column_names;  // of the first row set
  std::vector<std::vector<Value>> rows;   // the first row set
};

class PostgresSession;
class Session;

class Connection {
 public:
  // Opens a connection; nullptr with *error filled on failure.
  static std::unique_ptr<Connection> Open(const ConnectOptions& options, SqlError* error);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Runs one batch. On an error the batch stops there, an open transaction
  // is rolled back, and false is returned; rows read before stay in result.
  bool Execute(std::string_view batch, BatchResult* result, SqlError* error);

  const std::string& database() const;

  // Makes the connection as a fresh one would be for its next batch, so that
  // it can be kept for another caller: an open transaction rolled back, the
  // connection's temp tables dropped, SET options back to their defaults.
  // false when that failed (the connection must then be closed).
  bool Reset();

 private:
  Connection();
  std::unique_ptr<Session> session_;           // the embedded engine's
  std::unique_ptr<PostgresSession> postgres_;  // the PostgreSQL engine's
};

// True when name designates this machine: its host name, "localhost",
// "(local)", ".", "127.0.0.1" (letter case ignored).
bool IsLocalDataSource(const std::string& name);

}  // namespace tellwen::sqlserver
