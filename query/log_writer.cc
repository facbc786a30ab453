#include "query/log_writer.h"

#include <vector>

namespace tellwen::query {

LogWriter::LogWriter(SqlSession& sql)
    : sql_(sql),
      group_([this](std::vector<std::string>& statements) { return Commit(statements); }) {}

SqlResult LogWriter::Write(const std::string& statement) { return group_.Write(statement); }

SqlResult LogWriter::Commit(const std::vector<std::string>& statements) {
  // One statement alone needs no transaction of its own.
  if (statements.size() == 1) {
    return sql_.Run(statements.front(), 0, SqlCaller::kQueryStatementRunner);
  }
  std::string batch = "begin tran\n";
  for (const std::string& statement : statements) {
    batch += statement;
    batch += '\n';
  }
  batch += "commit tran";
  return sql_.Run(batch, 0, SqlCaller::kQueryStatementRunner);
}

}  // namespace tellwen::query
