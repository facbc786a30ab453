#include "platform/sqlserver/postgres_dialect.h"

#include <cctype>
#include <cstring>

namespace tellwen::sqlserver {
namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool At(const std::string& text, size_t i, const char* word) {
  return text.compare(i, std::strlen(word), word) == 0 && (i == 0 || !IsWordChar(text[i - 1]));
}

}  // namespace

std::string PostgresText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 16);
  int parameter = 0;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\'' || c == '"') {
      // A literal as it is; a quoted name in lower case (T-SQL's names
      // ignore letter case, the server's quoted names do not).
      size_t end = i + 1;
      while (end < text.size()) {
        if (text[end] == c) {
          if (end + 1 < text.size() && text[end + 1] == c) {
            end += 2;
            continue;
          }
          break;
        }
        ++end;
      }
      const size_t begin = out.size();
      out.append(text, i, end + 1 - i);
      if (c == '"') {
        for (size_t k = begin; k < out.size(); ++k) {
          if (out[k] >= 'A' && out[k] <= 'Z') out[k] = static_cast<char>(out[k] + 32);
        }
      }
      i = end + 1;
      continue;
    }
    if (c == '?') {
      out += "$" + std::to_string(++parameter);
      ++i;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      continue;
    }
    if (text.compare(i, 10, " LIMIT -1 ") == 0) {
      out += " LIMIT ALL ";  // OFFSET without FETCH
      i += 10;
      continue;
    }
    if (At(text, i, "tsql_")) {
      out += "tsql.";
      i += 5;
      continue;
    }
    if (At(text, i, "ifnull(")) {
      out += "coalesce(";
      i += 7;
      continue;
    }
    if (At(text, i, "max(0, ")) {
      out += "greatest(0, ";
      i += 7;
      continue;
    }
    if (At(text, i, "last_insert_rowid()")) {
      out += "lastval()";
      i += 19;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

std::string PostgresType(const TypeSpec& type) {
  const std::string& n = type.name;
  if (n == "int" || n == "integer") return "integer";
  if (n == "bigint") return "bigint";
  if (n == "smallint" || n == "tinyint" || n == "bit") return "smallint";
  if (n == "varchar" || n == "nvarchar" || n == "char" || n == "nchar") {
    if (type.length == -2) return "text";
    return "varchar(" + std::to_string(type.length > 0 ? type.length : 1) + ")";
  }
  if (n == "text" || n == "ntext" || n == "sysname") return "text";
  if (n == "datetime" || n == "smalldatetime" || n == "date") return "timestamp(3)";
  if (n == "float") return "double precision";
  if (n == "real") return "real";
  if (n == "money") return "numeric(19, 4)";
  if (n == "decimal" || n == "numeric") {
    return "numeric(" + std::to_string(type.length > 0 ? type.length : 18) + ", " +
           std::to_string(type.scale > 0 ? type.scale : 0) + ")";
  }
  return "";
}

}  // namespace tellwen::sqlserver
