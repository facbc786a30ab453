#include "common/sql_session.h"

#include "common/deep_stack.h"

namespace tellwen {

SqlResult DatabaseSql::Run(const std::string& batch, int column_count, SqlCaller caller) {
  SqlResult result;
  RunOnDeepStack([&] { result = RunSql(batch, column_count, caller); });
  return result;
}

SqlSession& MachineSql() {
  static DatabaseSql sql;
  return sql;
}

}  // namespace tellwen
