// SQL Server's rules for the identity columns of a CREATE TABLE, checked
// alike by every engine's session before it makes the table.
//
// Thread safety: pure function.
#pragma once

#include <string>
#include <vector>

#include "platform/sqlserver/ast.h"

namespace tellwen::sqlserver {

// Throws SQL Server's error when an identity column is not of an integer
// type, or when table has more than one identity column.
void CheckIdentityColumns(const std::string& table, const std::vector<ColumnDef>& columns);

}  // namespace tellwen::sqlserver
