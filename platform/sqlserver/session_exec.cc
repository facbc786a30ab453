// The session's part of the system procedures on SQLite (sp_rename's
// changes, sp_spaceused's sizes) and the stored text of procedures.
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

int64_t Session::DatabaseBytes() {
  int64_t size = 0;
  RunSqlite("SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size()", {},
            [&](sqlite3_stmt* stmt) { size = sqlite3_column_int64(stmt, 0); });
  return size;
}

Session::TableSpace Session::TableBytes(const std::string& table) {
  std::vector<BoundParam> params(1);
  params[0].value = Value::Text(table);
  TableSpace space;
  RunSqlite("SELECT count(*) FROM " + QuoteName(table), {},
            [&](sqlite3_stmt* stmt) { space.rows = sqlite3_column_int64(stmt, 0); });
  // Whole pages, as SQL Server counts them: the table's pages are its
  // data, the pages of its indexes its index size.
  RunSqlite(
      "SELECT d.name = m.tbl_name, sum(d.pgsize) FROM dbstat('main', 1) d "
      "JOIN main.sqlite_master m ON m.name = d.name WHERE m.tbl_name = ?1 COLLATE NOCASE "
      "GROUP BY 1",
      params, [&](sqlite3_stmt* stmt) {
        (sqlite3_column_int(stmt, 0) ? space.data : space.index) += sqlite3_column_int64(stmt, 1);
      });
  // The table's substring indexes are indexes too: their FTS5 tables
  // ("<fts>_data", "<fts>_idx", "<fts>_config") count for its index size.
  if (HasSubstringRegistry()) {
    RunSqlite(
        "SELECT sum(d.pgsize) FROM dbstat('main', 1) d JOIN main._tsql_substring s "
        "ON s.tbl = ?1 AND substr(d.name, 1, length(s.fts) + 1) = s.fts || '_'",
        params, [&](sqlite3_stmt* stmt) { space.index += sqlite3_column_int64(stmt, 0); });
  }
  return space;
}

}  // namespace tellwen::sqlserver
