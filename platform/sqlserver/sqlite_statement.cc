#include "platform/sqlserver/sqlite_statement.h"

#include <cstdio>

#include "platform/sqlserver/functions.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/sqlite_messages.h"

namespace tellwen::sqlserver {
namespace {

// Beyond this many texts the cache starts afresh (its free entries).
constexpr size_t kCacheLimit = 500;

}  // namespace

Statement::Statement(SqliteDb* db, sqlite3_stmt* stmt, bool* in_use)
    : db_(db), stmt_(stmt), in_use_(in_use) {}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(other.stmt_), in_use_(other.in_use_) {
  other.stmt_ = nullptr;
  other.in_use_ = nullptr;
}

Statement::~Statement() {
  if (!stmt_) return;
  if (in_use_) {
    sqlite3_reset(stmt_);
    *in_use_ = false;
  } else {
    sqlite3_finalize(stmt_);
  }
}

void Statement::Bind(int index, const Value& v) {
  const int rc =
      v.type == Value::Type::kText
          ? sqlite3_bind_text(stmt_, index, v.s.data(), static_cast<int>(v.s.size()), SQLITE_STATIC)
          : BindValue(stmt_, index, v);
  if (rc != SQLITE_OK) db_->Throw(rc);
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  db_->Throw(rc);
}

int64_t Statement::StepWrite() {
  while (Step()) {
  }
  const int64_t changes = sqlite3_changes64(db_->handle());
  sqlite3_reset(stmt_);
  return changes;
}

SqliteDb::SqliteDb(sqlite3* db) : db_(db) {}

SqliteDb::~SqliteDb() {
  for (auto& [sql, entry] : cache_) sqlite3_finalize(entry.stmt);
  sqlite3_close_v2(db_);
}

void SqliteDb::Throw(int rc) const {
  if (timed_out_ || rc == SQLITE_INTERRUPT) ThrowSql("Query timeout expired");
  ThrowSql(MapSqliteMessage(sqlite3_errmsg(db_)));
}

sqlite3_stmt* SqliteDb::Compile(const std::string& sql) {
  if (trace_statements_) fprintf(stderr, "sqlite: %s\n", sql.c_str());
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                                    SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    Throw(rc);
  }
  return stmt;
}

Statement SqliteDb::Prepare(const std::string& sql) {
  auto it = cache_.find(sql);
  if (it != cache_.end()) {
    if (it->second.in_use) return Statement(this, Compile(sql), nullptr);
    sqlite3_clear_bindings(it->second.stmt);
    it->second.in_use = true;
    return Statement(this, it->second.stmt, &it->second.in_use);
  }
  sqlite3_stmt* stmt = Compile(sql);
  if (cache_.size() > kCacheLimit) {
    // Entries in use stay: their handles point at them.
    for (auto e = cache_.begin(); e != cache_.end();) {
      if (e->second.in_use) {
        ++e;
      } else {
        sqlite3_finalize(e->second.stmt);
        e = cache_.erase(e);
      }
    }
  }
  Cached& entry = cache_[sql];
  entry.stmt = stmt;
  entry.in_use = true;
  return Statement(this, stmt, &entry.in_use);
}

Statement SqliteDb::PrepareOnce(const std::string& sql) {
  return Statement(this, Compile(sql), nullptr);
}

}  // namespace tellwen::sqlserver
