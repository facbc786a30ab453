// SQL Server's rules for statements that every engine's session checks
// alike before it runs them: the identity columns of a CREATE TABLE, the
// columns ALTER TABLE ADD takes, the tables of UPDATE ... FROM and the
// table an UPDATE of an alias changes.
//
// Thread safety: pure functions.
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

// What an UPDATE changes, as the engines write it: "UPDATE table [AS
// alias] SET ... [FROM from] WHERE conditions AND <its WHERE>". For
// "UPDATE t SET ... FROM tbl t JOIN u ON c" (the target names an alias of
// its FROM) that is tbl AS t, FROM u, WHERE c: the aliased table leaves
// the FROM, and the inner joins it took part in become a list of sources
// and their conditions. Otherwise the target as written, the FROM as it is.
// Pointers into the statement, which must outlive the value.
struct UpdateTarget {
  ObjectName table;
  std::string alias;  // "" when the target names the table itself
  std::vector<const TableRef*> from;
  std::vector<const Expr*> conditions;
};

// Throws SQL Server's error for an alias that two sources of the FROM
// have, this server's refusal for an aliased table reached through an
// outer join, and CheckUpdateFrom's.
UpdateTarget ResolveUpdateTarget(const Stmt& update);

// The name of the table update changes (the aliased table's, or the
// target as written), without checks.
std::string UpdatedTable(const Stmt& update);

}  // namespace tellwen::sqlserver
