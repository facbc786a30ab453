#include "platform/sqlserver/sqlite_messages.h"

#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver {
namespace {

// A name as SQLite quotes it in a message, without quotes or schema.
std::string Unquote(std::string s) {
  if (s.size() >= 2 && (s[0] == '"' || s[0] == '\'') && s.back() == s[0]) {
    s = s.substr(1, s.size() - 2);
  }
  if (StartsWith(s, "main.") || StartsWith(s, "temp.") || StartsWith(s, "logs.")) s = s.substr(5);
  return s;
}

}  // namespace

std::string MapSqliteMessage(const std::string& msg) {
  auto after = [&](std::string_view prefix) { return Unquote(msg.substr(prefix.size())); };
  if (StartsWith(msg, "no such table: ")) {
    return "Invalid object name '" + after("no such table: ") + "'.";
  }
  if (StartsWith(msg, "no such column: ")) {
    std::string c = after("no such column: ");
    const size_t dot = c.rfind('.');
    if (dot != std::string::npos) c = c.substr(dot + 1);
    return "Invalid column name '" + c + "'.";
  }
  if (StartsWith(msg, "table ") && msg.size() > 15 && EndsWith(msg, " already exists")) {
    return "There is already an object named '" + Unquote(msg.substr(6, msg.size() - 21)) +
           "' in the database.";
  }
  if (StartsWith(msg, "ambiguous column name: ")) {
    return "Ambiguous column name '" + after("ambiguous column name: ") + "'.";
  }
  if (StartsWith(msg, "duplicate column name: ")) {
    return "Column names in each table must be unique. Column name '" +
           after("duplicate column name: ") + "' is specified more than once.";
  }
  if (msg.find("values for") != std::string::npos && msg.find("columns") != std::string::npos) {
    return "Insert Error: Column name or number of supplied values does not match table "
           "definition.";
  }
  if (StartsWith(msg, "NOT NULL constraint failed: ")) {
    std::string c = after("NOT NULL constraint failed: ");
    const size_t dot = c.find('.');
    std::string table = dot == std::string::npos ? "" : c.substr(0, dot);
    if (dot != std::string::npos) c = c.substr(dot + 1);
    return "Cannot insert the value NULL into column '" + c + "', table '" + table +
           "'; column does not allow nulls. INSERT fails.";
  }
  if (StartsWith(msg, "UNIQUE constraint failed: ")) {
    return "Cannot insert duplicate key row in object with unique index (" +
           after("UNIQUE constraint failed: ") + ").";
  }
  if (msg == "database is locked" || msg == "database table is locked") {
    return "Lock request time out period exceeded.";
  }
  if (msg == "interrupted") return "Query timeout expired";
  if (msg == "parser stack overflow") return kNestedTooDeeply;
  // SQLite's own limits (2000 columns, a number of parameters per
  // statement) in SQL Server's words.
  if (StartsWith(msg, "too many columns on ")) {
    return "CREATE TABLE failed because table '" + after("too many columns on ") +
           "' exceeds the maximum of 2000 columns.";
  }
  if (StartsWith(msg, "too many columns in result set")) {
    return "The number of elements in the select list exceeds the maximum allowed number of "
           "2000 elements.";
  }
  if (msg == "too many SQL variables") {
    return "The incoming request has too many parameters. Reduce the number of parameters and "
           "resend the request.";
  }
  if (StartsWith(msg, "Expression tree is too large")) return kExpressionTooLong;
  return msg;
}

}  // namespace tellwen::sqlserver
