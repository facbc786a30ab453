// The update job's statement executor. The task bodies of one run share one
// connection (KeptSqlConnection), so that a transaction that one task body
// begins goes on through the following tasks until the task that commits it:
// the swap of the live tables and the re-created stored procedures commit
// together, and a run that dies in between leaves the old catalog whole, with
// its procedures. The load, category and setup batches (SqlCaller
// kIndexerBatch) get a session each, with their own timeouts.
//
// Every batch runs on a stack deep enough for the embedded server's parser.
// Destroying the executor closes the kept connection; a transaction still
// open then is rolled back.
//
// Thread safety: one call at a time (the runner's thread).
#pragma once

#include <string>

#include "common/db_session.h"
#include "common/sql_session.h"

namespace tellwen::indexer {

class UpdateSql : public SqlSession {
 public:
  SqlResult Run(const std::string& batch, int column_count, SqlCaller caller) override;

 private:
  KeptSqlConnection task_connection_{SqlCaller::kIndexerTaskBody};
  DatabaseSql batches_;
};

}  // namespace tellwen::indexer
