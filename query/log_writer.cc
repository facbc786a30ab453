#include "query/log_writer.h"

#include <vector>

namespace tellwen::query {

LogWriter::LogWriter(SqlSession& sql)
    : sql_(sql), group_([this](std::vector<Pending*>& pending) { return Commit(pending); }) {}

SqlResult LogWriter::Write(const std::string& statement) {
  Pending pending{&statement, {}};
  group_.Write(&pending);
  return pending.result;
}

bool LogWriter::Commit(const std::vector<Pending*>& pending) {
  if (pending.size() > 1) {
    std::string batch = "begin tran\n";
    for (const Pending* p : pending) {
      batch += *p->statement;
      batch += '\n';
    }
    batch += "commit tran";
    const SqlResult result = sql_.Run(batch, 0, SqlCaller::kQueryStatementRunner);
    if (!result.error) {
      for (Pending* p : pending) p->result = result;
      return true;
    }
    // Nothing of the batch was committed: each statement alone.
  }
  for (Pending* p : pending) {
    p->result = sql_.Run(*p->statement, 0, SqlCaller::kQueryStatementRunner);
  }
  return true;
}

}  // namespace tellwen::query
