#include "platform/sqlserver/insert_target.h"

#include <strings.h>

#include "platform/sqlserver/conversions.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/translator.h"

namespace tellwen::sqlserver {

std::string ConvertedSql(const std::string& convert_type, const std::string& expr_sql) {
  if (convert_type.empty()) return expr_sql;
  TypeSpec type;
  if (ParseTypeText(convert_type, &type) && type.Class() == TypeClass::kText) {
    return "tsql_fit(" + expr_sql + ", " + std::to_string(type.length) + ")";
  }
  return "tsql_convert('" + convert_type + "', " + expr_sql + ", NULL)";
}

void InsertTarget::CheckCount(size_t values, Source source) const {
  if (values == columns.size()) return;
  if (source == Source::kExec || !column_list) {
    ThrowSql(
        "Insert Error: Column name or number of supplied values does not match table "
        "definition.");
  }
  ThrowSql(values > columns.size()
               ? "There are fewer columns in the INSERT statement than values specified in the "
                 "VALUES clause. The number of values in the VALUES clause must match the number "
                 "of columns specified in the INSERT statement."
               : "There are more columns in the INSERT statement than values specified in the "
                 "VALUES clause. The number of values in the VALUES clause must match the number "
                 "of columns specified in the INSERT statement.");
}

std::string InsertTarget::ParameterRow() const {
  std::string row = "(";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) row += ", ";
    row += Value(i, "?");
  }
  return row + ")";
}

InsertTarget MakeInsertTarget(const std::string& table, const std::string& sql_table,
                              const std::vector<ColumnInfo>& cols,
                              const std::vector<std::string>& named) {
  InsertTarget target;
  target.table = table;
  target.column_list = !named.empty();
  for (const ColumnInfo& c : cols) {
    if (c.identity && !c.rowid_identity) target.late_identity = true;
  }
  if (named.empty()) {
    for (const ColumnInfo& c : cols) {
      if (c.identity) continue;
      target.columns.push_back(c.name);
      target.convert_types.push_back(c.convert_type);
    }
  } else {
    for (const std::string& name : named) {
      const ColumnInfo* found = nullptr;
      for (const ColumnInfo& c : cols) {
        if (strcasecmp(c.name.c_str(), name.c_str()) == 0) found = &c;
      }
      if (!found) ThrowSql("Invalid column name '" + name + "'.");
      if (found->identity) {
        ThrowSql("Cannot insert explicit value for identity column in table '" + table +
                 "' when IDENTITY_INSERT is set to OFF.");
      }
      target.columns.push_back(name);
      target.convert_types.push_back(found->convert_type);
    }
  }
  target.head = "INSERT INTO " + sql_table;
  if (target.columns.empty()) {
    target.head += " DEFAULT VALUES";
  } else {
    target.head += " (";
    for (size_t i = 0; i < target.columns.size(); ++i) {
      if (i) target.head += ", ";
      target.head += QuoteName(target.columns[i]);
    }
    target.head += ")";
  }
  return target;
}

}  // namespace tellwen::sqlserver
