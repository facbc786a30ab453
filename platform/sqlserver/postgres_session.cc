#include "platform/sqlserver/postgres_session.h"

#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <unordered_map>

#include "platform/sqlserver/insert_target.h"
#include "platform/sqlserver/loader_batch.h"
#include "platform/sqlserver/postgres_dialect.h"
#include "platform/sqlserver/postgres_functions.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/statement_rules.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver {
namespace {

// A text as a PostgreSQL string literal.
std::string Quoted(const std::string& text) {
  std::string r = "'";
  for (char c : text) {
    if (c == '\'') r += '\'';
    r += c;
  }
  return r + "'";
}

// A statement's own name, lower case (the quoting of names folds them too).
std::string NameOf(const std::string& name) { return Lower(name); }

}  // namespace

PostgresSession::PostgresSession(std::unique_ptr<PostgresLink> link, std::string database)
    : Interpreter(std::move(database)), link_(std::move(link)) {
  if (strcasecmp(database_.c_str(), "master") != 0) PrepareDatabase();
}

PostgresSession::~PostgresSession() = default;

void PostgresSession::PrepareDatabase() {
  InstallPostgresFunctions(*link_);
  // pg_trgm for the substring indexes, where the server has it and the role
  // may add it (a trusted extension); without it name searches read tables.
  PostgresRows rows;
  RunPlain("SELECT count(*) FROM pg_extension WHERE extname = 'pg_trgm'", &rows);
  if (rows.rows[0][0].i == 0) {
    try {
      RunPlain("CREATE EXTENSION IF NOT EXISTS pg_trgm");
    } catch (const SqlException&) {
      // Another connection made it meanwhile, or it cannot be had.
    }
  }
}

bool PostgresSession::IsSubstringColumn(const std::string& column) const {
  for (const std::string& name : substring_columns_) {
    if (strcasecmp(name.c_str(), column.c_str()) == 0) return true;
  }
  return false;
}

// ---- statements ----

int64_t PostgresSession::RunTranslated(const std::string& sql,
                                       const std::vector<BoundParam>& params, PostgresRows* rows) {
  CheckDeadline();
  std::vector<Value> values;
  values.reserve(params.size());
  for (const BoundParam& p : params) {
    if (p.kind == BoundParam::Kind::kVariable) {
      values.push_back(VariableValue(p.name));
    } else if (p.kind == BoundParam::Kind::kSystem) {
      values.push_back(SystemValue(p.name));
    } else {
      values.push_back(p.value);
    }
  }
  PostgresRows local;
  PostgresRows* out = rows ? rows : &local;
  const std::string text = PostgresText(sql);
  if (trace_statements_) fprintf(stderr, "postgres: %s\n", text.c_str());
  link_->Run(text, values, out);
  return out->changed;
}

void PostgresSession::RunPlain(const std::string& sql, PostgresRows* rows) {
  link_->Run(sql, {}, rows);
}

void PostgresSession::Deliver(PostgresRows rows) {
  if (insert_exec_rows_) {
    for (auto& row : rows.rows) insert_exec_rows_->push_back(std::move(row));
    return;
  }
  if (!result_ || result_->has_rowset) return;
  result_->has_rowset = true;
  result_->column_names = std::move(rows.column_names);
  result_->rows = std::move(rows.rows);
}

namespace {

// The tables a FROM clause names WITH (TABLOCKX), in the order written.
void ExclusiveTables(const TableRef& ref, std::vector<std::string>* names) {
  if (ref.kind == TableRef::Kind::kJoin) {
    ExclusiveTables(*ref.left, names);
    ExclusiveTables(*ref.right, names);
  } else if (ref.kind == TableRef::Kind::kTable && ref.exclusive_lock) {
    names->push_back(TableName(ref.table));
  }
}

}  // namespace

void PostgresSession::LockExclusively(const std::vector<std::string>& tables) {
  std::string list;
  for (const std::string& table : tables) list += (list.empty() ? "" : ", ") + table;
  std::minstd_rand jitter(std::random_device{}());
  for (;;) {
    RunPlain("SAVEPOINT tsql_lock");
    try {
      RunPlain("SET LOCAL lock_timeout = 100");
      RunPlain("LOCK TABLE " + list + " IN ACCESS EXCLUSIVE MODE");
      RunPlain("RELEASE SAVEPOINT tsql_lock");
      RunPlain("SET LOCAL lock_timeout TO DEFAULT");
      return;
    } catch (const SqlException& e) {
      if (e.description != kLockTimeoutText) throw;
    }
    // Back to the savepoint: the locks this attempt took are released too.
    RunPlain("ROLLBACK TO SAVEPOINT tsql_lock");
    RunPlain("RELEASE SAVEPOINT tsql_lock");
    CheckDeadline();
    std::this_thread::sleep_for(std::chrono::milliseconds(10 + jitter() % 50));
  }
}

namespace {

// value as a field of COPY's text format.
void AppendCopyField(const Value& value, std::string* out) {
  if (value.IsNull()) {
    *out += "\\N";
    return;
  }
  if (value.type != Value::Type::kText) {
    *out += value.ToText();
    return;
  }
  for (const char c : value.s) {
    switch (c) {
      case '\\':
        *out += "\\\\";
        break;
      case '\t':
        *out += "\\t";
        break;
      case '\n':
        *out += "\\n";
        break;
      case '\r':
        *out += "\\r";
        break;
      default:
        out->push_back(c);
    }
  }
}

}  // namespace

bool PostgresSession::RunFastBatch(std::string_view text) {
  std::vector<LoaderOp> ops;
  std::vector<Value> values;
  if (text.size() < 64 || !ScanLoaderBatch(text, &ops, &values)) return false;
  // Every table first: one this form does not serve sends the whole batch,
  // untouched so far, down the general path, whose rules then apply.
  std::unordered_map<std::string, std::pair<InsertTarget, std::string>> targets;
  for (const LoaderOp& op : ops) {
    if (op.kind != LoaderOp::Kind::kInsert || targets.count(op.table)) continue;
    try {
      const ObjectName name{op.table};
      InsertTarget target = MakeInsertTarget(op.table, TableName(name), TableColumns(op.table), {});
      if (target.late_identity) return false;
      for (const std::string& type : target.convert_types) {
        if (!type.empty()) return false;
      }
      std::string copy = "COPY " + TableName(name) + " (";
      for (size_t i = 0; i < target.columns.size(); ++i) {
        copy += (i ? ", " : "") + QuoteName(target.columns[i]);
      }
      copy += ") FROM STDIN";
      targets.emplace(op.table, std::make_pair(std::move(target), std::move(copy)));
    } catch (const SqlException&) {
      return false;
    }
  }
  std::string data;
  for (size_t k = 0; k < ops.size();) {
    CheckDeadline();
    const LoaderOp& op = ops[k];
    if (op.kind != LoaderOp::Kind::kInsert) {
      if (op.kind == LoaderOp::Kind::kBegin) {
        BeginTran(nullptr, 0);
      } else {
        CommitTran();
      }
      ++k;
      continue;
    }
    const auto& [target, copy] = targets.at(op.table);
    data.clear();
    for (; k < ops.size() && ops[k].kind == LoaderOp::Kind::kInsert && ops[k].table == op.table;
         ++k) {
      target.CheckCount(ops[k].count);
      for (size_t i = 0; i < ops[k].count; ++i) {
        if (i) data += '\t';
        AppendCopyField(values[ops[k].first + i], &data);
      }
      data += '\n';
    }
    if (trace_statements_) fprintf(stderr, "postgres: %s (%zu bytes)\n", copy.c_str(), data.size());
    rowcount_ = link_->Copy(copy, data);
  }
  return true;
}

void PostgresSession::RunSelect(const Stmt& s) {
  const Select& select = *s.select;
  const SelectCore& first = select.cores[0];
  if (trancount_ > 0) {
    std::vector<std::string> exclusive;
    for (const auto& ref : first.from) ExclusiveTables(*ref, &exclusive);
    if (!exclusive.empty()) LockExclusively(exclusive);
  }
  if (first.has_into) {
    for (const SelectItem& item : first.items) {
      if (item.kind == SelectItem::Kind::kExpr && item.expr->kind == Expr::Kind::kIdentity) {
        ThrowSql("SELECT INTO with IDENTITY is not supported by the PostgreSQL engine yet.");
      }
    }
    if (TableExists(first.into.name)) {
      ThrowSql("There is already an object named '" + first.into.name + "' in the database.");
    }
    Translator t(*this);
    const std::string query = t.Select(select);
    rowcount_ =
        RunTranslated(std::string(first.into.IsTemp() ? "CREATE TEMP TABLE " : "CREATE TABLE ") +
                          TableName(first.into) + " AS " + query,
                      t.params());
    if (first.into.IsTemp()) scopes_.back().temp_tables.push_back(first.into.name);
    return;
  }
  bool assign = false;
  for (const SelectItem& item : first.items)
    assign = assign || item.kind == SelectItem::Kind::kAssign;
  Translator t(*this);
  const std::string sql = t.Select(select);
  PostgresRows rows;
  RunTranslated(sql, t.params(), &rows);
  rowcount_ = static_cast<int64_t>(rows.rows.size());
  if (!assign) {
    Deliver(std::move(rows));
    return;
  }
  for (const SelectItem& item : first.items) {
    if (item.kind != SelectItem::Kind::kAssign) {
      ThrowSql(
          "A SELECT statement that assigns a value to a variable must not be combined with "
          "data-retrieval operations.");
    }
  }
  if (rows.rows.empty()) return;
  const std::vector<Value>& last = rows.rows.back();
  for (size_t i = 0; i < first.items.size() && i < last.size(); ++i) {
    Assign(first.items[i].variable, last[i]);
  }
}

std::vector<ColumnInfo> PostgresSession::TableColumns(const std::string& table) {
  if (!TableExists(table)) ThrowSql("Invalid object name '" + table + "'.");
  PostgresRows rows;
  link_->Run(
      "SELECT attname, attidentity <> '', atttypid = 'timestamp'::regtype FROM pg_attribute "
      "WHERE attrelid = to_regclass($1) AND attnum > 0 AND NOT attisdropped ORDER BY attnum",
      {Value::Text(QuoteName(NameOf(table)))}, &rows);
  std::vector<ColumnInfo> columns;
  for (const auto& row : rows.rows) {
    ColumnInfo c;
    c.name = row[0].s;
    c.identity = row[1].i == 1;
    // A datetime column reads its values as SQL Server reads dates (see RunInsert).
    if (row[2].i == 1) c.convert_type = "datetime";
    columns.push_back(std::move(c));
  }
  return columns;
}

void PostgresSession::RunInsert(const Stmt& s) {
  const InsertTarget target =
      MakeInsertTarget(s.table.name, TableName(s.table), TableColumns(s.table.name), s.columns);
  Translator t(*this);
  // Value i of a row as its column takes it: a date text read by SQL
  // Server's rules, not the server's.
  auto value = [&](size_t i, const std::string& sql) {
    return i < target.convert_types.size() && target.convert_types[i] == "datetime"
               ? "tsql.convert_datetime('datetime', " + sql + ")"
               : sql;
  };
  if (s.select) {
    rowcount_ = RunTranslated(target.head + " " + t.Select(*s.select), t.params());
    return;
  }
  auto literal_row = [&](const std::vector<Value>& row) {
    std::string r;
    for (size_t i = 0; i < row.size(); ++i) {
      Expr literal;
      literal.value = row[i];
      r += (i ? ", " : "") + value(i, t.Expression(literal));
    }
    return r;
  };
  std::vector<std::string> rows;
  if (s.exec) {
    // The procedure's or string's rows, then inserted as constants.
    std::vector<std::vector<Value>> captured;
    auto* saved = insert_exec_rows_;
    insert_exec_rows_ = &captured;
    try {
      Interpreter::Run(*s.exec);
    } catch (...) {
      insert_exec_rows_ = saved;
      throw;
    }
    insert_exec_rows_ = saved;
    for (const auto& row : captured) {
      target.CheckCount(row.size(), InsertTarget::Source::kExec);
      rows.push_back(literal_row(row));
    }
    if (rows.empty()) {
      rowcount_ = 0;
      return;
    }
  } else if (!s.literal_rows.empty()) {
    for (const auto& row : s.literal_rows) {
      target.CheckCount(row.size());
      rows.push_back(literal_row(row));
    }
  } else {
    for (const auto& row : s.values_rows) {
      target.CheckCount(row.size());
      std::string r;
      for (size_t i = 0; i < row.size(); ++i) {
        r += (i ? ", " : "") + value(i, t.Expression(*row[i]));
      }
      rows.push_back(r);
    }
  }
  std::string sql = target.head;
  if (!target.columns.empty()) {
    for (size_t i = 0; i < rows.size(); ++i) sql += (i ? ", (" : " VALUES (") + rows[i] + ")";
  }
  rowcount_ = RunTranslated(sql, t.params());
}

void PostgresSession::RunUpdate(const Stmt& s) {
  if (!s.target_alias.empty()) {
    ThrowSql("UPDATE of an alias is not supported by the PostgreSQL engine yet.");
  }
  Translator t(*this);
  std::string sql = "UPDATE " + TableName(s.table) + " SET ";
  for (size_t i = 0; i < s.assignments.size(); ++i) {
    if (i) sql += ", ";
    sql += QuoteName(s.assignments[i].first) + " = " + t.Expression(*s.assignments[i].second);
  }
  if (!s.from.empty()) {
    CheckUpdateFrom(s);
    sql += " FROM " + t.FromList(s.from);
  }
  if (s.where) sql += " WHERE " + t.Expression(*s.where);
  rowcount_ = RunTranslated(sql, t.params());
}

void PostgresSession::RunDelete(const Stmt& s) {
  if (!s.from.empty()) ThrowSql("DELETE ... FROM with a join is not supported by this server.");
  Translator t(*this);
  std::string sql = "DELETE FROM " + TableName(s.table);
  if (s.where) sql += " WHERE " + t.Expression(*s.where);
  rowcount_ = RunTranslated(sql, t.params());
}

void PostgresSession::RunTruncate(const Stmt& s) {
  RunTranslated("TRUNCATE TABLE " + TableName(s.table), {});
}

// ---- tables, indexes, procedures ----

bool PostgresSession::TableExists(const std::string& name) {
  PostgresRows rows;
  link_->Run("SELECT to_regclass($1) IS NOT NULL", {Value::Text(QuoteName(NameOf(name)))}, &rows);
  return !rows.rows.empty() && rows.rows[0][0].i == 1;
}

bool PostgresSession::ProcedureExists(const std::string& name) {
  return ProcedureDefinition(name).has_value();
}

std::string PostgresSession::ColumnDefinition(const ColumnDef& def) {
  const std::string type = PostgresType(def.type);
  if (type.empty()) {
    ThrowSql("Column, parameter, or variable: cannot find data type " + def.type.name + ".");
  }
  std::string r = QuoteName(def.name) + " " + type;
  if (def.type.Class() == TypeClass::kText) r += " COLLATE tsql";
  if (def.identity) {
    r += " GENERATED BY DEFAULT AS IDENTITY (START WITH " + std::to_string(def.seed) +
         " INCREMENT BY " + std::to_string(def.step) + ")";
  }
  if (def.not_null || def.primary_key || def.identity) r += " NOT NULL";
  if (def.primary_key) r += " PRIMARY KEY";
  if (def.default_value) {
    Translator t(*this, /*inline_literals=*/true);
    r += " DEFAULT " + PostgresText(t.Expression(*def.default_value));
  }
  return r;
}

void PostgresSession::RunCreateTable(const Stmt& s) {
  if (TableExists(s.table.name) || ProcedureExists(s.table.name)) {
    ThrowSql("There is already an object named '" + s.table.name + "' in the database.");
  }
  CheckIdentityColumns(s.table.name, s.column_defs);
  std::string sql = std::string(s.table.IsTemp() ? "CREATE TEMP TABLE " : "CREATE TABLE ") +
                    TableName(s.table) + " (";
  for (size_t i = 0; i < s.column_defs.size(); ++i) {
    if (i) sql += ", ";
    sql += ColumnDefinition(s.column_defs[i]);
  }
  RunTranslated(sql + ")", {});
  if (s.table.IsTemp()) scopes_.back().temp_tables.push_back(s.table.name);
}

void PostgresSession::RunDropTable(const Stmt& s) {
  for (const ObjectName& table : s.tables) {
    if (!TableExists(table.name)) {
      ThrowSql("Cannot drop the table '" + table.name +
               "', because it does not exist or you do not have permission.");
    }
    RunTranslated("DROP TABLE " + TableName(table), {});
  }
}

void PostgresSession::RunAlterTableAdd(const Stmt& s) {
  if (!TableExists(s.table.name)) ThrowSql("Invalid object name '" + s.table.name + "'.");
  CheckAddedColumns(s.column_defs);
  for (const ColumnDef& def : s.column_defs) {
    RunTranslated("ALTER TABLE " + TableName(s.table) + " ADD COLUMN " + ColumnDefinition(def), {});
  }
}

void PostgresSession::RunAlterTableDrop(const Stmt& s) {
  for (const std::string& column : s.columns) {
    RunTranslated("ALTER TABLE " + TableName(s.table) + " DROP COLUMN " + QuoteName(column), {});
  }
}

std::string PostgresSession::IndexName(const std::string& table, const std::string& index) {
  PostgresRows rows;
  link_->Run(
      "SELECT indexname FROM pg_indexes WHERE tablename = $1 AND split_part(indexname, '$', 1) = "
      "$2",
      {Value::Text(NameOf(table)), Value::Text(NameOf(index))}, &rows);
  return rows.rows.empty() ? "" : rows.rows[0][0].s;
}

void PostgresSession::RunCreateIndex(const Stmt& s) {
  if (!TableExists(s.table.name)) {
    ThrowSql("Cannot find the object \"" + s.table.name +
             "\" because it does not exist or you do not have permissions.");
  }
  if (!IndexName(s.table.name, s.index_name).empty()) {
    ThrowSql("The operation failed because an index or statistics with name '" + s.index_name +
             "' already exists on table '" + s.table.name + "'.");
  }
  // The server names indexes per schema: the T-SQL name, "$" and a suffix
  // of its own; the index is found by its table, which follows renames.
  static std::atomic<unsigned> counter{0};
  const std::string suffix = std::to_string(getpid()) + "_" + std::to_string(++counter) + "_" +
                             std::to_string(std::random_device()() % 100000);
  std::string sql = std::string(s.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                    QuoteName(s.index_name + "$" + suffix) + " ON " + TableName(s.table) + " (";
  for (size_t i = 0; i < s.index_columns.size(); ++i) {
    if (i) sql += ", ";
    sql += QuoteName(s.index_columns[i].expr->parts[0]);
    if (s.index_columns[i].desc) sql += " DESC";
  }
  RunTranslated(sql + ")", {});
  if (s.index_columns.size() != 1 || !IsSubstringColumn(s.index_columns[0].expr->parts[0])) return;
  PostgresRows trgm;
  RunPlain("SELECT count(*) FROM pg_extension WHERE extname = 'pg_trgm'", &trgm);
  if (trgm.rows[0][0].i == 0) return;
  // The substring index beside it: trigrams of the text as the LIKE
  // translation's prefilter reads it (postgres_dialect.h).
  RunPlain("CREATE INDEX " + QuoteName(s.index_name + kTrigramSuffix + "$" + suffix) + " ON " +
           TableName(s.table) + " USING gin ((CAST(" +
           QuoteName(s.index_columns[0].expr->parts[0]) +
           " AS text) COLLATE ucs_basic) gin_trgm_ops)");
  // The statistics of the indexed text, so that the server reads the index
  // for a rare text and the table for a common one.
  RunPlain("ANALYZE " + TableName(s.table));
}

void PostgresSession::RunDropIndex(const Stmt& s) {
  const std::string name = IndexName(s.table.name, s.index_name);
  if (name.empty()) {
    ThrowSql("Cannot drop the index '" + s.table.name + "." + s.index_name +
             "', because it does not exist or you do not have permission.");
  }
  RunPlain("DROP INDEX " + QuoteName(name));
  const std::string trigram = IndexName(s.table.name, s.index_name + kTrigramSuffix);
  if (!trigram.empty()) RunPlain("DROP INDEX " + QuoteName(trigram));
}

void PostgresSession::RunCreateProcedure(const Stmt& s) {
  const std::string& name = s.proc_name;
  if (ProcedureExists(name) || TableExists(name)) {
    ThrowSql("There is already an object named '" + name + "' in the database.");
  }
  link_->Run("INSERT INTO public.tsql_procedures (name, definition, written) VALUES ($1, $2, $3)",
             {Value::Text(NameOf(name)), Value::Text(s.create_text), Value::Text(name)});
  procedures_.erase(NameOf(name));
}

void PostgresSession::RunDropProcedure(const Stmt& s) {
  for (const ObjectName& proc : s.tables) {
    PostgresRows rows;
    link_->Run("DELETE FROM public.tsql_procedures WHERE name = $1",
               {Value::Text(NameOf(proc.name))}, &rows);
    if (rows.changed == 0) {
      ThrowSql("Cannot drop the procedure '" + proc.name +
               "', because it does not exist or you do not have permission.");
    }
    procedures_.erase(NameOf(proc.name));
  }
}

std::optional<std::string> PostgresSession::ProcedureDefinition(const std::string& name) {
  PostgresRows rows;
  link_->Run("SELECT definition FROM public.tsql_procedures WHERE name = $1",
             {Value::Text(NameOf(name))}, &rows);
  if (rows.rows.empty()) return std::nullopt;
  return rows.rows[0][0].s;
}

void PostgresSession::RunCreateDatabase(const Stmt& s) {
  if (trancount_ > 0)
    ThrowSql("CREATE DATABASE statement not allowed within multi-statement transaction.");
  PostgresRows rows;
  link_->Run("SELECT 1 FROM pg_database WHERE datname = $1", {Value::Text(s.database)}, &rows);
  if (!rows.rows.empty()) {
    ThrowSql("Database '" + s.database + "' already exists. Choose a different database name.");
  }
  RunPlain("CREATE DATABASE " + QuoteName(s.database));
}

void PostgresSession::RunAlterLogin(const Stmt& s) {
  RunPlain("ALTER ROLE " + QuoteName(s.login) + " PASSWORD " + Quoted(s.password));
}

void PostgresSession::RunDbcc(const Stmt&) {
  // The server reclaims space by itself (autovacuum).
}

void PostgresSession::RenameColumn(const std::string& table, const std::string& column,
                                   const std::string& to) {
  RunTranslated("ALTER TABLE " + QuoteName(table) + " RENAME COLUMN " + QuoteName(column) + " TO " +
                    QuoteName(to),
                {});
}

void PostgresSession::RenameTable(const std::string& from, const std::string& to) {
  RunTranslated("ALTER TABLE " + QuoteName(from) + " RENAME TO " + QuoteName(to), {});
}

int64_t PostgresSession::DatabaseBytes() {
  PostgresRows rows;
  RunPlain("SELECT pg_database_size(current_database())", &rows);
  return rows.rows[0][0].i;
}

PostgresSession::TableSpace PostgresSession::TableBytes(const std::string& table) {
  const std::string name = QuoteName(NameOf(table));
  PostgresRows rows;
  link_->Run("SELECT (SELECT count(*) FROM " + name +
                 "), pg_table_size($1::regclass), pg_indexes_size($1::regclass)",
             {Value::Text(name)}, &rows);
  const std::vector<Value>& r = rows.rows[0];
  TableSpace space;
  space.rows = r[0].i;
  space.data = r[1].i;
  space.index = r[2].i;
  return space;
}

// ---- transactions ----

void PostgresSession::BeginTran(const std::vector<StmtPtr>*, size_t) {
  if (trancount_ == 0) {
    if (link_->InTransaction()) ThrowSql("The transaction state of the session is inconsistent.");
    // A snapshot transaction reads every statement from one snapshot.
    RunPlain(snapshot_isolation_ ? "BEGIN ISOLATION LEVEL REPEATABLE READ" : "BEGIN");
  }
  ++trancount_;
}

void PostgresSession::CommitTran() {
  if (trancount_ == 0) {
    ThrowSql("The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  }
  if (--trancount_ == 0) RunPlain("COMMIT");
}

void PostgresSession::RollbackTran() {
  if (trancount_ == 0) {
    ThrowSql("The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  }
  trancount_ = 0;
  RunPlain("ROLLBACK");
}

// ---- the interpreter's hooks ----

Value PostgresSession::EvaluateOnEngine(const Expr& e) {
  Translator t(*this);
  PostgresRows rows;
  RunTranslated("SELECT " + t.Expression(e), t.params(), &rows);
  return rows.rows.empty() || rows.rows[0].empty() ? Value() : rows.rows[0][0];
}

bool PostgresSession::ConditionOnEngine(const Expr& e) {
  Translator t(*this);
  PostgresRows rows;
  RunTranslated("SELECT CASE WHEN " + t.Expression(e) + " THEN 1 ELSE 0 END", t.params(), &rows);
  return !rows.rows.empty() && rows.rows[0][0].i == 1;
}

void PostgresSession::DropTempTable(const std::string& name) {
  RunPlain("DROP TABLE IF EXISTS pg_temp." + QuoteName(NameOf(name)));
}

void PostgresSession::BeforeBatch() {
  // Another connection may have re-created a procedure since the last batch.
  procedures_.clear();
}

void PostgresSession::AfterFailedBatch() {
  try {
    if (link_->InTransaction()) RunPlain("ROLLBACK");
    for (size_t i = 1; i < scopes_.size(); ++i) {
      for (const std::string& t : scopes_[i].temp_tables) DropTempTable(t);
    }
  } catch (const SqlException&) {
    // The connection is broken: Reset reports it.
  }
}

bool PostgresSession::Reset() {
  try {
    if (link_->InTransaction()) RunPlain("ROLLBACK");
    RunPlain("DISCARD TEMP");
  } catch (const SqlException&) {
    return false;
  }
  trancount_ = 0;
  snapshot_isolation_ = false;
  scopes_.clear();
  return link_->Alive();
}

}  // namespace tellwen::sqlserver
