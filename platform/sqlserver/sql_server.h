// The embedded SQL server: takes T-SQL batches, answers as SQL Server does,
// and stores each database in SQLite.
//
// Files live in the data folder the caller names in ConnectOptions:
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
// Thread safety: a Connection is used by one thread at a time. Any number of
// connections in any threads and processes may be open at once; SQLite
// serialises writers (waiting up to the connection timeout).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sqlserver/value.h"

namespace tellwen::sqlserver {

struct ConnectOptions {
  std::string data_source;  // must name this machine
  std::string database;     // "" means master
  std::string user;
  std::string password;
  // The folder of master.sqlite and the database files (the database
  // session fills it in). REQUIRES: not empty.
  std::string data_dir;
  int connection_timeout_seconds = 15;  // longest wait for a locked database; 0 = no limit
  int command_timeout_seconds = 30;     // longest run of one batch; 0 = no limit
  // A bulk job (the catalog update) that rewrites whole tables: the
  // connection gets a large page cache so that a batch rewriting a table
  // reads and writes it in memory and spills nothing to the log before its
  // commit. Durability is the same as for any other connection.
  bool bulk = false;
  // Tables that CREATE TABLE places in the database's log file (master.h):
  // those that programs write often and briefly while the catalog is being
  // rebuilt. Every program connecting to one database should pass the same
  // list; a table already present in the catalog's file stays there.
  std::vector<std::string> log_tables;
  // Text columns that get a substring (trigram) index beside their ordinary
  // one when CREATE INDEX names them alone, in a table with an INTEGER
  // PRIMARY KEY (substring_index.h). LIKE conditions with a literal run of
  // three or more characters on them then read candidates from it.
  std::vector<std::string> substring_columns;
  // Off: statements never read substring indexes (they still get built);
  // the answers are the same, only slower. The environment variable
  // TELLWEN_SQL_SUBSTRING_INDEX=off turns reading them off for every
  // connection of the process (to compare, or to rule the index out).
  bool use_substring_indexes = true;
};

struct SqlError {
  std::string description;
  std::string source;
};

struct BatchResult {
  bool has_rowset = false;                // a SELECT produced the first row set
  std::vector<std::string> column_names;  // of the first row set
  std::vector<std::vector<Value>> rows;   // the first row set
};

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

 private:
  Connection() = default;
  std::unique_ptr<Session> session_;
};

// True when name designates this machine: its host name, "localhost",
// "(local)", ".", "127.0.0.1" (letter case ignored).
bool IsLocalDataSource(const std::string& name);

}  // namespace tellwen::sqlserver
