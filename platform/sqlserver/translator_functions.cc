// Translator: the built-in functions, mapped to SQLite's own or to those of
// functions.h.
#include <map>
#include <string>

#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/translator.h"
#include "platform/sqlserver/translator_internal.h"

namespace tellwen::sqlserver {

namespace translator_internal {

const std::map<std::string, FunctionInfo>& Functions() {
  static const std::map<std::string, FunctionInfo> kFunctions = {
      {"isnull", {"ifnull", 2, 2, TypeClass::kUnknown}},
      {"coalesce", {"coalesce", 2, 100, TypeClass::kUnknown}},
      {"nullif", {"nullif", 2, 2, TypeClass::kUnknown}},
      {"left", {"tsql_left", 2, 2, TypeClass::kText}},
      {"right", {"tsql_right", 2, 2, TypeClass::kText}},
      {"substring", {"tsql_substring", 3, 3, TypeClass::kText}},
      {"len", {"tsql_len", 1, 1, TypeClass::kInteger}},
      {"charindex", {"tsql_charindex", 2, 3, TypeClass::kInteger}},
      {"patindex", {"tsql_patindex", 2, 2, TypeClass::kInteger}},
      {"upper", {"upper", 1, 1, TypeClass::kText}},
      {"lower", {"lower", 1, 1, TypeClass::kText}},
      {"ltrim", {"tsql_ltrim", 1, 1, TypeClass::kText}},
      {"rtrim", {"tsql_rtrim", 1, 1, TypeClass::kText}},
      {"replace", {"tsql_replace", 3, 3, TypeClass::kText}},
      {"space", {"tsql_space", 1, 1, TypeClass::kText}},
      {"replicate", {"tsql_replicate", 2, 2, TypeClass::kText}},
      {"reverse", {"tsql_reverse", 1, 1, TypeClass::kText}},
      {"getdate", {"tsql_getdate", 0, 0, TypeClass::kDateTime}},
      {"current_timestamp", {"tsql_getdate", 0, 0, TypeClass::kDateTime}},
      {"year", {"", 1, 1, TypeClass::kInteger}},
      {"month", {"", 1, 1, TypeClass::kInteger}},
      {"day", {"", 1, 1, TypeClass::kInteger}},
      {"abs", {"abs", 1, 1, TypeClass::kUnknown}},
      {"round", {"tsql_round", 2, 2, TypeClass::kUnknown}},
      {"floor", {"floor", 1, 1, TypeClass::kUnknown}},
      {"ceiling", {"ceil", 1, 1, TypeClass::kUnknown}},
      {"power", {"pow", 2, 2, TypeClass::kFloat}},
      {"sqrt", {"sqrt", 1, 1, TypeClass::kFloat}},
      {"sign", {"sign", 1, 1, TypeClass::kUnknown}},
      {"object_id", {"tsql_object_id", 1, 1, TypeClass::kInteger}},
      {"objectproperty", {"tsql_objectproperty", 2, 2, TypeClass::kInteger}},
      {"count", {"count", 1, 1, TypeClass::kInteger}},
      {"count_big", {"count", 1, 1, TypeClass::kInteger}},
      {"sum", {"sum", 1, 1, TypeClass::kUnknown}},
      {"avg", {"tsql_avg", 1, 1, TypeClass::kUnknown}},
      {"min", {"min", 1, 1, TypeClass::kUnknown}},
      {"max", {"max", 1, 1, TypeClass::kUnknown}},
      {"scope_identity", {"last_insert_rowid", 0, 0, TypeClass::kInteger}},
  };
  return kFunctions;
}

}  // namespace translator_internal

using translator_internal::FunctionInfo;
using translator_internal::Functions;

std::string Translator::Function(const Expr& e) {
  auto it = Functions().find(e.name);
  if (it == Functions().end()) {
    ThrowSql("'" + e.name + "' is not a recognized built-in function name.");
  }
  const FunctionInfo& info = it->second;
  const int n = static_cast<int>(e.args.size());
  if (n < info.min_args || n > info.max_args) {
    ThrowSql("The " + e.name + " function requires " + std::to_string(info.min_args) +
             " argument(s).");
  }
  if (e.name == "year" || e.name == "month" || e.name == "day") {
    return "tsql_datepart('" + e.name + "', " + Expression(*e.args[0]) + ")";
  }
  if (postgres_ && e.name == "isnull" && e.args[1]->kind == Expr::Kind::kLiteral &&
      e.args[1]->value.type != Value::Type::kText && !e.args[1]->value.IsNull() &&
      e.args[0]->kind != Expr::Kind::kLiteral) {
    // ISNULL gives its first argument's type: a number for a text column
    // becomes its text (the server would refuse to match the two types).
    return "coalesce(" + Expression(*e.args[0]) + ", '" + e.args[1]->value.ToText() + "')";
  }
  if (postgres_ && (e.name == "upper" || e.name == "lower")) {
    // SQL Server's, as the embedded engine's: ASCII letters only.
    return std::string(info.sqlite_name) + "(CAST(" + Expression(*e.args[0]) +
           " AS text) COLLATE ucs_basic)";
  }
  std::string r = std::string(info.sqlite_name) + "(";
  if (e.distinct) r += "DISTINCT ";
  for (int i = 0; i < n; ++i) {
    if (i) r += ", ";
    r += Expression(*e.args[i]);
  }
  return r + ")";
}

}  // namespace tellwen::sqlserver
