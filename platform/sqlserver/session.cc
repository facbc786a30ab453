// The session itself: batches, the statement dispatch and control flow,
// variables, transactions, and the one path by which statements with
// parameters reach SQLite.
#include "platform/sqlserver/session.h"

#include <strings.h>

#include "platform/sqlserver/conversions.h"
#include "platform/sqlserver/functions.h"
#include "platform/sqlserver/master.h"
#include "platform/sqlserver/parser.h"
#include "platform/sqlserver/sql_error.h"

namespace tellwen::sqlserver {
namespace {

int ProgressHandler(void* data) { return static_cast<Session*>(data)->DeadlinePassed() ? 1 : 0; }

}  // namespace

Session::Session(sqlite3* db, std::string database, std::string data_dir, std::string login)
    : db_(db),
      database_(std::move(database)),
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

bool Session::DeadlinePassed() {
  if (command_timeout_seconds_ <= 0) return false;
  if (std::chrono::steady_clock::now() < deadline_) return false;
  db_.set_timed_out(true);
  return true;
}

void Session::CheckDeadline() {
  if (DeadlinePassed()) ThrowSql("Query timeout expired");
}

const TypeSpec* Session::VariableType(const std::string& name) const {
  if (scopes_.empty()) return nullptr;
  auto it = scopes_.back().vars.find(name);
  return it == scopes_.back().vars.end() ? nullptr : &it->second.type;
}

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
      held.push_back(p.name == "@@rowcount"    ? Value::Int(rowcount_)
                     : p.name == "@@trancount" ? Value::Int(trancount_)
                     : p.name == "@@spid"      ? Value::Int(51)
                                               : Value::Int(0));
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

// ---- batch ----

bool Session::RunBatch(std::string_view text, BatchResult* result, std::string* error) {
  result_ = result;
  db_.set_timed_out(false);
  deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(command_timeout_seconds_);
  try {
    CheckDataVersions();
    scopes_.clear();
    scopes_.emplace_back();
    if (!RunLoaderBatch(text)) {
      Batch batch;
      std::string parse_error;
      if (!ParseBatch(text, &batch, &parse_error)) ThrowSql(parse_error);
      RunList(batch.statements);
    }
    scopes_.clear();
  } catch (const SqlException& e) {
    *error = e.description;
    sqlite3* db = db_.handle();
    if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    trancount_ = 0;
    // Temp tables of procedures and dynamic SQL end with them.
    for (size_t i = 1; i < scopes_.size(); ++i) {
      for (const std::string& t : scopes_[i].temp_tables) {
        sqlite3_exec(db, ("DROP TABLE IF EXISTS temp." + QuoteName(t)).c_str(), nullptr, nullptr,
                     nullptr);
      }
    }
    scopes_.clear();
    insert_exec_rows_ = nullptr;
    exec_depth_ = 0;
    result_ = nullptr;
    return false;
  }
  result_ = nullptr;
  return true;
}

Session::Flow Session::RunList(const std::vector<StmtPtr>& list) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (i + 1 < list.size() && RunClearThenSet(*list[i], *list[i + 1])) {
      ++i;
      continue;
    }
    if (list[i]->kind == Stmt::Kind::kBeginTran) {
      CheckDeadline();
      BeginTran(TransactionWrites(list, i + 1));
      continue;
    }
    Flow f = Run(*list[i]);
    if (f != Flow::kNormal) return f;
  }
  return Flow::kNormal;
}

Session::Flow Session::Run(const Stmt& s) {
  CheckDeadline();
  switch (s.kind) {
    case Stmt::Kind::kSelect:
      RunSelect(s);
      break;
    case Stmt::Kind::kInsert:
      RunInsert(s);
      break;
    case Stmt::Kind::kUpdate:
      RunUpdate(s);
      break;
    case Stmt::Kind::kDelete:
      RunDelete(s);
      break;
    case Stmt::Kind::kTruncate:
      RunSqlite("DELETE FROM " + TableName(s.table), {});
      break;
    case Stmt::Kind::kCreateTable:
      RunCreateTable(s);
      break;
    case Stmt::Kind::kDropTable:
      RunDropTable(s);
      break;
    case Stmt::Kind::kAlterTableAdd:
      RunAlterTableAdd(s);
      break;
    case Stmt::Kind::kAlterTableDrop:
      RunAlterTableDrop(s);
      break;
    case Stmt::Kind::kCreateIndex:
      RunCreateIndex(s);
      break;
    case Stmt::Kind::kDropIndex:
      RunDropIndex(s);
      break;
    case Stmt::Kind::kCreateProcedure:
      RunCreateProcedure(s);
      break;
    case Stmt::Kind::kDropProcedure:
      RunDropProcedure(s);
      break;
    case Stmt::Kind::kCreateDatabase:
      RunCreateDatabase(s);
      break;
    case Stmt::Kind::kAlterLogin:
      RunAlterLogin(s);
      break;
    case Stmt::Kind::kDeclare:
      RunDeclare(s);
      break;
    case Stmt::Kind::kSetVariable:
      if (!VariableType(s.variable)) {
        ThrowSql("Must declare the scalar variable \"" + s.variable + "\".");
      }
      Assign(s.variable, Evaluate(*s.expr));
      rowcount_ = 1;
      break;
    case Stmt::Kind::kSetOption:
      if (s.set_option == "rowcount" && s.set_value != "0") {
        ThrowSql("SET ROWCOUNT is not supported by this server.");
      }
      if (s.set_option == "transaction") snapshot_isolation_ = s.set_value == "snapshot";
      break;
    case Stmt::Kind::kIf:
      if (Condition(*s.expr)) return Run(*s.then_branch);
      if (s.else_branch) return Run(*s.else_branch);
      break;
    case Stmt::Kind::kWhile:
      while (Condition(*s.expr)) {
        Flow f = Run(*s.then_branch);
        if (f == Flow::kBreak) break;
        if (f == Flow::kReturn) return f;
        CheckDeadline();
      }
      break;
    case Stmt::Kind::kBlock:
      return RunList(s.body);
    case Stmt::Kind::kBeginTran:
      BeginTran();
      break;
    case Stmt::Kind::kCommitTran:
      CommitTran();
      break;
    case Stmt::Kind::kRollbackTran:
      RollbackTran();
      break;
    case Stmt::Kind::kReturn:
      if (s.expr) scopes_.back().return_value = Evaluate(*s.expr);
      return Flow::kReturn;
    case Stmt::Kind::kBreak:
      return Flow::kBreak;
    case Stmt::Kind::kContinue:
      return Flow::kContinue;
    case Stmt::Kind::kExecProc:
      RunExecProc(s);
      break;
    case Stmt::Kind::kExecString:
      RunExecString(s);
      break;
    case Stmt::Kind::kUse:
      if (strcasecmp(s.database.c_str(), database_.c_str()) != 0) {
        ThrowSql("USE of another database ('" + s.database +
                 "') is not supported inside a session of this server; connect to it.");
      }
      break;
    case Stmt::Kind::kDbcc:
      // The database file shrinks when its write-ahead log is folded back.
      if (sqlite3_get_autocommit(db_.handle())) {
        sqlite3_wal_checkpoint_v2(db_.handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr,
                                  nullptr);
      }
      break;
    case Stmt::Kind::kPrint:
      Evaluate(*s.expr);
      break;
  }
  return Flow::kNormal;
}

// ---- variables ----

const Value& Session::VariableValue(const std::string& name) {
  auto it = scopes_.back().vars.find(name);
  if (it == scopes_.back().vars.end()) {
    ThrowSql("Must declare the scalar variable \"" + name + "\".");
  }
  return it->second.value;
}

Value Session::Evaluate(const Expr& e) {
  if (e.kind == Expr::Kind::kLiteral) return e.value;
  if (e.kind == Expr::Kind::kVariable) return VariableValue(e.name);
  Value native;
  NativeKind kind;
  if (EvaluateNatively(e, &native, &kind)) return native;
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

bool Session::Condition(const Expr& e) {
  int truth;
  if (ConditionNatively(e, &truth)) return truth == 1;
  ReadScope read(*this);
  Translator t(*this);
  const std::string sql = "SELECT CASE WHEN " + t.Expression(e) + " THEN 1 ELSE 0 END";
  bool result = false;
  RunSqlite(sql, t.params(), [&](sqlite3_stmt* stmt) { result = sqlite3_column_int(stmt, 0); });
  return result;
}

void Session::Assign(const std::string& name, const Value& v) {
  auto it = scopes_.back().vars.find(name);
  if (it == scopes_.back().vars.end()) {
    ThrowSql("Must declare the scalar variable \"" + name + "\".");
  }
  std::string error;
  Value converted;
  if (!ConvertValue(v, it->second.type, -1, true, &converted, &error)) ThrowSql(error);
  it->second.value = std::move(converted);
}

void Session::RunDeclare(const Stmt& s) {
  for (const Stmt::Declaration& d : s.declarations) {
    auto it = scopes_.back().vars.find(d.name);
    if (it != scopes_.back().vars.end() && it->second.declared_by == &d) {
      // A DECLARE met again (inside WHILE): the variable keeps its value,
      // an initialiser is evaluated and assigned again, as in SQL Server.
      if (d.init) Assign(d.name, Evaluate(*d.init));
      continue;
    }
    if (it != scopes_.back().vars.end()) {
      ThrowSql("The variable name '" + d.name +
               "' has already been declared. Variable names must be unique within a query "
               "batch or stored procedure.");
    }
    if (d.type.Class() == TypeClass::kUnknown) {
      ThrowSql("Column, parameter, or variable: cannot find data type " + d.type.name + ".");
    }
    Value init;
    if (d.init) init = Evaluate(*d.init);
    scopes_.back().vars[d.name] = Variable{d.type, Value(), &d};
    if (d.init) Assign(d.name, init);
  }
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

void Session::BeginTran(unsigned writes) {
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
