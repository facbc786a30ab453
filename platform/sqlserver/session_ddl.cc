// The session's schema statements: tables and their columns, indexes,
// procedures, databases and logins, and the look-ups other stages make in
// the schema (does a table exist, what are its columns).
#include <strings.h>

#include <random>

#include "platform/sqlserver/statement_rules.h"
#include "platform/sqlserver/conversions.h"
#include "platform/sqlserver/master.h"
#include "platform/sqlserver/session.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver {
namespace {

std::string RandomSuffix() {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  char buf[20];
  snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(rng()));
  return buf;
}

// The look-up of an index by its T-SQL name in a table (see RunCreateIndex).
std::string IndexLookup(const std::string& schema, const char* what) {
  return std::string("SELECT ") + what + " FROM " + schema +
         ".sqlite_master WHERE type='index' AND tbl_name=?1 COLLATE NOCASE AND "
         "lower(substr(name, 1, length(?2) + 1)) = lower(?2) || '$'";
}

std::vector<BoundParam> TextParams(std::initializer_list<std::string> texts) {
  std::vector<BoundParam> params;
  for (const std::string& text : texts) {
    params.emplace_back();
    params.back().value = Value::Text(text);
  }
  return params;
}

}  // namespace

// ---- look-ups ----

void Session::SchemaChanged() { ForgetTables(); }

void Session::ForgetTables() {
  columns_.clear();
  schemas_.clear();
}

void Session::TempSchemaChanged() {
  for (auto it = columns_.begin(); it != columns_.end();) {
    it = it->first.find('#') != std::string::npos ? columns_.erase(it) : std::next(it);
  }
}

const std::vector<ColumnInfo>& Session::TableColumns(const std::string& table) {
  const std::string key = Lower(table);
  auto it = columns_.find(key);
  if (it != columns_.end()) return it->second;
  std::vector<ColumnInfo> cols;
  Statement stmt = db_.PrepareOnce("PRAGMA table_info(" + QuoteName(table) + ")");
  while (stmt.Step()) {
    sqlite3_stmt* row = stmt.get();
    ColumnInfo c;
    c.name = reinterpret_cast<const char*>(sqlite3_column_text(row, 1));
    const char* type_text = reinterpret_cast<const char*>(sqlite3_column_text(row, 2));
    const std::string type = Lower(type_text ? type_text : "");
    const bool pk = sqlite3_column_int(row, 5) != 0;
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
      if (cls == TypeClass::kInteger || cls == TypeClass::kFloat || cls == TypeClass::kDateTime ||
          (cls == TypeClass::kText && type_spec.length > 0)) {
        c.convert_type = type_spec.ToString();
      }
    }
    cols.push_back(std::move(c));
  }
  if (cols.empty()) ThrowSql("Invalid object name '" + table + "'.");
  return columns_.emplace(key, std::move(cols)).first->second;
}

std::string Session::Converted(const std::string& table, const std::string& column,
                               const std::string& expr_sql) {
  for (const ColumnInfo& c : TableColumns(table)) {
    if (strcasecmp(c.name.c_str(), column.c_str()) == 0) {
      return ConvertedSql(c.convert_type, expr_sql);
    }
  }
  ThrowSql("Invalid column name '" + column + "'.");
}

bool Session::TableExists(const std::string& name) {
  const char* sql = name[0] == '#'
                        ? "SELECT 1 FROM temp.sqlite_master WHERE type='table' AND name=?1 "
                          "COLLATE NOCASE"
                        : "SELECT 1 FROM main.sqlite_master WHERE type='table' AND name=?1 "
                          "COLLATE NOCASE UNION ALL SELECT 1 FROM logs.sqlite_master WHERE "
                          "type='table' AND name=?1 COLLATE NOCASE";
  bool found = false;
  RunSqlite(sql, TextParams({name}), [&](sqlite3_stmt*) { found = true; });
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
  const std::string key = Lower(table);
  if (auto it = schemas_.find(key); it != schemas_.end()) return it->second;
  std::string schema;
  RunSqlite(
      "SELECT 'main' FROM main.sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE "
      "UNION ALL SELECT 'logs' FROM logs.sqlite_master WHERE type='table' AND name=?1 COLLATE "
      "NOCASE",
      TextParams({table}), [&](sqlite3_stmt* stmt) {
        if (schema.empty()) schema = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      });
  if (!schema.empty()) return schemas_[key] = schema;
  return IsLogTable(table) ? kLogSchema : "main";
}

bool Session::ProcedureExists(const std::string& name) {
  bool found = false;
  RunSqlite("SELECT 1 FROM main._tsql_procedures WHERE name = ?1", TextParams({name}),
            [&](sqlite3_stmt*) { found = true; });
  return found;
}

// ---- tables ----

std::string Session::ColumnDefinition(const ColumnDef& def, bool* rowid_identity, int* identities) {
  std::string r = QuoteName(def.name) + " ";
  TypeSpec type = def.type;
  if (type.name == "sysname") type = TypeSpec{"nvarchar", 128, -1};
  if (def.identity) {
    ++*identities;
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
  // SQL Server's limit, below SQLite's.
  constexpr size_t kMaxColumns = 1024;
  if (s.column_defs.size() > kMaxColumns) {
    ThrowSql("CREATE TABLE failed because column '" + s.column_defs[kMaxColumns].name +
             "' in table '" + s.table.name + "' exceeds the maximum of 1024 columns.");
  }
  CheckIdentityColumns(s.table.name, s.column_defs);
  std::string sql = s.table.IsTemp() ? "CREATE TEMP TABLE " : "CREATE TABLE ";
  if (!s.table.IsTemp() && IsLogTable(s.table.name)) sql += std::string(kLogSchema) + ".";
  sql += TableName(s.table) + " (";
  bool rowid_identity = false;
  int identities = 0;
  for (size_t i = 0; i < s.column_defs.size(); ++i) {
    if (i) sql += ", ";
    sql += ColumnDefinition(s.column_defs[i], &rowid_identity, &identities);
  }
  sql += ")";
  RunSqlite(sql, {});
  if (s.table.IsTemp()) scopes_.back().temp_tables.push_back(s.table.name);
  SchemaChanged();
}

void Session::RunDropTable(const Stmt& s) {
  for (const ObjectName& table : s.tables) {
    if (!TableExists(table.name)) {
      ThrowSql("Cannot drop the table '" + table.name +
               "', because it does not exist or you do not have permission.");
    }
    const std::string schema = SchemaOf(table.name);
    if (schema == "main") DropSubstringIndexes(table.name);
    RunSqlite("DROP TABLE " + schema + "." + TableName(table), {});
    SchemaChanged();
  }
}

void Session::RunAlterTableAdd(const Stmt& s) {
  if (!TableExists(s.table.name)) ThrowSql("Invalid object name '" + s.table.name + "'.");
  CheckAddedColumns(s.column_defs);
  for (const ColumnDef& def : s.column_defs) {
    bool rowid_identity = true;
    int identities = 0;
    RunSqlite("ALTER TABLE " + TableName(s.table) + " ADD COLUMN " +
                  ColumnDefinition(def, &rowid_identity, &identities),
              {});
  }
  SchemaChanged();
}

void Session::RunAlterTableDrop(const Stmt& s) {
  for (const std::string& c : s.columns) {
    RunSqlite("ALTER TABLE " + TableName(s.table) + " DROP COLUMN " + QuoteName(c), {});
  }
  SchemaChanged();
}

// ---- indexes ----

// SQL Server names indexes per table, SQLite per database: the SQLite name is
// the T-SQL name, "$" and a random suffix; the table is found by tbl_name,
// which follows sp_rename.
void Session::RunCreateIndex(const Stmt& s) {
  if (!TableExists(s.table.name)) {
    ThrowSql("Cannot find the object \"" + s.table.name +
             "\" because it does not exist or you do not have permissions.");
  }
  const std::string schema = SchemaOf(s.table.name);
  bool exists = false;
  RunSqlite(IndexLookup(schema, "1"), TextParams({s.table.name, s.index_name}),
            [&](sqlite3_stmt*) { exists = true; });
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
  RunSqlite(sql, {});
  if (schema == "main" && s.index_columns.size() == 1 &&
      IsSubstringColumn(s.index_columns[0].expr->parts[0])) {
    BuildSubstringIndex(s.table.name, s.index_columns[0].expr->parts[0]);
  }
}

void Session::RunDropIndex(const Stmt& s) {
  const std::string schema = SchemaOf(s.table.name);
  std::string name;
  RunSqlite(IndexLookup(schema, "name"), TextParams({s.table.name, s.index_name}),
            [&](sqlite3_stmt* stmt) {
              name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            });
  if (name.empty()) {
    ThrowSql("Cannot drop the index '" + s.table.name + "." + s.index_name +
             "', because it does not exist or you do not have permission.");
  }
  RunSqlite("DROP INDEX " + schema + "." + QuoteName(name), {});
}

// ---- procedures, databases, logins ----

void Session::RunCreateProcedure(const Stmt& s) {
  if (TableExists(s.proc_name) || ProcedureExists(s.proc_name)) {
    ThrowSql("There is already an object named '" + s.proc_name + "' in the database.");
  }
  RunSqlite("INSERT INTO main._tsql_procedures (name, definition) VALUES (?1, ?2)",
            TextParams({s.proc_name, s.create_text}));
  procedures_.erase(Lower(s.proc_name));
}

void Session::RunDropProcedure(const Stmt& s) {
  for (const ObjectName& p : s.tables) {
    if (!ProcedureExists(p.name)) {
      ThrowSql("Cannot drop the procedure '" + p.name +
               "', because it does not exist or you do not have permission.");
    }
    RunSqlite("DELETE FROM main._tsql_procedures WHERE name = ?1", TextParams({p.name}));
    procedures_.erase(Lower(p.name));
  }
}

void Session::RunCreateDatabase(const Stmt& s) {
  std::string error;
  if (!CreateDatabase(data_dir_, s.database, &error)) ThrowSql(error);
}

void Session::RunAlterLogin(const Stmt& s) {
  std::string error;
  if (!SetLoginPassword(data_dir_, s.login, s.password, &error)) ThrowSql(error);
}

}  // namespace tellwen::sqlserver
