// The target of an INSERT: the table's columns as inserts see them, the
// columns a statement fills and the conversions their values go through.
// The general insert, the literal insert and the loader's batches all build
// their SQLite text from one InsertTarget, so that they name columns, convert
// values and report a wrong number of values alike.
//
// Thread safety: plain data and pure functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tellwen::sqlserver {

// One column of a table, read from SQLite's table_info.
struct ColumnInfo {
  std::string name;
  bool identity = false;
  bool rowid_identity = false;  // INTEGER PRIMARY KEY: SQLite numbers it
  int64_t seed = 1, step = 1;
  // Numeric and date columns: the type values are converted to on INSERT
  // VALUES and UPDATE SET, as SQL Server converts them; text columns of a
  // bounded length: the type whose length values are checked against
  // ("" for others).
  std::string convert_type;
};

// expr_sql converted to convert_type ("" leaves it as it is); for a text
// type, checked against its length ("String or binary data would be
// truncated.").
std::string ConvertedSql(const std::string& convert_type, const std::string& expr_sql);

struct InsertTarget {
  std::string table;  // the T-SQL name, for messages
  // "INSERT INTO t (a, b)", or "INSERT INTO t DEFAULT VALUES" when no column
  // is filled.
  std::string head;
  std::vector<std::string> columns;        // the columns filled, in order
  std::vector<std::string> convert_types;  // per column, see ColumnInfo
  bool column_list = false;                // the statement named its columns
  // A server-numbered identity column (not SQLite's rowid): numbered after
  // the insert (see the session's FinishIdentity).
  bool late_identity = false;

  enum class Source { kValues, kExec };
  // Throws SQL Server's error when a row of `values` values does not fit the
  // columns. Rows from INSERT ... EXEC always get the table-definition text.
  void CheckCount(size_t values, Source source = Source::kValues) const;
  // The SQLite text of value i of a row, given the SQL of the value.
  std::string Value(size_t i, const std::string& value_sql) const {
    return ConvertedSql(convert_types[i], value_sql);
  }
  // "(?, tsql_convert('int', ?, NULL), ...)": one row of parameters.
  std::string ParameterRow() const;
};

// The target for an insert into table (sql_table: its SQLite name) of named
// columns, or of every column that is not an identity when named is empty.
// Throws for an unknown column and for an identity column named explicitly.
InsertTarget MakeInsertTarget(const std::string& table, const std::string& sql_table,
                              const std::vector<ColumnInfo>& cols,
                              const std::vector<std::string>& named);

}  // namespace tellwen::sqlserver
