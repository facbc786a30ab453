#include "platform/sqlserver/session.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "platform/sqlserver/conversions.h"
#include "platform/sqlserver/functions.h"
#include "platform/sqlserver/loader_batch.h"
#include "platform/sqlserver/master.h"
#include "platform/sqlserver/parser.h"
#include "platform/sqlserver/sql_error.h"

namespace tellwen::sqlserver {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, strlen(prefix), prefix) == 0;
}

std::string Unquote(std::string s) {
  if (s.size() >= 2 && (s[0] == '"' || s[0] == '\'') && s.back() == s[0]) {
    s = s.substr(1, s.size() - 2);
  }
  if (StartsWith(s, "main.") || StartsWith(s, "temp.")) s = s.substr(5);
  return s;
}

// SQLite's messages in SQL Server's words, for the ones the programs meet.
std::string MapSqliteMessage(const std::string& msg) {
  auto after = [&](const char* prefix) { return Unquote(msg.substr(strlen(prefix))); };
  if (StartsWith(msg, "no such table: ")) {
    return "Invalid object name '" + after("no such table: ") + "'.";
  }
  if (StartsWith(msg, "no such column: ")) {
    std::string c = after("no such column: ");
    const size_t dot = c.rfind('.');
    if (dot != std::string::npos) c = c.substr(dot + 1);
    return "Invalid column name '" + c + "'.";
  }
  if (StartsWith(msg, "table ") && msg.size() > 15 &&
      msg.compare(msg.size() - 15, 15, " already exists") == 0) {
    return "There is already an object named '" + Unquote(msg.substr(6, msg.size() - 21)) +
           "' in the database.";
  }
  if (StartsWith(msg, "ambiguous column name: ")) {
    return "Ambiguous column name '" + after("ambiguous column name: ") + "'.";
  }
  if (StartsWith(msg, "duplicate column name: ")) {
    return "Column names in each table must be unique. Column name '" +
           after("duplicate column name: ") + "' is specified more than once.";
  }
  if (msg.find("values for") != std::string::npos && msg.find("columns") != std::string::npos) {
    return "Insert Error: Column name or number of supplied values does not match table "
           "definition.";
  }
  if (StartsWith(msg, "NOT NULL constraint failed: ")) {
    std::string c = after("NOT NULL constraint failed: ");
    const size_t dot = c.find('.');
    std::string table = dot == std::string::npos ? "" : c.substr(0, dot);
    if (dot != std::string::npos) c = c.substr(dot + 1);
    return "Cannot insert the value NULL into column '" + c + "', table '" + table +
           "'; column does not allow nulls. INSERT fails.";
  }
  if (StartsWith(msg, "UNIQUE constraint failed: ")) {
    return "Cannot insert duplicate key row in object with unique index (" +
           after("UNIQUE constraint failed: ") + ").";
  }
  if (msg == "database is locked" || msg == "database table is locked") {
    return "Lock request time out period exceeded.";
  }
  if (msg == "interrupted") return "Query timeout expired";
  if (msg == "parser stack overflow") return kNestedTooDeeply;
  if (StartsWith(msg, "Expression tree is too large")) return kExpressionTooLong;
  return msg;
}

int ProgressHandler(void* data) { return static_cast<Session*>(data)->DeadlinePassed() ? 1 : 0; }

std::string RandomSuffix() {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  char buf[20];
  snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(rng()));
  return buf;
}

}  // namespace

Session::Session(sqlite3* db, std::string database, std::string data_dir, std::string login)
    : db_(db),
      database_(std::move(database)),
      data_dir_(std::move(data_dir)),
      login_(std::move(login)) {
  sqlite3_progress_handler(db_, 4000, ProgressHandler, this);
  // tsql_tally(x) counts the rows a fused update sets (RunClearThenSet).
  sqlite3_create_function(
      db_, "tsql_tally", 1, SQLITE_UTF8, this,
      [](sqlite3_context* ctx, int, sqlite3_value** argv) {
        ++static_cast<Session*>(sqlite3_user_data(ctx))->tally_;
        sqlite3_result_value(ctx, argv[0]);
      },
      nullptr, nullptr);
}

Session::~Session() {
  for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
  sqlite3_close_v2(db_);  // rolls back a transaction left open
}

bool Session::DeadlinePassed() const {
  if (command_timeout_seconds_ <= 0) return false;
  if (std::chrono::steady_clock::now() < deadline_) return false;
  const_cast<Session*>(this)->timed_out_ = true;
  return true;
}

const TypeSpec* Session::VariableType(const std::string& name) const {
  if (scopes_.empty()) return nullptr;
  auto it = scopes_.back().vars.find(name);
  return it == scopes_.back().vars.end() ? nullptr : &it->second.type;
}

// ---- SQLite access ----

void Session::ThrowSqlite(int rc) {
  if (timed_out_ || rc == SQLITE_INTERRUPT) ThrowSql("Query timeout expired");
  ThrowSql(MapSqliteMessage(sqlite3_errmsg(db_)));
}

sqlite3_stmt* Session::Prepare(const std::string& sql, bool* cached) {
  auto it = statements_.find(sql);
  if (it != statements_.end() && !sqlite3_stmt_busy(it->second)) {
    sqlite3_reset(it->second);
    sqlite3_clear_bindings(it->second);
    if (cached) *cached = true;
    return it->second;
  }
  // New, or in use further up (a recursive call): then a private copy.
  if (getenv("TELLWEN_SQL_TRACE")) fprintf(stderr, "sqlite: %s\n", sql.c_str());
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                              SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    ThrowSqlite(rc);
  }
  const bool keep = it == statements_.end();
  if (keep) {
    if (statements_.size() > 500) {
      for (auto& [text, old] : statements_) {
        if (!sqlite3_stmt_busy(old)) sqlite3_finalize(old);
      }
      statements_.clear();
    }
    statements_.emplace(sql, stmt);
  }
  if (cached) *cached = keep;
  return stmt;
}

Value Session::ParamValue(const Param& p) {
  switch (p.kind) {
    case Param::Kind::kLiteral:
      return p.value;
    case Param::Kind::kVariable: {
      auto it = scopes_.back().vars.find(p.name);
      if (it == scopes_.back().vars.end()) {
        ThrowSql("Must declare the scalar variable \"" + p.name + "\".");
      }
      return it->second.value;
    }
    case Param::Kind::kSystem:
      if (p.name == "@@rowcount") return Value::Int(rowcount_);
      if (p.name == "@@trancount") return Value::Int(trancount_);
      if (p.name == "@@spid") return Value::Int(51);
      return Value::Int(0);
  }
  return Value::Null();
}

void Session::Bind(sqlite3_stmt* stmt, const std::vector<Param>& params) {
  for (size_t i = 0; i < params.size(); ++i) {
    int rc;
    if (params[i].kind == Param::Kind::kLiteral) {
      // Literals live in params until the statement has run: no copy.
      const Value& v = params[i].value;
      rc = v.type == Value::Type::kText
               ? sqlite3_bind_text(stmt, static_cast<int>(i) + 1, v.s.data(),
                                   static_cast<int>(v.s.size()), SQLITE_STATIC)
               : BindValue(stmt, static_cast<int>(i) + 1, v);
    } else {
      rc = BindValue(stmt, static_cast<int>(i) + 1, ParamValue(params[i]));
    }
    if (rc != SQLITE_OK) ThrowSqlite(rc);
  }
}

int64_t Session::Execute(const std::string& sql, const std::vector<Param>& params,
                         const RowSink& sink) {
  if (DeadlinePassed()) ThrowSql("Query timeout expired");
  bool cached = false;
  sqlite3_stmt* stmt = Prepare(sql, &cached);
  Bind(stmt, params);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (sink) sink(stmt);
  }
  if (rc != SQLITE_DONE) {
    sqlite3_reset(stmt);
    if (!cached) sqlite3_finalize(stmt);
    ThrowSqlite(rc);
  }
  const int64_t changes = sqlite3_changes64(db_);
  sqlite3_reset(stmt);
  if (!cached) sqlite3_finalize(stmt);
  return changes;
}

// ---- batch ----

bool Session::ExecuteBatch(std::string_view text, BatchResult* result, std::string* error) {
  result_ = result;
  timed_out_ = false;
  deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(command_timeout_seconds_);
  try {
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
    if (!sqlite3_get_autocommit(db_)) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    trancount_ = 0;
    // Temp tables of procedures and dynamic SQL end with them.
    for (size_t i = 1; i < scopes_.size(); ++i) {
      for (const std::string& t : scopes_[i].temp_tables) {
        sqlite3_exec(db_, ("DROP TABLE IF EXISTS temp." + QuoteName(t)).c_str(), nullptr, nullptr,
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

void Session::RunBatchText(const std::string& text, bool own_scope) {
  if (++exec_depth_ > 32) {
    ThrowSql(
        "Maximum stored procedure, function, trigger, or view nesting level exceeded "
        "(limit 32).");
  }
  Batch batch;
  std::string error;
  if (!ParseBatch(text, &batch, &error)) ThrowSql(error);
  if (own_scope) {
    scopes_.emplace_back();
    scopes_.back().drop_temp_tables = true;
  }
  RunList(batch.statements);
  if (own_scope) {
    for (const std::string& t : scopes_.back().temp_tables) {
      Execute("DROP TABLE IF EXISTS temp." + QuoteName(t), {});
    }
    scopes_.pop_back();
  }
  --exec_depth_;
}

Session::Flow Session::RunList(const std::vector<StmtPtr>& list) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (i + 1 < list.size() && RunClearThenSet(*list[i], *list[i + 1])) {
      ++i;
      continue;
    }
    if (list[i]->kind == Stmt::Kind::kBeginTran) {
      if (DeadlinePassed()) ThrowSql("Query timeout expired");
      BeginTran(TransactionWrites(list, i + 1));
      continue;
    }
    Flow f = Run(*list[i]);
    if (f != Flow::kNormal) return f;
  }
  return Flow::kNormal;
}

Session::Flow Session::Run(const Stmt& s) {
  if (DeadlinePassed()) ThrowSql("Query timeout expired");
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
      Execute("DELETE FROM " + TableName(s.table), {});
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
      for (const std::string& c : s.columns) {
        Execute("ALTER TABLE " + TableName(s.table) + " DROP COLUMN " + QuoteName(c), {});
      }
      SchemaChanged();
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
      if (s.option == "rowcount" && s.option_value != "0") {
        ThrowSql("SET ROWCOUNT is not supported by this server.");
      }
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
        if (DeadlinePassed()) ThrowSql("Query timeout expired");
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
      if (strcasecmp(s.option.c_str(), database_.c_str()) != 0) {
        ThrowSql("USE of another database ('" + s.option +
                 "') is not supported inside a session of this server; connect to it.");
      }
      break;
    case Stmt::Kind::kDbcc:
      // The database file shrinks when its write-ahead log is folded back.
      if (sqlite3_get_autocommit(db_)) {
        sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
      }
      break;
    case Stmt::Kind::kPrint:
      Evaluate(*s.expr);
      break;
  }
  return Flow::kNormal;
}

// ---- values ----

Value Session::Evaluate(const Expr& e) {
  if (e.kind == Expr::Kind::kLiteral) return e.value;
  if (e.kind == Expr::Kind::kVariable) {
    auto it = scopes_.back().vars.find(e.name);
    if (it == scopes_.back().vars.end()) {
      ThrowSql("Must declare the scalar variable \"" + e.name + "\".");
    }
    return it->second.value;
  }
  Translator t(*this);
  const std::string sql = "SELECT " + t.Expression(e);
  Value v;
  bool first = true;
  Execute(sql, t.params(), [&](sqlite3_stmt* stmt) {
    if (first) v = ColumnValue(stmt, 0);
    first = false;
  });
  return v;
}

bool Session::Condition(const Expr& e) {
  Translator t(*this);
  const std::string sql = "SELECT CASE WHEN " + t.Expression(e) + " THEN 1 ELSE 0 END";
  bool result = false;
  Execute(sql, t.params(), [&](sqlite3_stmt* stmt) { result = sqlite3_column_int(stmt, 0); });
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
    if (scopes_.back().vars.count(d.name)) {
      ThrowSql("The variable name '" + d.name +
               "' has already been declared. Variable names must be unique within a query "
               "batch or stored procedure.");
    }
    if (d.type.Class() == TypeClass::kUnknown) {
      ThrowSql("Column, parameter, or variable: cannot find data type " + d.type.name + ".");
    }
    Value init;
    if (d.init) init = Evaluate(*d.init);
    scopes_.back().vars[d.name] = Variable{d.type, Value()};
    if (d.init) Assign(d.name, init);
  }
}

// ---- SELECT ----

void Session::EmitRows(sqlite3_stmt* stmt, int columns) {
  std::vector<Value> row;
  row.reserve(columns);
  for (int i = 0; i < columns; ++i) row.push_back(ColumnValue(stmt, i));
  if (insert_exec_rows_) {
    insert_exec_rows_->push_back(std::move(row));
  } else {
    result_->rows.push_back(std::move(row));
  }
}

void Session::RunSelect(const Stmt& s) {
  const Select& select = *s.select;
  const SelectCore& first = select.cores[0];
  if (first.has_into) {
    RunSelectInto(select);
    return;
  }
  // SELECT @a = x, @b = y ...: the last row's values are assigned.
  bool assign = false;
  for (const SelectItem& item : first.items) {
    if (item.kind == SelectItem::Kind::kAssign) assign = true;
  }
  Translator t(*this);
  const std::string sql = t.Select(select);
  if (assign) {
    for (const SelectItem& item : first.items) {
      if (item.kind != SelectItem::Kind::kAssign) {
        ThrowSql(
            "A SELECT statement that assigns a value to a variable must not be combined "
            "with data-retrieval operations.");
      }
    }
    std::vector<Value> last;
    int64_t count = 0;
    Execute(sql, t.params(), [&](sqlite3_stmt* stmt) {
      last.clear();
      for (size_t i = 0; i < first.items.size(); ++i) {
        last.push_back(ColumnValue(stmt, static_cast<int>(i)));
      }
      ++count;
    });
    for (size_t i = 0; i < last.size(); ++i) Assign(first.items[i].variable, last[i]);
    rowcount_ = count;
    return;
  }
  int64_t count = 0;
  const bool capture = insert_exec_rows_ != nullptr || (result_ && !result_->has_rowset);
  if (capture && !insert_exec_rows_) {
    result_->has_rowset = true;
  }
  sqlite3_stmt* names_from = nullptr;
  Execute(sql, t.params(), [&](sqlite3_stmt* stmt) {
    ++count;
    if (!capture) return;
    if (!names_from) names_from = stmt;
    EmitRows(stmt, sqlite3_column_count(stmt));
  });
  if (capture && !insert_exec_rows_ && result_->column_names.empty()) {
    bool cached = false;
    sqlite3_stmt* stmt = Prepare(sql, &cached);
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      result_->column_names.push_back(sqlite3_column_name(stmt, i));
    }
    if (!cached) sqlite3_finalize(stmt);
  }
  rowcount_ = count;
}

void Session::RunSelectInto(const Select& select) {
  const SelectCore& first = select.cores[0];
  const ObjectName& target = first.into;
  if (TableExists(target.name)) {
    ThrowSql("There is already an object named '" + target.name + "' in the database.");
  }
  Translator t(*this);
  const std::string query = t.Select(select, /*identity_as_null=*/true);
  bool cached = false;
  sqlite3_stmt* stmt = Prepare(query, &cached);
  const int n = sqlite3_column_count(stmt);
  const bool one_to_one = static_cast<int>(first.items.size()) == n;
  std::string create = target.IsTemp() ? "CREATE TEMP TABLE " : "CREATE TABLE ";
  create += TableName(target) + " (";
  std::string identity_column;
  int64_t seed = 1, step = 1;
  for (int i = 0; i < n; ++i) {
    if (i) create += ", ";
    std::string name = sqlite3_column_name(stmt, i);
    create += QuoteName(name) + " ";
    const Expr* item = one_to_one && first.items[i].kind == SelectItem::Kind::kExpr
                           ? first.items[i].expr.get()
                           : nullptr;
    if (item && item->kind == Expr::Kind::kIdentity) {
      if (!identity_column.empty()) {
        ThrowSql("Attempting to add multiple identity columns to table '" + target.name +
                 "' using the SELECT INTO statement.");
      }
      identity_column = name;
      seed = item->seed;
      step = item->step;
      create += "int identity(" + std::to_string(seed) + ", " + std::to_string(step) + ")";
      continue;
    }
    const char* decl = sqlite3_column_decltype(stmt, i);
    TypeClass cls = TypeClass::kUnknown;
    std::string type;
    if (decl) {
      type = decl;
      TypeSpec type_spec;
      if (ParseTypeText(type, &type_spec)) cls = type_spec.Class();
      // An identity column copied by SELECT INTO stays an identity.
      if (Lower(type) == "integer") type = "int";
      const size_t pos = Lower(type).find(" identity");
      if (pos != std::string::npos) type = type.substr(0, pos);
    } else if (item) {
      cls = t.StaticType(*item);
      type = cls == TypeClass::kInteger    ? "int"
             : cls == TypeClass::kFloat    ? "float"
             : cls == TypeClass::kText     ? "varchar(8000)"
             : cls == TypeClass::kDateTime ? "datetime"
                                           : "";
    }
    create += type;
    if (cls != TypeClass::kInteger && cls != TypeClass::kFloat) create += " COLLATE TSQL";
  }
  create += ")";
  if (!cached) sqlite3_finalize(stmt);
  Execute(create, {});
  if (target.IsTemp()) scopes_.back().temp_tables.push_back(target.name);
  SchemaChanged();
  rowcount_ = Execute("INSERT INTO " + TableName(target) + " " + query, t.params());
  if (!identity_column.empty()) {
    Execute("UPDATE " + TableName(target) + " SET " + QuoteName(identity_column) + " = " +
                std::to_string(seed) + " + (rowid - 1) * " + std::to_string(step),
            {});
  }
}

// ---- INSERT / UPDATE / DELETE ----

const std::vector<Session::ColumnInfo>& Session::TableColumns(const std::string& table) {
  const std::string key = Lower(table);
  auto it = columns_.find(key);
  if (it != columns_.end()) return it->second;
  std::vector<ColumnInfo> cols;
  sqlite3_stmt* stmt = nullptr;
  const std::string sql = "PRAGMA table_info(" + QuoteName(table) + ")";
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    ThrowSqlite(SQLITE_ERROR);
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    ColumnInfo c;
    c.name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
    const char* type_text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2));
    const std::string type = Lower(type_text ? type_text : "");
    const bool pk = sqlite3_column_int(stmt, 5) != 0;
    if (type == "integer" && pk) {
      c.identity = true;
      c.rowid_identity = true;
    } else if (type.find("identity") != std::string::npos) {
      c.identity = true;
      long long seed = 1, step = 1;
      const size_t paren = type.find('(');
      if (paren != std::string::npos) sscanf(type.c_str() + paren, "(%lld, %lld", &seed, &step);
      c.seed = seed;
      c.step = step;
    }
    TypeSpec type_spec;
    if (!c.identity && ParseTypeText(type, &type_spec)) {
      const TypeClass cls = type_spec.Class();
      if (cls == TypeClass::kInteger || cls == TypeClass::kFloat || cls == TypeClass::kDateTime) {
        c.convert_type = type_spec.ToString();
      }
    }
    cols.push_back(std::move(c));
  }
  sqlite3_finalize(stmt);
  if (cols.empty()) ThrowSql("Invalid object name '" + table + "'.");
  return columns_.emplace(key, std::move(cols)).first->second;
}

std::string Session::Converted(const std::string& table, const std::string& column,
                               const std::string& expr_sql) {
  for (const ColumnInfo& c : TableColumns(table)) {
    if (strcasecmp(c.name.c_str(), column.c_str()) == 0) {
      if (c.convert_type.empty()) return expr_sql;
      return "tsql_convert('" + c.convert_type + "', " + expr_sql + ", NULL)";
    }
  }
  ThrowSql("Invalid column name '" + column + "'.");
}

void Session::FinishIdentity(const std::string& table) {
  for (const ColumnInfo& c : TableColumns(table)) {
    if (c.identity && !c.rowid_identity) {
      Execute("UPDATE " + QuoteName(table) + " SET " + QuoteName(c.name) + " = " +
                  std::to_string(c.seed) + " + (rowid - 1) * " + std::to_string(c.step) +
                  " WHERE " + QuoteName(c.name) + " IS NULL",
              {});
    }
  }
}

void Session::RunInsert(const Stmt& s) {
  const std::vector<ColumnInfo>& cols = TableColumns(s.table.name);
  bool has_late_identity = false;
  std::vector<std::string> names;
  if (s.columns.empty()) {
    for (const ColumnInfo& c : cols) {
      if (!c.identity) names.push_back(c.name);
      if (c.identity && !c.rowid_identity) has_late_identity = true;
    }
  } else {
    for (const std::string& name : s.columns) {
      bool found = false;
      for (const ColumnInfo& c : cols) {
        if (strcasecmp(c.name.c_str(), name.c_str()) == 0) {
          found = true;
          if (c.identity) {
            ThrowSql("Cannot insert explicit value for identity column in table '" + s.table.name +
                     "' when IDENTITY_INSERT is set to OFF.");
          }
        }
      }
      if (!found) ThrowSql("Invalid column name '" + name + "'.");
      names.push_back(name);
    }
    for (const ColumnInfo& c : cols) {
      if (c.identity && !c.rowid_identity) has_late_identity = true;
    }
  }
  std::string head = "INSERT INTO " + TableName(s.table);
  if (names.empty()) {
    head += " DEFAULT VALUES";
  } else {
    head += " (";
    for (size_t i = 0; i < names.size(); ++i) {
      if (i) head += ", ";
      head += QuoteName(names[i]);
    }
    head += ")";
  }
  if (!s.literal_rows.empty()) {
    RunLiteralInsert(s, head, names, cols);
  } else if (!s.values_rows.empty()) {
    // The type each value converts to, looked up once per statement.
    std::vector<std::string> convert_types;
    convert_types.reserve(names.size());
    for (const std::string& name : names) {
      const ColumnInfo* found = nullptr;
      for (const ColumnInfo& c : cols) {
        if (strcasecmp(c.name.c_str(), name.c_str()) == 0) found = &c;
      }
      convert_types.push_back(found ? found->convert_type : std::string());
    }
    Translator t(*this);
    std::string sql = head + " VALUES ";
    for (size_t r = 0; r < s.values_rows.size(); ++r) {
      const auto& row = s.values_rows[r];
      if (row.size() != names.size()) {
        ThrowSql(row.size() > names.size()
                     ? "There are more columns in the INSERT statement than values specified "
                       "in the VALUES clause. The number of values in the VALUES clause must "
                       "match the number of columns specified in the INSERT statement."
                     : "Insert Error: Column name or number of supplied values does not match "
                       "table definition.");
      }
      if (r) sql += ", ";
      sql += "(";
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) sql += ", ";
        std::string value = t.Expression(*row[i]);
        sql += convert_types[i].empty()
                   ? value
                   : "tsql_convert('" + convert_types[i] + "', " + value + ", NULL)";
      }
      sql += ")";
    }
    rowcount_ = Execute(sql, t.params());
  } else if (s.select) {
    Translator t(*this);
    const std::string query = t.Select(*s.select);
    rowcount_ = Execute(head + " " + query, t.params());
  } else if (s.exec) {
    std::vector<std::vector<Value>> rows;
    auto* saved = insert_exec_rows_;
    insert_exec_rows_ = &rows;
    try {
      Run(*s.exec);
    } catch (...) {
      insert_exec_rows_ = saved;
      throw;
    }
    insert_exec_rows_ = saved;
    std::string sql = head + " VALUES (";
    for (size_t i = 0; i < names.size(); ++i) sql += i ? ", ?" : "?";
    sql += ")";
    int64_t count = 0;
    for (const auto& row : rows) {
      if (row.size() != names.size()) {
        ThrowSql(
            "Insert Error: Column name or number of supplied values does not match table "
            "definition.");
      }
      std::vector<Param> params(row.size());
      for (size_t i = 0; i < row.size(); ++i) params[i].value = row[i];
      Execute(sql, params);
      ++count;
    }
    rowcount_ = count;
  } else {
    rowcount_ = Execute(head, {});
  }
  if (has_late_identity) FinishIdentity(s.table.name);
}

// The loader's form: constants only. The SQLite text depends only on the
// table, the column list and the number of rows, so it is built once per
// shape and the values are bound straight from the statement.
void Session::RunLiteralInsert(const Stmt& s, const std::string& head,
                               const std::vector<std::string>& names,
                               const std::vector<ColumnInfo>& cols) {
  for (const auto& row : s.literal_rows) {
    if (row.size() != names.size()) {
      ThrowSql(row.size() > names.size()
                   ? "There are more columns in the INSERT statement than values specified in "
                     "the VALUES clause. The number of values in the VALUES clause must match "
                     "the number of columns specified in the INSERT statement."
                   : "Insert Error: Column name or number of supplied values does not match "
                     "table definition.");
    }
  }
  std::string key = head;
  key += '#';
  key += std::to_string(s.literal_rows.size());
  auto it = literal_insert_sql_.find(key);
  if (it == literal_insert_sql_.end()) {
    std::string row = "(";
    for (size_t i = 0; i < names.size(); ++i) {
      if (i) row += ", ";
      std::string convert;
      for (const ColumnInfo& c : cols) {
        if (strcasecmp(c.name.c_str(), names[i].c_str()) == 0) convert = c.convert_type;
      }
      row += convert.empty() ? "?" : "tsql_convert('" + convert + "', ?, NULL)";
    }
    row += ")";
    std::string sql = head + " VALUES ";
    for (size_t r = 0; r < s.literal_rows.size(); ++r) sql += r ? ", " + row : row;
    if (literal_insert_sql_.size() > 200) literal_insert_sql_.clear();
    it = literal_insert_sql_.emplace(std::move(key), std::move(sql)).first;
  }
  if (DeadlinePassed()) ThrowSql("Query timeout expired");
  bool cached = false;
  sqlite3_stmt* stmt = Prepare(it->second, &cached);
  int index = 1;
  for (const auto& row : s.literal_rows) {
    for (const Value& v : row) {
      const int rc = v.type == Value::Type::kText
                         ? sqlite3_bind_text(stmt, index, v.s.data(), static_cast<int>(v.s.size()),
                                             SQLITE_STATIC)
                         : BindValue(stmt, index, v);
      if (rc != SQLITE_OK) ThrowSqlite(rc);
      ++index;
    }
  }
  StepWrite(stmt, cached);
}

void Session::StepWrite(sqlite3_stmt* stmt, bool cached) {
  const int rc = sqlite3_step(stmt);
  if (rc != SQLITE_DONE) {
    sqlite3_reset(stmt);
    if (!cached) sqlite3_finalize(stmt);
    ThrowSqlite(rc);
  }
  rowcount_ = sqlite3_changes64(db_);
  sqlite3_reset(stmt);
  if (!cached) sqlite3_finalize(stmt);
}

bool Session::RunLoaderBatch(std::string_view text) {
  std::vector<LoaderOp> ops;
  std::vector<Value> values;
  if (text.size() < 64 || !ScanLoaderBatch(text, &ops, &values)) return false;
  struct Target {
    std::string sql;
    size_t columns = 0;
  };
  std::unordered_map<std::string, Target> targets;
  for (size_t k = 0; k < ops.size(); ++k) {
    const LoaderOp& op = ops[k];
    if (DeadlinePassed()) ThrowSql("Query timeout expired");
    if (op.kind == LoaderOp::Kind::kBegin) {
      unsigned writes = 0;
      size_t end = k + 1;
      for (; end < ops.size() && ops[end].kind == LoaderOp::Kind::kInsert; ++end) {
        if (end == k + 1 || ops[end].table != ops[end - 1].table) {
          writes |= TableWrites(ops[end].table);
        }
      }
      BeginTran(end < ops.size() && ops[end].kind == LoaderOp::Kind::kCommit ? writes : kWritesAny);
      continue;
    }
    if (op.kind == LoaderOp::Kind::kCommit) {
      CommitTran();
      continue;
    }
    auto it = targets.find(op.table);
    if (it == targets.end()) {
      // Tables with identity columns numbered by the server, and every
      // error case, take the general path's rules.
      const std::vector<ColumnInfo>& cols = TableColumns(op.table);
      Target target;
      std::string head = "INSERT INTO " + QuoteName(op.table) + " (";
      std::string row = "(";
      for (const ColumnInfo& c : cols) {
        if (c.identity && !c.rowid_identity) {
          ThrowSql("The loader form does not serve tables with late identity columns.");
        }
        if (c.identity) continue;
        if (target.columns++) {
          head += ", ";
          row += ", ";
        }
        head += QuoteName(c.name);
        row += c.convert_type.empty() ? "?" : "tsql_convert('" + c.convert_type + "', ?, NULL)";
      }
      target.sql = head + ") VALUES " + row + ")";
      it = targets.emplace(op.table, std::move(target)).first;
    }
    if (op.count != it->second.columns) {
      ThrowSql(op.count > it->second.columns
                   ? "There are more columns in the INSERT statement than values specified in "
                     "the VALUES clause. The number of values in the VALUES clause must match "
                     "the number of columns specified in the INSERT statement."
                   : "Insert Error: Column name or number of supplied values does not match "
                     "table definition.");
    }
    bool cached = false;
    sqlite3_stmt* stmt = Prepare(it->second.sql, &cached);
    for (size_t i = 0; i < op.count; ++i) {
      const Value& v = values[op.first + i];
      const int index = static_cast<int>(i) + 1;
      const int rc = v.type == Value::Type::kText
                         ? sqlite3_bind_text(stmt, index, v.s.data(), static_cast<int>(v.s.size()),
                                             SQLITE_STATIC)
                         : BindValue(stmt, index, v);
      if (rc != SQLITE_OK) ThrowSqlite(rc);
    }
    StepWrite(stmt, cached);
  }
  return true;
}

void Session::RunUpdate(const Stmt& s) {
  Translator t(*this);
  std::string sql = "UPDATE " + TableName(s.table) + " SET ";
  for (size_t i = 0; i < s.assignments.size(); ++i) {
    if (i) sql += ", ";
    std::string value = t.Expression(*s.assignments[i].second);
    sql += QuoteName(s.assignments[i].first) + " = " +
           Converted(s.table.name, s.assignments[i].first, value);
  }
  if (!s.from.empty()) {
    // UPDATE t SET ... FROM t JOIN u: SQLite names the target only once.
    for (const auto& ref : s.from) {
      if (ref->kind == TableRef::Kind::kTable &&
          strcasecmp(ref->table.name.c_str(), s.table.name.c_str()) == 0) {
        ThrowSql(
            "UPDATE ... FROM that lists the updated table again is not supported by this "
            "server.");
      }
    }
    sql += " FROM " + t.FromList(s.from);
  }
  if (s.where) sql += " WHERE " + t.Expression(*s.where);
  rowcount_ = Execute(sql, t.params());
}

namespace {

// A condition a fused update may evaluate on the rows before the column is
// cleared: only this row's columns other than the flag column, constants
// and plain operators (no subquery, no function that could read tables).
bool ReadsOnlyOtherColumns(const Expr& e, const std::string& column) {
  switch (e.kind) {
    case Expr::Kind::kLiteral:
    case Expr::Kind::kVariable:
      return true;
    case Expr::Kind::kColumn:
      return !e.parts.empty() && strcasecmp(e.parts.back().c_str(), column.c_str()) != 0;
    case Expr::Kind::kUnary:
    case Expr::Kind::kBinary:
    case Expr::Kind::kLike:
    case Expr::Kind::kIsNull:
    case Expr::Kind::kInList:
    case Expr::Kind::kBetween:
      for (const auto& arg : e.args) {
        if (arg && !ReadsOnlyOtherColumns(*arg, column)) return false;
      }
      return true;
    default:
      return false;
  }
}

bool IsPlainUpdateOfOneColumn(const Stmt& s) {
  return s.kind == Stmt::Kind::kUpdate && s.from.empty() && s.target_alias.empty() &&
         s.assignments.size() == 1 && s.assignments[0].second->kind == Expr::Kind::kLiteral;
}

}  // namespace

bool Session::RunClearThenSet(const Stmt& clear, const Stmt& set) {
  if (!IsPlainUpdateOfOneColumn(clear) || !IsPlainUpdateOfOneColumn(set)) return false;
  if (clear.where || !set.where) return false;
  if (strcasecmp(TableName(clear.table).c_str(), TableName(set.table).c_str()) != 0) return false;
  const std::string& column = clear.assignments[0].first;
  if (strcasecmp(column.c_str(), set.assignments[0].first.c_str()) != 0) return false;
  if (!ReadsOnlyOtherColumns(*set.where, column)) return false;
  if (DeadlinePassed()) ThrowSql("Query timeout expired");

  // Translated in the order the text reads, so parameters number alike.
  Translator t(*this);
  const std::string cond = t.Expression(*set.where);
  const std::string value =
      Converted(set.table.name, column, t.Expression(*set.assignments[0].second));
  const std::string cleared =
      Converted(clear.table.name, column, t.Expression(*clear.assignments[0].second));
  const std::string sql = "UPDATE " + TableName(set.table) + " SET " + QuoteName(column) +
                          " = CASE WHEN " + cond + " THEN tsql_tally(" + value + ") ELSE " +
                          cleared + " END";
  const std::vector<Param>& params = t.params();
  tally_ = 0;
  try {
    Execute(sql, params);
  } catch (const SqlException&) {
    // The statement changed nothing; the two statements report the error
    // as they would have.
    if (timed_out_) throw;
    return false;
  }
  rowcount_ = tally_;
  return true;
}

void Session::RunDelete(const Stmt& s) {
  if (!s.from.empty()) ThrowSql("DELETE ... FROM with a join is not supported by this server.");
  Translator t(*this);
  std::string sql = "DELETE FROM " + TableName(s.table);
  if (s.where) sql += " WHERE " + t.Expression(*s.where);
  rowcount_ = Execute(sql, t.params());
}

// ---- DDL ----

void Session::SchemaChanged() { columns_.clear(); }

bool Session::TableExists(const std::string& name) {
  const char* sql = name[0] == '#'
                        ? "SELECT 1 FROM temp.sqlite_master WHERE type='table' AND name=?1 "
                          "COLLATE NOCASE"
                        : "SELECT 1 FROM main.sqlite_master WHERE type='table' AND name=?1 "
                          "COLLATE NOCASE UNION ALL SELECT 1 FROM logs.sqlite_master WHERE "
                          "type='table' AND name=?1 COLLATE NOCASE";
  std::vector<Param> params(1);
  params[0].value = Value::Text(name);
  bool found = false;
  Execute(sql, params, [&](sqlite3_stmt*) { found = true; });
  return found;
}

bool Session::IsLogTable(const std::string& table) const {
  for (const std::string& name : log_tables_) {
    if (strcasecmp(name.c_str(), table.c_str()) == 0) return true;
  }
  return false;
}

std::string Session::SchemaOf(const std::string& table) {
  if (!table.empty() && table[0] == '#') return "temp";
  std::vector<Param> params(1);
  params[0].value = Value::Text(table);
  std::string schema;
  Execute(
      "SELECT 'main' FROM main.sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE "
      "UNION ALL SELECT 'logs' FROM logs.sqlite_master WHERE type='table' AND name=?1 COLLATE "
      "NOCASE",
      params, [&](sqlite3_stmt* stmt) {
        if (schema.empty()) schema = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      });
  if (!schema.empty()) return schema;
  return IsLogTable(table) ? kLogSchema : "main";
}

unsigned Session::TableWrites(const std::string& table) {
  const std::string schema = SchemaOf(table);
  if (schema == "temp") return 0;  // the connection's own file
  return schema == kLogSchema ? kWritesLogs : kWritesMain;
}

unsigned Session::StatementWrites(const Stmt& s) {
  switch (s.kind) {
    case Stmt::Kind::kInsert:
      return TableWrites(s.table.name) | (s.exec ? StatementWrites(*s.exec) : 0);
    case Stmt::Kind::kUpdate:
    case Stmt::Kind::kDelete:
    case Stmt::Kind::kTruncate:
    case Stmt::Kind::kCreateTable:
    case Stmt::Kind::kAlterTableAdd:
    case Stmt::Kind::kAlterTableDrop:
    case Stmt::Kind::kCreateIndex:
    case Stmt::Kind::kDropIndex:
      return TableWrites(s.table.name);
    case Stmt::Kind::kDropTable: {
      unsigned w = 0;
      for (const ObjectName& t : s.tables) w |= TableWrites(t.name);
      return w;
    }
    case Stmt::Kind::kSelect:
      return s.select && s.select->cores[0].has_into ? TableWrites(s.select->cores[0].into.name)
                                                     : 0;
    case Stmt::Kind::kCreateProcedure:
    case Stmt::Kind::kDropProcedure:
      return kWritesMain;
    case Stmt::Kind::kIf:
      return (s.then_branch ? StatementWrites(*s.then_branch) : 0) |
             (s.else_branch ? StatementWrites(*s.else_branch) : 0);
    case Stmt::Kind::kWhile:
      return s.then_branch ? StatementWrites(*s.then_branch) : 0;
    case Stmt::Kind::kBlock: {
      unsigned w = 0;
      for (const StmtPtr& b : s.body) w |= StatementWrites(*b);
      return w;
    }
    case Stmt::Kind::kExecProc: {
      const std::string name = Lower(s.proc_name);
      if (name == "sp_spaceused") return 0;
      if (name == "sp_rename" && !s.args.empty() && s.args[0].value &&
          s.args[0].value->kind == Expr::Kind::kLiteral) {
        std::string table;
        for (char c : s.args[0].value->value.ToText()) {
          if (c != '[' && c != ']') table.push_back(c);
        }
        if (strncasecmp(table.c_str(), "dbo.", 4) == 0) table = table.substr(4);
        const size_t dot = table.rfind('.');  // table.column
        return TableWrites(dot == std::string::npos ? table : table.substr(0, dot));
      }
      return kWritesAny;
    }
    case Stmt::Kind::kExecString:
      return kWritesAny;
    default:
      return 0;
  }
}

unsigned Session::TransactionWrites(const std::vector<StmtPtr>& list, size_t first) {
  unsigned writes = 0;
  int nesting = 0;
  for (size_t i = first; i < list.size(); ++i) {
    const Stmt& s = *list[i];
    if (s.kind == Stmt::Kind::kBeginTran) ++nesting;
    if (s.kind == Stmt::Kind::kRollbackTran) return writes;
    if (s.kind == Stmt::Kind::kCommitTran && nesting-- == 0) return writes;
    writes |= StatementWrites(s);
    if (writes == kWritesAny) return writes;
  }
  return kWritesAny;  // the transaction outlives the list
}

bool Session::ProcedureExists(const std::string& name) {
  std::vector<Param> params(1);
  params[0].value = Value::Text(name);
  bool found = false;
  Execute("SELECT 1 FROM main._tsql_procedures WHERE name = ?1", params,
          [&](sqlite3_stmt*) { found = true; });
  return found;
}

std::string Session::ColumnDefinition(const ColumnDef& def, bool* rowid_identity, int* identities) {
  std::string r = QuoteName(def.name) + " ";
  TypeSpec type = def.type;
  if (type.name == "sysname") type = TypeSpec{"nvarchar", 128, -1};
  if (def.identity) {
    ++*identities;
    if (type.Class() != TypeClass::kInteger) {
      ThrowSql("Identity column '" + def.name +
               "' must be of data type int, bigint, smallint, tinyint, or decimal or numeric "
               "with a scale of 0, and constrained to be nonnullable.");
    }
    if (def.seed == 1 && def.step == 1 && !*rowid_identity) {
      *rowid_identity = true;
      return r + "INTEGER PRIMARY KEY";
    }
    return r + type.name + " identity(" + std::to_string(def.seed) + ", " +
           std::to_string(def.step) + ")";
  }
  r += type.ToString();
  const TypeClass cls = type.Class();
  if (cls == TypeClass::kText) r += " COLLATE TSQL";
  if (def.not_null) r += " NOT NULL";
  if (def.primary_key) r += " PRIMARY KEY";
  if (def.default_value) {
    if (def.default_value->kind != Expr::Kind::kLiteral) {
      ThrowSql("Only constant defaults are supported by this server.");
    }
    Translator t(*this, /*inline_literals=*/true);
    r += " DEFAULT " + t.Expression(*def.default_value);
  }
  return r;
}

void Session::RunCreateTable(const Stmt& s) {
  if (!s.table.IsTemp() && (TableExists(s.table.name) || ProcedureExists(s.table.name))) {
    ThrowSql("There is already an object named '" + s.table.name + "' in the database.");
  }
  std::string sql = s.table.IsTemp() ? "CREATE TEMP TABLE " : "CREATE TABLE ";
  if (!s.table.IsTemp() && IsLogTable(s.table.name)) sql += std::string(kLogSchema) + ".";
  sql += TableName(s.table) + " (";
  bool rowid_identity = false;
  int identities = 0;
  for (size_t i = 0; i < s.column_defs.size(); ++i) {
    if (i) sql += ", ";
    sql += ColumnDefinition(s.column_defs[i], &rowid_identity, &identities);
  }
  if (identities > 1) {
    ThrowSql("Multiple identity columns specified for table '" + s.table.name +
             "'. Only one identity column per table is allowed.");
  }
  sql += ")";
  Execute(sql, {});
  if (s.table.IsTemp()) scopes_.back().temp_tables.push_back(s.table.name);
  SchemaChanged();
}

void Session::RunDropTable(const Stmt& s) {
  for (const ObjectName& table : s.tables) {
    if (!TableExists(table.name)) {
      ThrowSql("Cannot drop the table '" + table.name +
               "', because it does not exist or you do not have permission.");
    }
    Execute("DROP TABLE " + SchemaOf(table.name) + "." + TableName(table), {});
    SchemaChanged();
  }
}

void Session::RunAlterTableAdd(const Stmt& s) {
  if (!TableExists(s.table.name)) ThrowSql("Invalid object name '" + s.table.name + "'.");
  for (const ColumnDef& def : s.column_defs) {
    if (def.identity) ThrowSql("Adding an identity column is not supported by this server.");
    if (def.not_null && !def.default_value) {
      ThrowSql(
          "ALTER TABLE only allows columns to be added that can contain nulls, or have a "
          "DEFAULT definition specified.");
    }
    bool rowid_identity = true;
    int identities = 0;
    Execute("ALTER TABLE " + TableName(s.table) + " ADD COLUMN " +
                ColumnDefinition(def, &rowid_identity, &identities),
            {});
  }
  SchemaChanged();
}

// SQL Server names indexes per table, SQLite per database: the SQLite name is
// the T-SQL name, "$" and a random suffix; the table is found by tbl_name,
// which follows sp_rename.
void Session::RunCreateIndex(const Stmt& s) {
  if (!TableExists(s.table.name)) {
    ThrowSql("Cannot find the object \"" + s.table.name +
             "\" because it does not exist or you do not have permissions.");
  }
  const std::string schema = SchemaOf(s.table.name);
  std::vector<Param> params(2);
  params[0].value = Value::Text(s.table.name);
  params[1].value = Value::Text(s.index_name);
  bool exists = false;
  Execute("SELECT 1 FROM " + schema +
              ".sqlite_master WHERE type='index' AND tbl_name=?1 COLLATE NOCASE AND "
              "lower(substr(name, 1, length(?2) + 1)) = lower(?2) || '$'",
          params, [&](sqlite3_stmt*) { exists = true; });
  if (exists) {
    ThrowSql("The operation failed because an index or statistics with name '" + s.index_name +
             "' already exists on table '" + s.table.name + "'.");
  }
  std::string sql = std::string("CREATE ") + (s.unique ? "UNIQUE " : "") + "INDEX " + schema + "." +
                    QuoteName(s.index_name + "$" + RandomSuffix()) + " ON " + TableName(s.table) +
                    " (";
  for (size_t i = 0; i < s.index_columns.size(); ++i) {
    if (i) sql += ", ";
    sql += QuoteName(s.index_columns[i].expr->parts[0]);
    if (s.index_columns[i].desc) sql += " DESC";
  }
  sql += ")";
  Execute(sql, {});
}

void Session::RunDropIndex(const Stmt& s) {
  const std::string schema = SchemaOf(s.table.name);
  std::vector<Param> params(2);
  params[0].value = Value::Text(s.table.name);
  params[1].value = Value::Text(s.index_name);
  std::string name;
  Execute("SELECT name FROM " + schema +
              ".sqlite_master WHERE type='index' AND tbl_name=?1 COLLATE NOCASE AND "
              "lower(substr(name, 1, length(?2) + 1)) = lower(?2) || '$'",
          params, [&](sqlite3_stmt* stmt) {
            name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
          });
  if (name.empty()) {
    ThrowSql("Cannot drop the index '" + s.table.name + "." + s.index_name +
             "', because it does not exist or you do not have permission.");
  }
  Execute("DROP INDEX " + schema + "." + QuoteName(name), {});
}

void Session::RunCreateProcedure(const Stmt& s) {
  if (TableExists(s.proc_name) || ProcedureExists(s.proc_name)) {
    ThrowSql("There is already an object named '" + s.proc_name + "' in the database.");
  }
  std::vector<Param> params(2);
  params[0].value = Value::Text(s.proc_name);
  params[1].value = Value::Text(s.create_text);
  Execute("INSERT INTO main._tsql_procedures (name, definition) VALUES (?1, ?2)", params);
  procedures_.erase(Lower(s.proc_name));
}

void Session::RunDropProcedure(const Stmt& s) {
  for (const ObjectName& p : s.tables) {
    if (!ProcedureExists(p.name)) {
      ThrowSql("Cannot drop the procedure '" + p.name +
               "', because it does not exist or you do not have permission.");
    }
    std::vector<Param> params(1);
    params[0].value = Value::Text(p.name);
    Execute("DELETE FROM main._tsql_procedures WHERE name = ?1", params);
    procedures_.erase(Lower(p.name));
  }
}

void Session::RunCreateDatabase(const Stmt& s) {
  std::string error;
  if (!CreateDatabase(data_dir_, s.option, &error)) ThrowSql(error);
}

void Session::RunAlterLogin(const Stmt& s) {
  std::string error;
  if (!SetLoginPassword(data_dir_, s.option, s.option_value, &error)) ThrowSql(error);
}

// ---- transactions ----

void Session::BeginTran(unsigned writes) {
  if (trancount_ == 0) {
    if (!sqlite3_get_autocommit(db_)) {
      ThrowSql("The transaction state of the session is inconsistent.");
    }
    if (writes == kWritesAny) {
      Execute("BEGIN IMMEDIATE", {});  // every attached file
    } else {
      // A write that changes nothing takes a file's write lock (waiting up
      // to the connection timeout) without touching the other file.
      Execute("BEGIN", {});
      if (writes & kWritesMain) Execute("DELETE FROM main._tsql_procedures WHERE 0", {});
      if (writes & kWritesLogs) Execute("DELETE FROM logs._tsql_writer WHERE 0", {});
    }
  }
  ++trancount_;
}

void Session::CommitTran() {
  if (trancount_ == 0) {
    ThrowSql("The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  }
  if (--trancount_ == 0) Execute("COMMIT", {});
}

void Session::RollbackTran() {
  if (trancount_ == 0) {
    ThrowSql("The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  }
  trancount_ = 0;
  Execute("ROLLBACK", {});
  SchemaChanged();
}

// ---- EXEC ----

void Session::RunExecString(const Stmt& s) {
  Value text = Evaluate(*s.expr);
  RunBatchText(text.ToText(), /*own_scope=*/true);
}

void Session::RunExecProc(const Stmt& s) {
  const std::string key = Lower(s.proc_name);
  if (StartsWith(key, "sp_")) {
    RunSystemProcedure(key, s);
    return;
  }
  std::shared_ptr<Procedure> proc;
  auto it = procedures_.find(key);
  if (it != procedures_.end()) {
    proc = it->second;
  } else {
    std::vector<Param> params(1);
    params[0].value = Value::Text(s.proc_name);
    std::string text;
    bool found = false;
    Execute("SELECT definition FROM main._tsql_procedures WHERE name = ?1", params,
            [&](sqlite3_stmt* stmt) {
              found = true;
              text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            });
    if (!found) ThrowSql("Could not find stored procedure '" + s.proc_name + "'.");
    proc = std::make_shared<Procedure>();
    std::string error;
    if (!ParseBatch(text, &proc->parsed, &error)) ThrowSql(error);
    if (proc->parsed.statements.size() != 1 ||
        proc->parsed.statements[0]->kind != Stmt::Kind::kCreateProcedure) {
      ThrowSql("The definition of procedure '" + s.proc_name + "' is damaged.");
    }
    procedures_[key] = proc;
  }
  const Stmt& def = *proc->parsed.statements[0];
  // Bind the arguments in the caller's scope.
  std::vector<std::optional<Value>> values(def.params.size());
  std::vector<std::string> output_targets(def.params.size());
  size_t position = 0;
  bool named_seen = false;
  for (const ExecArg& arg : s.args) {
    size_t index;
    if (!arg.name.empty()) {
      named_seen = true;
      index = def.params.size();
      for (size_t i = 0; i < def.params.size(); ++i) {
        if (def.params[i].name == arg.name) index = i;
      }
      if (index == def.params.size()) {
        ThrowSql("@" + arg.name.substr(1) + " is not a parameter for procedure " + def.proc_name +
                 ".");
      }
    } else {
      if (named_seen) {
        ThrowSql("Must pass parameter number " + std::to_string(position + 1) +
                 " and subsequent parameters as '@name = value'.");
      }
      index = position++;
      if (index >= def.params.size()) {
        ThrowSql("Procedure or function " + def.proc_name + " has too many arguments specified.");
      }
    }
    if (arg.value) values[index] = Evaluate(*arg.value);
    if (arg.output && arg.value && arg.value->kind == Expr::Kind::kVariable) {
      output_targets[index] = arg.value->name;
    }
  }
  Scope scope;
  scope.drop_temp_tables = true;
  for (size_t i = 0; i < def.params.size(); ++i) {
    const Stmt::Param& p = def.params[i];
    Value v;
    if (values[i]) {
      v = *values[i];
    } else if (p.default_value) {
      v = p.default_value->value;
    } else {
      ThrowSql("Procedure or function '" + def.proc_name + "' expects parameter '" + p.name +
               "', which was not supplied.");
    }
    Value converted;
    std::string error;
    if (!ConvertValue(v, p.type, -1, true, &converted, &error)) ThrowSql(error);
    scope.vars[p.name] = Variable{p.type, converted};
  }
  if (++exec_depth_ > 32) {
    ThrowSql(
        "Maximum stored procedure, function, trigger, or view nesting level exceeded "
        "(limit 32).");
  }
  scopes_.push_back(std::move(scope));
  RunList(def.body);
  Scope done = std::move(scopes_.back());
  scopes_.pop_back();
  --exec_depth_;
  for (const std::string& t : done.temp_tables) {
    Execute("DROP TABLE IF EXISTS temp." + QuoteName(t), {});
  }
  for (size_t i = 0; i < def.params.size(); ++i) {
    if (!output_targets[i].empty()) Assign(output_targets[i], done.vars[def.params[i].name].value);
  }
  if (!s.return_variable.empty()) {
    Assign(s.return_variable, done.return_value.IsNull() ? Value::Int(0) : done.return_value);
  }
}

void Session::RunSystemProcedure(const std::string& name, const Stmt& s) {
  std::vector<Value> args;
  std::vector<std::string> names;
  for (const ExecArg& arg : s.args) {
    args.push_back(arg.value ? Evaluate(*arg.value) : Value::Null());
    names.push_back(arg.name);
  }
  if (name == "sp_rename") {
    RunSpRename(args);
    return;
  }
  if (name == "sp_spaceused") {
    // Named @objname / @updateusage, or positional.
    std::vector<Value> ordered(2);
    size_t pos = 0;
    for (size_t i = 0; i < args.size(); ++i) {
      if (names[i] == "@objname")
        ordered[0] = args[i];
      else if (names[i] == "@updateusage")
        ordered[1] = args[i];
      else if (names[i].empty() && pos < 2)
        ordered[pos++] = args[i];
    }
    RunSpSpaceUsed(ordered);
    return;
  }
  if (name == "sp_executesql") {
    if (args.empty()) ThrowSql("Procedure expects parameter '@statement'.");
    if (args.size() > 1) ThrowSql("sp_executesql with parameters is not supported by this server.");
    RunBatchText(args[0].ToText(), true);
    return;
  }
  ThrowSql("Could not find stored procedure '" + s.proc_name + "'.");
}

void Session::RunSpRename(const std::vector<Value>& args) {
  if (args.size() < 2)
    ThrowSql(
        "Procedure or function 'sp_rename' expects parameter '@newname', which was not supplied.");
  std::string from = args[0].ToText();
  const std::string to = args[1].ToText();
  const std::string kind = args.size() > 2 ? Lower(args[2].ToText()) : "";
  // Drop brackets and schema: '[dbo].[temp_aall]' -> temp_aall.
  auto strip = [](std::string n) {
    std::string out;
    for (char c : n) {
      if (c != '[' && c != ']') out.push_back(c);
    }
    if (strncasecmp(out.c_str(), "dbo.", 4) == 0) out = out.substr(4);
    return out;
  };
  from = strip(from);
  if (kind == "column") {
    const size_t dot = from.rfind('.');
    if (dot == std::string::npos)
      ThrowSql(
          "Either the parameter @objname is ambiguous or the claimed @objtype (column) is wrong.");
    Execute("ALTER TABLE " + QuoteName(from.substr(0, dot)) + " RENAME COLUMN " +
                QuoteName(from.substr(dot + 1)) + " TO " + QuoteName(to),
            {});
    SchemaChanged();
    return;
  }
  if (!kind.empty() && kind != "object") {
    ThrowSql("sp_rename of an " + kind + " is not supported by this server.");
  }
  if (!TableExists(from)) {
    ThrowSql("Either the parameter @objname is ambiguous or the claimed @objtype (" +
             std::string(kind.empty() ? "" : kind) + ") is wrong.");
  }
  if (TableExists(to) || ProcedureExists(to)) {
    ThrowSql("Error: The new name '" + to +
             "' is already in use as a object name and would cause a duplicate that is not "
             "permitted.");
  }
  Execute("ALTER TABLE " + QuoteName(from) + " RENAME TO " + QuoteName(to), {});
  SchemaChanged();
}

void Session::RunSpSpaceUsed(const std::vector<Value>& args) {
  const std::string table = args[0].IsNull() ? "" : args[0].ToText();
  auto kb = [](int64_t bytes) { return std::to_string((bytes + 1023) / 1024) + " KB"; };
  std::vector<Value> row;
  if (table.empty()) {
    int64_t size = 0;
    Execute("SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size()", {},
            [&](sqlite3_stmt* stmt) { size = sqlite3_column_int64(stmt, 0); });
    char mb[40];
    snprintf(mb, sizeof mb, "%.2f MB", static_cast<double>(size) / (1024.0 * 1024.0));
    row = {Value::Text(database_), Value::Text(mb), Value::Text("0.00 MB")};
  } else {
    if (!TableExists(table)) {
      ThrowSql("The object '" + table + "' does not exist in database '" + database_ +
               "' or is invalid for this operation.");
    }
    std::vector<Param> params(1);
    params[0].value = Value::Text(table);
    int64_t rows = 0, data = 0, index = 0;
    Execute("SELECT count(*) FROM " + QuoteName(table), {},
            [&](sqlite3_stmt* stmt) { rows = sqlite3_column_int64(stmt, 0); });
    // Whole pages, as SQL Server counts them: the table's pages are its
    // data, the pages of its indexes its index size.
    Execute(
        "SELECT d.name = m.tbl_name, sum(d.pgsize) FROM dbstat('main', 1) d "
        "JOIN main.sqlite_master m ON m.name = d.name WHERE m.tbl_name = ?1 COLLATE NOCASE "
        "GROUP BY 1",
        params, [&](sqlite3_stmt* stmt) {
          (sqlite3_column_int(stmt, 0) ? data : index) += sqlite3_column_int64(stmt, 1);
        });
    row = {Value::Text(table),
           Value::Text(std::to_string(rows)),
           Value::Text(kb(data + index)),
           Value::Text(kb(data)),
           Value::Text(kb(index)),
           Value::Text("0 KB")};
  }
  if (insert_exec_rows_) {
    insert_exec_rows_->push_back(std::move(row));
  } else if (result_ && !result_->has_rowset) {
    result_->has_rowset = true;
    result_->column_names =
        table.empty()
            ? std::vector<std::string>{"database_name", "database_size", "unallocated space"}
            : std::vector<std::string>{"name", "rows", "reserved", "data", "index_size", "unused"};
    result_->rows.push_back(std::move(row));
  }
}

}  // namespace tellwen::sqlserver
