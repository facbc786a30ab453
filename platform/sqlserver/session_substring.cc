// The session's substring indexes (substring_index.h): built with CREATE
// INDEX on a listed column, dropped with their table, carried along by
// sp_rename, looked up by the translator.
#include <strings.h>

#include <exception>
#include <random>

#include "platform/sqlserver/session.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/substring_index.h"

namespace tellwen::sqlserver {
namespace {

std::string RandomName() {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  char buf[40];
  snprintf(buf, sizeof buf, "_tsql_sub$%016llx", static_cast<unsigned long long>(rng()));
  return buf;
}

std::vector<BoundParam> Texts(std::initializer_list<std::string> texts) {
  std::vector<BoundParam> params;
  for (const std::string& text : texts) {
    params.emplace_back();
    params.back().value = Value::Text(text);
  }
  return params;
}

// The triggers that mark an index stale: a change of the indexed rows.
std::vector<std::pair<std::string, std::string>> StaleTriggers(const std::string& fts,
                                                               const std::string& column) {
  return {{fts + "$i", "INSERT"},
          {fts + "$d", "DELETE"},
          {fts + "$u", "UPDATE OF " + QuoteName(column)}};
}

}  // namespace

bool Session::HasSubstringRegistry() {
  bool found = false;
  RunSqlite("SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name = ?1",
            Texts({kSubstringRegistry}), [&](sqlite3_stmt*) { found = true; });
  return found;
}

bool Session::IsSubstringColumn(const std::string& column) const {
  for (const std::string& name : substring_columns_) {
    if (strcasecmp(name.c_str(), column.c_str()) == 0) return true;
  }
  return false;
}

bool Session::IsRowidColumn(const std::string& table, const std::string& column) const {
  auto* self = const_cast<Session*>(this);
  try {
    for (const ColumnInfo& c : self->TableColumns(table)) {
      if (c.rowid_identity && strcasecmp(c.name.c_str(), column.c_str()) == 0) return true;
    }
  } catch (const SqlException&) {
    // An unknown table: the statement reports it itself.
  }
  return false;
}

std::string Session::SubstringIndex(const std::string& table, const std::string& column) const {
  if (!use_substring_indexes_ || table.empty() || table[0] == '#') return "";
  auto* self = const_cast<Session*>(this);
  std::string fts;
  try {
    if (read_scopes_ > 0 && !read_snapshot_ && trancount_ == 0 &&
        sqlite3_get_autocommit(self->db_.handle())) {
      self->RunSqlite("BEGIN", {});
      self->read_snapshot_ = true;
    }
    if (!self->HasSubstringRegistry()) return "";
    self->RunSqlite(
        "SELECT fts FROM main._tsql_substring WHERE tbl = ?1 AND col = ?2 AND valid = 1",
        Texts({table, column}), [&](sqlite3_stmt* stmt) {
          fts = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        });
  } catch (const SqlException&) {
    return "";
  }
  return fts;
}

Session::ReadScope::ReadScope(Session& session)
    : session_(session),
      outermost_(!session.read_snapshot_),
      exceptions_(std::uncaught_exceptions()) {
  ++session_.read_scopes_;
}

Session::ReadScope::~ReadScope() {
  --session_.read_scopes_;
  if (!outermost_ || !session_.read_snapshot_) return;
  session_.read_snapshot_ = false;
  sqlite3* db = session_.db_.handle();
  if (sqlite3_get_autocommit(db)) return;
  // Nothing but temp tables was written; a commit that fails undoes them
  // (and the columns read of them).
  const bool failed = std::uncaught_exceptions() > exceptions_;
  if (failed || sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    session_.SchemaChanged();
  }
}

void Session::BuildSubstringIndex(const std::string& table, const std::string& column) {
  bool has_rowid = false;
  for (const ColumnInfo& c : TableColumns(table)) has_rowid = has_rowid || c.rowid_identity;
  if (!has_rowid) return;
  RunSqlite("SAVEPOINT tsql_substring", {});
  try {
    RunSqlite(kSubstringRegistryDdl, {});
    DropSubstringIndexes(table, column);
    const std::string fts = RandomName();
    const std::string name = "main." + QuoteName(fts);
    // Trigrams of the folded text, case-sensitively (the text is folded
    // already, by the collation's rules, not FTS5's); rowids only.
    RunSqlite("CREATE VIRTUAL TABLE " + name +
                  " USING fts5(v, content='', detail=none, columnsize=0, "
                  "tokenize='trigram case_sensitive 1')",
              {});
    // A value shorter than a trigram holds no literal run of one.
    RunSqlite("INSERT INTO " + name + " (rowid, v) SELECT rowid, tsql_fold(" + QuoteName(column) +
                  ") FROM main." + QuoteName(table) + " WHERE length(" + QuoteName(column) +
                  ") >= " + std::to_string(kMinLiteralRun),
              {});
    RunSqlite("INSERT INTO " + name + " (" + QuoteName(fts) + ") VALUES ('optimize')", {});
    for (const auto& [trigger, event] : StaleTriggers(fts, column)) {
      RunSqlite("CREATE TRIGGER main." + QuoteName(trigger) + " AFTER " + event + " ON " +
                    QuoteName(table) + " BEGIN UPDATE _tsql_substring SET valid = 0 WHERE fts = '" +
                    fts + "'; END",
                {});
    }
    RunSqlite("INSERT INTO main._tsql_substring (fts, tbl, col, valid) VALUES (?1, ?2, ?3, 1)",
              Texts({fts, table, column}));
  } catch (...) {
    RunSqlite("ROLLBACK TO tsql_substring", {});
    RunSqlite("RELEASE tsql_substring", {});
    throw;
  }
  RunSqlite("RELEASE tsql_substring", {});
}

void Session::DropSubstringIndexes(const std::string& table, const std::string& column) {
  if (!HasSubstringRegistry()) return;
  std::vector<std::pair<std::string, std::string>> found;  // fts, column
  RunSqlite("SELECT fts, col FROM main._tsql_substring WHERE tbl = ?1 AND (?2 = '' OR col = ?2)",
            Texts({table, column}), [&](sqlite3_stmt* stmt) {
              found.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                                 reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
            });
  for (const auto& [fts, col] : found) {
    for (const auto& trigger : StaleTriggers(fts, col)) {
      RunSqlite("DROP TRIGGER IF EXISTS main." + QuoteName(trigger.first), {});
    }
    RunSqlite("DROP TABLE IF EXISTS main." + QuoteName(fts), {});
    RunSqlite("DELETE FROM main._tsql_substring WHERE fts = ?1", Texts({fts}));
  }
}

void Session::RenameSubstringIndexes(const std::string& from, const std::string& to) {
  if (!HasSubstringRegistry()) return;
  RunSqlite("UPDATE main._tsql_substring SET tbl = ?2 WHERE tbl = ?1", Texts({from, to}));
}

}  // namespace tellwen::sqlserver
