// The session's queries and row changes: SELECT (to the result, to
// variables, INTO a new table), UPDATE with the fused clear-then-set pair,
// DELETE.
#include <strings.h>

#include "platform/sqlserver/conversions.h"
#include "platform/sqlserver/functions.h"
#include "platform/sqlserver/session.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/statement_rules.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver {

// ---- SELECT ----

void Session::EmitRow(sqlite3_stmt* stmt, int columns) {
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
    if (first.into.IsTemp()) {
      ReadScope read(*this);
      RunSelectInto(select);
    } else {
      RunSelectInto(select);
    }
    return;
  }
  ReadScope read(*this);
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
    RunSqlite(sql, t.params(), [&](sqlite3_stmt* stmt) {
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
  const bool first_rowset = capture && !insert_exec_rows_;
  if (first_rowset) result_->has_rowset = true;
  RunSqlite(
      sql, t.params(),
      [&](sqlite3_stmt* stmt) {
        ++count;
        if (capture) EmitRow(stmt, sqlite3_column_count(stmt));
      },
      first_rowset && result_->column_names.empty() ? &result_->column_names : nullptr);
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
  std::string create = target.IsTemp() ? "CREATE TEMP TABLE " : "CREATE TABLE ";
  create += TableName(target) + " (";
  std::string identity_column;
  int64_t seed = 1, step = 1;
  {
    // The new table's columns: names and declared types of the query's.
    Statement stmt = db_.Prepare(query);
    const int n = sqlite3_column_count(stmt.get());
    const bool one_to_one = static_cast<int>(first.items.size()) == n;
    for (int i = 0; i < n; ++i) {
      if (i) create += ", ";
      std::string name = sqlite3_column_name(stmt.get(), i);
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
      const char* decl = sqlite3_column_decltype(stmt.get(), i);
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
  }
  create += ")";
  RunSqlite(create, {});
  if (target.IsTemp()) scopes_.back().temp_tables.push_back(target.name);
  if (target.IsTemp()) {
    TempSchemaChanged();
  } else {
    SchemaChanged();
  }
  try {
    rowcount_ = RunSqlite("INSERT INTO " + TableName(target) + " " + query, t.params());
    if (!identity_column.empty()) {
      RunSqlite("UPDATE " + TableName(target) + " SET " + QuoteName(identity_column) + " = " +
                    std::to_string(seed) + " + (rowid - 1) * " + std::to_string(step),
                {});
    }
  } catch (...) {
    // The statement is one: when its rows cannot all be copied, the table
    // it made goes too (a failed SELECT INTO leaves no table behind).
    sqlite3_exec(db_.handle(), ("DROP TABLE IF EXISTS " + TableName(target)).c_str(), nullptr,
                 nullptr, nullptr);
    SchemaChanged();
    throw;
  }
}

// ---- UPDATE / DELETE ----

void Session::RunUpdate(const Stmt& s) {
  // UPDATE t SET ... FROM t JOIN u is refused: SQLite names the target once.
  const UpdateTarget target = ResolveUpdateTarget(s);
  Translator t(*this);
  std::string sql = "UPDATE " + TableName(target.table);
  if (!target.alias.empty()) sql += " AS " + QuoteName(target.alias);
  sql += " SET ";
  for (size_t i = 0; i < s.assignments.size(); ++i) {
    if (i) sql += ", ";
    std::string value = t.Expression(*s.assignments[i].second);
    sql += QuoteName(s.assignments[i].first) + " = " +
           Converted(target.table.name, s.assignments[i].first, value);
  }
  if (!target.from.empty()) sql += " FROM " + t.FromList(target.from);
  std::vector<const Expr*> terms = target.conditions;
  if (s.where) terms.push_back(s.where.get());
  sql += t.Where(terms);
  rowcount_ = RunSqlite(sql, t.params());
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
  CheckDeadline();

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
  tally_ = 0;
  try {
    RunSqlite(sql, t.params());
  } catch (const SqlException&) {
    // The statement changed nothing; the two statements report the error
    // as they would have.
    if (db_.timed_out()) throw;
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
  rowcount_ = RunSqlite(sql, t.params());
}

}  // namespace tellwen::sqlserver
