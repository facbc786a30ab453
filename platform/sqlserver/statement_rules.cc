#include "platform/sqlserver/statement_rules.h"

#include <strings.h>

#include "platform/sqlserver/sql_error.h"

namespace tellwen::sqlserver {

void CheckIdentityColumns(const std::string& table, const std::vector<ColumnDef>& columns) {
  int identities = 0;
  for (const ColumnDef& def : columns) {
    if (!def.identity) continue;
    ++identities;
    if (def.type.Class() != TypeClass::kInteger) {
      ThrowSql("Identity column '" + def.name +
               "' must be of data type int, bigint, smallint, tinyint, or decimal or numeric "
               "with a scale of 0, and constrained to be nonnullable.");
    }
  }
  if (identities > 1) {
    ThrowSql("Multiple identity columns specified for table '" + table +
             "'. Only one identity column per table is allowed.");
  }
}

void CheckAddedColumns(const std::vector<ColumnDef>& columns) {
  for (const ColumnDef& def : columns) {
    if (def.identity) ThrowSql("Adding an identity column is not supported by this server.");
    if (def.not_null && !def.default_value) {
      ThrowSql(
          "ALTER TABLE only allows columns to be added that can contain nulls, or have a "
          "DEFAULT definition specified.");
    }
  }
}

void CheckUpdateFrom(const Stmt& update) {
  for (const auto& ref : update.from) {
    if (ref->kind == TableRef::Kind::kTable &&
        strcasecmp(ref->table.name.c_str(), update.table.name.c_str()) == 0) {
      ThrowSql(
          "UPDATE ... FROM that lists the updated table again is not supported by this server.");
    }
  }
}

}  // namespace tellwen::sqlserver
