// The session on SQLite: the interpreter's hooks for batches and
// expressions, transactions, and the one path by which statements with
// parameters reach SQLite.
#include "platform/sqlserver/session.h"

#include <strings.h>

#include "platform/sqlserver/conversions.h"
#include "platform/sqlserver/functions.h"
#include "platform/sqlserver/master.h"
#include "platform/sqlserver/sql_error.h"

namespace tellwen::sqlserver {
namespace {

int ProgressHandler(void* data) { return static_cast<Session*>(data)->DeadlinePassed() ? 1 : 0; }

}  // namespace

Session::Session(sqlite3* db, std::string database, std::string data_dir, std::string login)
    : Interpreter(std::move(database)),
      db_(db),
      data_dir_(std::move(data_dir)),
      login_(std::move(login)) {
  sqlite3_progress_handler(db, 4000, ProgressHandler, this);
  // tsql_tally(x) counts the rows a fused update sets (RunClearThenSet).
  sqlite3_create_function(
      db, "tsql_tally", 1, SQLITE_UTF8, this,
      [](sqlite3_context* ctx, int, sqlite3_value** argv) {
        ++static_cast<Session*>(sqlite3_user_data(ctx))->tally_;
        sqlite3_result_value(ctx, argv[0]);
      },
      nullptr, nullptr);
}

Session::~Session() = default;

void Session::OnTimeout() { db_.set_timed_out(true); }

// ---- SQLite statements with parameters ----

int64_t Session::RunSqlite(const std::string& sql, const std::vector<BoundParam>& params,
                           const RowSink& sink, std::vector<std::string>* names) {
  CheckDeadline();
  Statement stmt = db_.Prepare(sql);
  // Values of variables and globals, held until the statement has run
  // (literals are bound from params directly, without a copy).
  std::vector<Value> held;
  held.reserve(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    const BoundParam& p = params[i];
    const Value* v = &p.value;
    if (p.kind == BoundParam::Kind::kVariable) {
      v = &VariableValue(p.name);
    } else if (p.kind == BoundParam::Kind::kSystem) {
      held.push_back(SystemValue(p.name));
      v = &held.back();
    }
    stmt.Bind(static_cast<int>(i) + 1, *v);
  }
  while (stmt.Step()) {
    if (sink) sink(stmt.get());
  }
  if (names) {
    for (int i = 0; i < sqlite3_column_count(stmt.get()); ++i) {
      names->push_back(sqlite3_column_name(stmt.get(), i));
    }
  }
  return sqlite3_changes64(db_.handle());
}

// ---- the interpreter's hooks ----

void Session::BeforeBatch() {
  db_.set_timed_out(false);
  CheckDataVersions();
}

void Session::AfterFailedBatch() {
  sqlite3* db = db_.handle();
  if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  // Temp tables of procedures and dynamic SQL end with them.
  for (size_t i = 1; i < scopes_.size(); ++i) {
    for (const std::string& t : scopes_[i].temp_tables) {
      sqlite3_exec(db, ("DROP TABLE IF EXISTS temp." + QuoteName(t)).c_str(), nullptr, nullptr,
                   nullptr);
    }
  }
}

void Session::DropTempTable(const std::string& name) {
  RunSqlite("DROP TABLE IF EXISTS temp." + QuoteName(name), {});
}

void Session::RunTruncate(const Stmt& s) { RunSqlite("DELETE FROM " + TableName(s.table), {}); }

void Session::RunDbcc(const Stmt&) {
  // The database file shrinks when its write-ahead log is folded back.
  if (sqlite3_get_autocommit(db_.handle())) {
    sqlite3_wal_checkpoint_v2(db_.handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  }
}

Value Session::EvaluateOnEngine(const Expr& e) {
  ReadScope read(*this);
  Translator t(*this);
  const std::string sql = "SELECT " + t.Expression(e);
  Value v;
  bool first = true;
  RunSqlite(sql, t.params(), [&](sqlite3_stmt* stmt) {
    if (first) v = ColumnValue(stmt, 0);
    first = false;
  });
  return v;
}

bool Session::ConditionOnEngine(const Expr& e) {
  ReadScope read(*this);
  Translator t(*this);
  const std::string sql = "SELECT CASE WHEN " + t.Expression(e) + " THEN 1 ELSE 0 END";
  bool result = false;
  RunSqlite(sql, t.params(), [&](sqlite3_stmt* stmt) { result = sqlite3_column_int(stmt, 0); });
  return result;
}

void Session::CheckDataVersions() {
  auto version = [this](const char* schema) {
    int64_t v = -1;
    RunSqlite(std::string("PRAGMA ") + schema + ".data_version", {},
              [&](sqlite3_stmt* stmt) { v = sqlite3_column_int64(stmt, 0); });
    return v;
  };
  const int64_t main_version = version("main");
  int64_t logs_version = -1;
  if (sqlite3_db_filename(db_.handle(), kLogSchema) != nullptr) {
    RunSqlite(std::string("PRAGMA ") + kLogSchema + ".schema_version", {},
              [&](sqlite3_stmt* stmt) { logs_version = sqlite3_column_int64(stmt, 0); });
  }
  if (main_version != main_version_) {
    // Procedures live in the catalog's file.
    procedures_.clear();
    literal_insert_sql_.clear();
    ForgetTables();
  } else if (logs_version != logs_version_) {
    literal_insert_sql_.clear();
    ForgetTables();
  }
  main_version_ = main_version;
  logs_version_ = logs_version;
}

bool Session::Reset() {
  sqlite3* db = db_.handle();
  // A statement left stepping would hold its read snapshot while kept.
  for (sqlite3_stmt* stmt = sqlite3_next_stmt(db, nullptr); stmt != nullptr;
       stmt = sqlite3_next_stmt(db, stmt)) {
    if (sqlite3_stmt_busy(stmt)) sqlite3_reset(stmt);
  }
  if (!sqlite3_get_autocommit(db) &&
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return false;
  }
  trancount_ = 0;
  snapshot_isolation_ = false;
  read_scopes_ = 0;
  read_snapshot_ = false;
  scopes_.clear();
  try {
    std::vector<std::string> temp_tables;
    RunSqlite("SELECT name FROM temp.sqlite_master WHERE type = 'table'", {},
              [&](sqlite3_stmt* stmt) {
                temp_tables.push_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
              });
    for (const std::string& t : temp_tables) {
      RunSqlite("DROP TABLE IF EXISTS temp." + QuoteName(t), {});
    }
    if (!temp_tables.empty()) TempSchemaChanged();
  } catch (const SqlException&) {
    return false;
  }
  return sqlite3_get_autocommit(db) != 0;
}

// ---- transactions ----

void Session::BeginTran(const std::vector<StmtPtr>* list, size_t next) {
  BeginTranWriting(list ? TransactionWrites(*list, next) : kWritesAny);
}

void Session::BeginTranWriting(unsigned writes) {
  if (trancount_ == 0) {
    if (!sqlite3_get_autocommit(db_.handle())) {
      ThrowSql("The transaction state of the session is inconsistent.");
    }
    if (snapshot_isolation_) {
      // No write lock; the snapshot of the catalog's file is taken here
      // (reading its header), not at the transaction's first read.
      RunSqlite("BEGIN", {});
      RunSqlite("PRAGMA main.schema_version", {});
    } else if (writes == kWritesAny) {
      RunSqlite("BEGIN IMMEDIATE", {});  // every attached file
    } else {
      // A write that changes nothing takes a file's write lock (waiting up
      // to the connection timeout) without touching the other file.
      RunSqlite("BEGIN", {});
      if (writes & kWritesMain) RunSqlite("DELETE FROM main._tsql_procedures WHERE 0", {});
      if (writes & kWritesLogs) RunSqlite("DELETE FROM logs._tsql_writer WHERE 0", {});
    }
  }
  ++trancount_;
}

void Session::CommitTran() {
  if (trancount_ == 0) {
    ThrowSql("The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  }
  if (--trancount_ == 0) RunSqlite("COMMIT", {});
}

void Session::RollbackTran() {
  if (trancount_ == 0) {
    ThrowSql("The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  }
  trancount_ = 0;
  RunSqlite("ROLLBACK", {});
  SchemaChanged();
}

}  // namespace tellwen::sqlserver
