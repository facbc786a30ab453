// The session's system procedures on SQLite (sp_rename's changes,
// sp_spaceused) and the stored text of procedures.
#include <strings.h>

#include "platform/sqlserver/session.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver {

std::optional<std::string> Session::ProcedureDefinition(const std::string& name) {
  std::vector<BoundParam> params(1);
  params[0].value = Value::Text(name);
  std::optional<std::string> text;
  RunSqlite("SELECT definition FROM main._tsql_procedures WHERE name = ?1", params,
            [&](sqlite3_stmt* stmt) {
              text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            });
  return text;
}

void Session::RenameColumn(const std::string& table, const std::string& column,
                           const std::string& to) {
  RunSqlite("ALTER TABLE " + QuoteName(table) + " RENAME COLUMN " + QuoteName(column) + " TO " +
                QuoteName(to),
            {});
  SchemaChanged();
}

void Session::RenameTable(const std::string& from, const std::string& to) {
  RunSqlite("ALTER TABLE " + QuoteName(from) + " RENAME TO " + QuoteName(to), {});
  RenameSubstringIndexes(from, to);
  SchemaChanged();
}

void Session::RunSpSpaceUsed(const std::vector<Value>& args) {
  const std::string table = args[0].IsNull() ? "" : args[0].ToText();
  auto kb = [](int64_t bytes) { return std::to_string((bytes + 1023) / 1024) + " KB"; };
  if (table.empty()) {
    int64_t size = 0;
    RunSqlite("SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size()", {},
              [&](sqlite3_stmt* stmt) { size = sqlite3_column_int64(stmt, 0); });
    char mb[40];
    snprintf(mb, sizeof mb, "%.2f MB", static_cast<double>(size) / (1024.0 * 1024.0));
    DeliverRow({Value::Text(database_), Value::Text(mb), Value::Text("0.00 MB")},
               {"database_name", "database_size", "unallocated space"});
    return;
  }
  if (!TableExists(table)) {
    ThrowSql("The object '" + table + "' does not exist in database '" + database_ +
             "' or is invalid for this operation.");
  }
  std::vector<BoundParam> params(1);
  params[0].value = Value::Text(table);
  int64_t rows = 0, data = 0, index = 0;
  RunSqlite("SELECT count(*) FROM " + QuoteName(table), {},
            [&](sqlite3_stmt* stmt) { rows = sqlite3_column_int64(stmt, 0); });
  // Whole pages, as SQL Server counts them: the table's pages are its
  // data, the pages of its indexes its index size.
  RunSqlite(
      "SELECT d.name = m.tbl_name, sum(d.pgsize) FROM dbstat('main', 1) d "
      "JOIN main.sqlite_master m ON m.name = d.name WHERE m.tbl_name = ?1 COLLATE NOCASE "
      "GROUP BY 1",
      params, [&](sqlite3_stmt* stmt) {
        (sqlite3_column_int(stmt, 0) ? data : index) += sqlite3_column_int64(stmt, 1);
      });
  // The table's substring indexes are indexes too: their FTS5 tables
  // ("<fts>_data", "<fts>_idx", "<fts>_config") count for its index size.
  if (HasSubstringRegistry()) {
    RunSqlite(
        "SELECT sum(d.pgsize) FROM dbstat('main', 1) d JOIN main._tsql_substring s "
        "ON s.tbl = ?1 AND substr(d.name, 1, length(s.fts) + 1) = s.fts || '_'",
        params, [&](sqlite3_stmt* stmt) { index += sqlite3_column_int64(stmt, 0); });
  }
  DeliverRow({Value::Text(table), Value::Text(std::to_string(rows)), Value::Text(kb(data + index)),
              Value::Text(kb(data)), Value::Text(kb(index)), Value::Text("0 KB")},
             {"name", "rows", "reserved", "data", "index_size", "unused"});
}

}  // namespace tellwen::sqlserver
