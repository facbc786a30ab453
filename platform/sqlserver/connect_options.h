// ConnectOptions: what a connection of the embedded SQL server is opened
// with (sql_server.h), including the settings that the process environment
// gives.
//
// The server reads no environment variable anywhere else: a ConnectOptions
// reads them once, when it is built (ReadEnvironmentOptions), and
// Connection::Open passes the values down to the session and its SQLite
// statements. A program that changes the environment affects the
// connections whose options it builds afterwards.
//
// Thread safety: plain data; ReadEnvironmentOptions reads the environment
// (do not change it from another thread meanwhile).
#pragma once

#include <string>
#include <vector>

#include "base/clock.h"

namespace tellwen::sqlserver {

// The server's settings from environment variables.
struct EnvironmentOptions {
  // TELLWEN_SQL_SUBSTRING_INDEX=off (any letter case): statements never
  // read substring indexes, whatever their connection's options say (to
  // compare, or to rule the index out).
  bool substring_index_reads = true;
  // TELLWEN_SQL_TRACE set (to anything): every SQLite statement that the
  // connection compiles is written to stderr ("sqlite: <text>"), every
  // statement a PostgreSQL connection sends ("postgres: <text>").
  bool trace_statements = false;
};

// The environment's settings as they are now.
EnvironmentOptions ReadEnvironmentOptions();

// The engine that stores the databases: the embedded one (SQLite files in
// data_dir) or a PostgreSQL server (postgres_link.h).
enum class SqlEngine { kEmbedded, kPostgresql };

// What Connection::Open takes.
struct ConnectOptions {
  SqlEngine engine = SqlEngine::kEmbedded;
  // Embedded: must name this machine. PostgreSQL: "host" or "host,port".
  std::string data_source;
  std::string database;  // "" means master
  std::string user;
  std::string password;
  // The folder of master.sqlite and the database files (the database
  // session fills it in). REQUIRES: not empty.
  std::string data_dir;
  // GETDATE()'s clock (not owned); null: the machine's (MachineClock()).
  Clock* clock = nullptr;
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
  // the answers are the same, only slower. The environment's setting
  // (below) may turn them off too.
  bool use_substring_indexes = true;
  // The process environment's settings, read once, when the options are
  // built.
  EnvironmentOptions environment = ReadEnvironmentOptions();
};

}  // namespace tellwen::sqlserver
