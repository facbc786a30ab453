// SqlSession: the one way a program sends T-SQL to the catalog database.
//
// Jobs, pages and windows take a SqlSession& rather than calling RunSql, so
// that tests can record the batches and fail chosen ones (the fake in
// tests/support). DatabaseSql is the real one: one database session
// (common/db_session.h) per batch with the caller's timeouts, run on a stack
// deep enough for the embedded server's parser (base/deep_stack.h).
//
// Thread safety: DatabaseSql keeps no state of its own (see SqlSettingsScope
// below); any number of threads may call it at once. Other implementations
// state their own rules.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/db_session.h"

namespace tellwen {

class SqlSession {
 public:
  virtual ~SqlSession() = default;
  // Runs one batch. column_count as RunSql takes it: 0 runs it without rows,
  // n > 0 reads the first n fields of every row, n < 0 every field.
  virtual SqlResult Run(const std::string& batch, int column_count, SqlCaller caller) = 0;
};

class DatabaseSql : public SqlSession {
 public:
  SqlResult Run(const std::string& batch, int column_count, SqlCaller caller) override;
};

// A process-wide DatabaseSql.
SqlSession& MachineSql();

// While one lives on a thread, the DatabaseSql calls made from that thread
// read the connection settings (ReadConnectionSettings) and each caller's
// timeouts (TimeoutsFor) once, at the first call that needs them, and reuse
// them until the scope ends: a web request runs with the values of its
// start and does not read the settings store again for every batch. Scopes
// do not nest: one opened inside another leaves the outer one in force.
//
// Thread safety: belongs to the thread that made it; destroy it there.
class SqlSettingsScope {
 public:
  SqlSettingsScope();
  ~SqlSettingsScope();
  SqlSettingsScope(const SqlSettingsScope&) = delete;
  SqlSettingsScope& operator=(const SqlSettingsScope&) = delete;

  // The scope in force on this thread, or nullptr.
  static SqlSettingsScope* Current();

  const SqlConnectionSettings& Connection();
  SqlTimeouts Timeouts(SqlCaller caller);

 private:
  bool outermost_;
  bool have_connection_ = false;
  SqlConnectionSettings connection_;
  std::vector<std::pair<SqlCaller, SqlTimeouts>> timeouts_;
};

}  // namespace tellwen
