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

namespace {

// The table source of FROM whose alias alias is (searched in joins too);
// throws when there are two.
const TableRef* AliasedTable(const TableRef& ref, const std::string& alias,
                             const TableRef* found = nullptr) {
  if (ref.kind == TableRef::Kind::kTable) {
    if (ref.alias.empty() || strcasecmp(ref.alias.c_str(), alias.c_str()) != 0) return found;
    if (found) ThrowSql("The table '" + alias + "' is ambiguous.");
    return &ref;
  }
  if (ref.kind == TableRef::Kind::kJoin) {
    found = AliasedTable(*ref.left, alias, found);
    found = AliasedTable(*ref.right, alias, found);
  }
  return found;
}

bool Contains(const TableRef& ref, const TableRef* table) {
  if (&ref == table) return true;
  return ref.kind == TableRef::Kind::kJoin &&
         (Contains(*ref.left, table) || Contains(*ref.right, table));
}

// ref's inner and cross joins taken apart: their sources but target in
// *from, their ON conditions in *conditions. A source under an outer join
// stays whole with it; the target may not be there.
void TakeApart(const TableRef& ref, const TableRef* target, UpdateTarget* out) {
  if (&ref == target) return;
  if (ref.kind == TableRef::Kind::kJoin && (ref.join_type == "inner" || ref.join_type == "cross")) {
    TakeApart(*ref.left, target, out);
    TakeApart(*ref.right, target, out);
    if (ref.on) out->conditions.push_back(ref.on.get());
    return;
  }
  if (Contains(ref, target)) {
    ThrowSql("UPDATE of a table joined by an outer join is not supported by this server.");
  }
  out->from.push_back(&ref);
}

const TableRef* FindAliasedTable(const Stmt& update) {
  const TableRef* found = nullptr;
  for (const auto& ref : update.from) found = AliasedTable(*ref, update.table.name, found);
  return found;
}

}  // namespace

UpdateTarget ResolveUpdateTarget(const Stmt& update) {
  UpdateTarget target;
  const TableRef* aliased = FindAliasedTable(update);
  if (!aliased) {
    CheckUpdateFrom(update);
    target.table = update.table;
    for (const auto& ref : update.from) target.from.push_back(ref.get());
    return target;
  }
  target.table = aliased->table;
  target.alias = aliased->alias;
  for (const auto& ref : update.from) TakeApart(*ref, aliased, &target);
  return target;
}

std::string UpdatedTable(const Stmt& update) {
  try {
    const TableRef* aliased = FindAliasedTable(update);
    return aliased ? aliased->table.name : update.table.name;
  } catch (const SqlException&) {
    return update.table.name;
  }
}

}  // namespace tellwen::sqlserver
