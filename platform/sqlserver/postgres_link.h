// PostgresLink: one connection to a PostgreSQL server through libpq, the
// engine behind the T-SQL front end when a connection's options name
// SqlEngine "postgresql" (connect_options.h). Everything that talks to
// libpq lives here.
//
// The data source is named as SQL Server names a server: "host" or
// "host,port" (5432 by default; "tcp:" before it is accepted, blanks around
// the parts do not count). The database "master" is the server's
// maintenance database, "postgres". The password reaches libpq as a
// connection keyword only: never an environment variable, a command line
// or a file. The connection timeout is libpq's connect_timeout, the command
// timeout the session's statement_timeout (0: no limit either way). The
// session reads backslashes as plain characters (standard_conforming_strings),
// whatever the server's default: the translator's literals rely on it.
//
// Values: integers (smallint, integer, bigint, boolean as 0/1) come back as
// Value::Int, real/double precision/numeric as Value::Float, everything
// else (timestamps too: ISO, as DateStyle ISO writes them) as its text; NULL as
// Value::Null. Parameters ($1, $2, ...) go as integers (bigint), floats
// (double precision) or texts of a type the statement decides.
//
// A query or row change (SELECT, INSERT, UPDATE, DELETE, WITH) is prepared
// on the server the second time its text (with the same parameter types) is
// run, and runs prepared from then on: the programs' fixed statements (the
// search's log rows, the constants it reads) are then parsed and planned
// once per connection. A prepared
// statement that meets a table whose columns changed is run again
// unprepared when no transaction is open; a DDL statement sent through the
// link forgets every prepared one.
//
// Texts (statements, parameters) reach the server as UTF-8: a byte that is
// not part of valid UTF-8 is read as its Latin-1 character.
//
// Errors carry the server's own message (its first line, without the
// severity word): Open fills a SqlError, Run throws SqlException
// (sql_error.h).
//
// Thread safety: one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sqlserver/connect_options.h"
#include "platform/sqlserver/sql_server.h"
#include "platform/sqlserver/value.h"

struct pg_conn;
struct pg_result;

namespace tellwen::sqlserver {

struct PostgresAddress {
  std::string host;
  int port = 5432;
};

// false when name is not "host" or "host,port" with a port from 1 to 65535.
bool ParsePostgresDataSource(const std::string& name, PostgresAddress* address);

struct PostgresRows {
  std::vector<std::string> column_names;
  std::vector<std::vector<Value>> rows;
  int64_t changed = 0;  // rows an INSERT, UPDATE or DELETE changed
};

class PostgresLink {
 public:
  // A connection to the server, database, user and password of options;
  // nullptr with *error filled when it cannot be made.
  static std::unique_ptr<PostgresLink> Open(const ConnectOptions& options, SqlError* error);
  ~PostgresLink();
  PostgresLink(const PostgresLink&) = delete;
  PostgresLink& operator=(const PostgresLink&) = delete;

  // Runs one statement with its parameters; rows (when given) receive its
  // row set. Throws SqlException on an error.
  void Run(const std::string& sql, const std::vector<Value>& params, PostgresRows* rows = nullptr);
  // COPY ... FROM STDIN (copy_sql) with data in COPY's text format; the rows
  // it wrote. Throws SqlException on an error.
  int64_t Copy(const std::string& copy_sql, const std::string& data);
  // Whether a transaction is open (also one that failed and awaits its end).
  bool InTransaction() const;
  // Whether the connection still works (it may have been cut).
  bool Alive() const;

 private:
  explicit PostgresLink(pg_conn* conn) : conn_(conn) {}
  // Throws the error of result (its server's words; the connection's when
  // result is nullptr), clearing result.
  [[noreturn]] void Fail(pg_result* result);
  // The prepared statement's name for key (text and parameter types), ""
  // when it is not prepared (yet, or could not be).
  std::string Prepared(const std::string& key, const std::string& sql,
                       const std::vector<unsigned>& types);
  void ForgetPrepared();
  pg_conn* conn_;
  // Key -> statement number; a negative number counts runs before the
  // statement is prepared.
  std::unordered_map<std::string, int> prepared_;
  int next_statement_ = 0;
};

}  // namespace tellwen::sqlserver
