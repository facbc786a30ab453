#include "platform/sqlserver/column_rules.h"

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

}  // namespace tellwen::sqlserver
