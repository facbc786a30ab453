#include "common/sql_session.h"

#include "base/deep_stack.h"

namespace tellwen {

namespace {

thread_local SqlSettingsScope* current_scope = nullptr;

}  // namespace

SqlSettingsScope::SqlSettingsScope() : outermost_(current_scope == nullptr) {
  if (outermost_) current_scope = this;
}

SqlSettingsScope::~SqlSettingsScope() {
  if (outermost_) current_scope = nullptr;
}

SqlSettingsScope* SqlSettingsScope::Current() { return current_scope; }

const SqlConnectionSettings& SqlSettingsScope::Connection() {
  if (!have_connection_) {
    connection_ = ReadConnectionSettings();
    have_connection_ = true;
  }
  return connection_;
}

SqlTimeouts SqlSettingsScope::Timeouts(SqlCaller caller) {
  for (const auto& [known, timeouts] : timeouts_) {
    if (known == caller) return timeouts;
  }
  timeouts_.emplace_back(caller, TimeoutsFor(caller));
  return timeouts_.back().second;
}

SqlResult DatabaseSql::Run(const std::string& batch, int column_count, SqlCaller caller) {
  SqlResult result;
  SqlSettingsScope* scope = SqlSettingsScope::Current();
  if (scope == nullptr) {
    RunOnDeepStack([&] { result = RunSql(batch, column_count, caller); });
    return result;
  }
  // Read here, on the scope's thread; the batch runs on the deep stack.
  const SqlConnectionSettings& connection = scope->Connection();
  const SqlTimeouts timeouts = scope->Timeouts(caller);
  RunOnDeepStack([&] { result = RunSqlOn(connection, batch, column_count, caller, timeouts); });
  return result;
}

SqlSession& MachineSql() {
  static DatabaseSql sql;
  return sql;
}

}  // namespace tellwen
