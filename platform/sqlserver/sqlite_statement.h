// SQLite access for one session: the database handle, its cache of prepared
// statements, and Statement, the handle through which every statement is
// bound and stepped.
//
// A Statement gives its SQLite statement back when it goes out of scope,
// also when an exception passes: a cached one is reset for the next user, a
// private one is finalized. Nobody calls sqlite3_finalize by hand. Errors are
// thrown as SqlException in SQL Server's words (sqlite_messages.h).
//
// Thread safety: one thread at a time (the session's).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/sqlserver/value.h"

namespace tellwen::sqlserver {

class SqliteDb;

class Statement {
 public:
  Statement(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& operator=(Statement&&) = delete;
  ~Statement();

  sqlite3_stmt* get() const { return stmt_; }

  // Binds v to parameter index (1-based). Text is bound without a copy:
  // REQUIRES: v outlives the last Step of this statement.
  void Bind(int index, const Value& v);
  // Steps once: true at a row, false at the end; throws on an error.
  bool Step();
  // Steps a statement that returns no rows to its end; returns the number of
  // rows it changed. Throws on an error.
  int64_t StepWrite();

 private:
  friend class SqliteDb;
  Statement(SqliteDb* db, sqlite3_stmt* stmt, bool* in_use);

  SqliteDb* db_;
  sqlite3_stmt* stmt_;
  bool* in_use_;  // the cache entry's flag; nullptr for a private statement
};

class SqliteDb {
 public:
  // Takes ownership of db.
  explicit SqliteDb(sqlite3* db);
  ~SqliteDb();  // finalizes the cache and closes the handle (a transaction left open rolls back)
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  sqlite3* handle() const { return db_; }

  // A statement for sql, from the cache when its cached copy is free (a
  // recursive use of the same text gets a private copy).
  Statement Prepare(const std::string& sql);
  // A statement that is never cached (PRAGMAs, whose rows are fixed when
  // they are prepared).
  Statement PrepareOnce(const std::string& sql);

  // Throws the failure rc in SQL Server's words; "Query timeout expired"
  // once the command timeout has interrupted the statement.
  [[noreturn]] void Throw(int rc) const;

  // On: every statement compiled is written to stderr ("sqlite: <text>").
  void set_trace_statements(bool trace) { trace_statements_ = trace; }

  // Set by the session's deadline check when the command timeout passed.
  void set_timed_out(bool timed_out) { timed_out_ = timed_out; }
  bool timed_out() const { return timed_out_; }

 private:
  struct Cached {
    sqlite3_stmt* stmt = nullptr;
    bool in_use = false;
  };
  sqlite3_stmt* Compile(const std::string& sql);

  sqlite3* db_;
  bool timed_out_ = false;
  bool trace_statements_ = false;
  std::unordered_map<std::string, Cached> cache_;
};

}  // namespace tellwen::sqlserver
