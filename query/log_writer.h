// LogWriter: the site's own log rows (stat_access, stat_access_failure,
// stat_searchs, and the mark of a failed search in stat_last_queries),
// written with group commit (base/group_commit.h): the statements that
// pages hand in at the same moment run as one batch in one transaction, so
// that concurrent pages share one commit instead of queuing for the log
// file's write lock one by one.
//
// Write returns when the batch holding the statement has committed (or
// failed): a row is never acknowledged before it is in the database, as
// durable as any commit of the database session. A batch stops at its first
// error and rolls back whole (its connection is closed); its statements are
// then run one by one, so that one page's faulty row costs no other page
// its row, and each page sees its own statement's result.
//
// The rows spSearch keeps in stat_last_queries (a search running, then
// done) are written by the procedure itself, in its own short transactions
// on the log file, and are not grouped here: every caller of spSearch sees
// the procedure as it is.
//
// The site's log rows are the first writes a full disk stops; failures()
// tells the pages when such a run of failures begins and ends, so that they
// report it once (query/failure_run.h) while still showing their results.
//
// Thread safety: any number of threads at once; the SqlSession must allow
// calls from many threads.
#pragma once

#include <string>

#include "base/group_commit.h"
#include "common/sql_session.h"
#include "query/failure_run.h"

namespace tellwen::query {

class LogWriter {
 public:
  // sql outlives the writer.
  explicit LogWriter(SqlSession& sql);

  // Runs one statement that writes a log table and returns no rows, in the
  // next group's batch (with the statement runner's timeouts); the batch's
  // result.
  SqlResult Write(const std::string& statement);

  // The run of failed log writes the pages report at its start and end.
  FailureRun& failures() { return failures_; }

 private:
  // One page's statement and, once committed, its result.
  struct Pending {
    const std::string* statement;
    SqlResult result;
  };
  bool Commit(const std::vector<Pending*>& pending);

  SqlSession& sql_;
  GroupCommit<Pending*, bool> group_;
  FailureRun failures_;
};

}  // namespace tellwen::query
