// SQL Server's rules for statements that every engine's session checks
// alike before it runs them: the identity columns of a CREATE TABLE, the
// columns ALTER TABLE ADD takes, the tables of UPDATE ... FROM.
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

// Throws SQL Server's error (or this server's refusal) for a column ALTER
// TABLE ADD cannot add: an identity, a NOT NULL one without a default.
void CheckAddedColumns(const std::vector<ColumnDef>& columns);

// Throws when an UPDATE's FROM lists the updated table again (the engines
// name the target once).
void CheckUpdateFrom(const Stmt& update);

}  // namespace tellwen::sqlserver
