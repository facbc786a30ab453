// The statement executor of the update job: every batch the update runner and
// the loader send goes through this interface, so that tests can count the
// batches and make chosen ones fail.
//
// Thread safety: SessionSqlExecutor keeps no state and may be used from any
// thread; other implementations state their own rules.
#pragma once

#include <string>

#include "common/db_session.h"

namespace tellwen::indexer {

class SqlExecutor {
 public:
  virtual ~SqlExecutor() = default;
  // Runs one batch on a new session with the caller's timeouts. With
  // column_count 0 no rows are returned.
  virtual SqlResult Run(const std::string& batch, int column_count, SqlCaller caller) = 0;
};

// The real thing: one database session (RunSql) per batch.
class SessionSqlExecutor : public SqlExecutor {
 public:
  SqlResult Run(const std::string& batch, int column_count, SqlCaller caller) override {
    return RunSql(batch, column_count, caller);
  }
};

}  // namespace tellwen::indexer
