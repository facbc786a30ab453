// SqlSession: the one way a program sends T-SQL to the catalog database.
//
// Jobs, pages and windows take a SqlSession& rather than calling RunSql, so
// that tests can record the batches and fail chosen ones (the fake in
// tests/support). DatabaseSql is the real one: one database session
// (common/db_session.h) per batch with the caller's timeouts, run on a stack
// deep enough for the embedded server's parser (common/deep_stack.h).
//
// Thread safety: DatabaseSql keeps no state; any number of threads may call
// it at once. Other implementations state their own rules.
#pragma once

#include <string>

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

}  // namespace tellwen
