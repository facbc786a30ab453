#include "platform/sqlserver/translator.h"

#include <cstring>
#include <map>

#include "platform/sqlserver/conversions.h"
#include "platform/sqlserver/sql_error.h"

namespace tellwen::sqlserver {

std::string QuoteName(const std::string& name) {
  std::string r = "\"";
  for (char c : name) {
    if (c == '"') r.push_back('"');
    r.push_back(c);
  }
  r.push_back('"');
  return r;
}

namespace {

bool EqualsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// sysobjects as the procedures test it: tables (of the database's file and
// of its log file) and procedures of the database with a stable id.
constexpr const char* kSysObjects =
    "(SELECT tsql_objid(name) AS id, name COLLATE TSQL AS name, 'U' AS xtype, 'U' AS type, "
    "1 AS uid, 0 AS parent_obj FROM main.sqlite_master WHERE type = 'table' AND "
    "substr(name, 1, 7) <> 'sqlite_' AND substr(name, 1, 6) <> '_tsql_' UNION ALL "
    "SELECT tsql_objid(name), name COLLATE TSQL, 'U', 'U', 1, 0 FROM logs.sqlite_master WHERE "
    "type = 'table' AND substr(name, 1, 7) <> 'sqlite_' AND substr(name, 1, 6) <> '_tsql_' "
    "UNION ALL "
    "SELECT tsql_objid(name), name COLLATE TSQL, 'P', 'P', 1, 0 FROM main._tsql_procedures)";

struct FunctionInfo {
  const char* sqlite_name;
  int min_args, max_args;
  TypeClass result;
};

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

bool IsArithmeticOp(const std::string& op) {
  return op == "+" || op == "-" || op == "*" || op == "/" || op == "%" || op == "&" || op == "|" ||
         op == "^";
}

// A node of a chain of arithmetic and bit operators. Chains nest to the left
// ("1 + 2 + 3" is ((1 + 2) + 3)) and may be as long as the parser allows, so
// they are walked with a loop, never by recursion down the left side.
bool IsArithmeticNode(const Expr& e) {
  return e.kind == Expr::Kind::kBinary && IsArithmeticOp(e.op);
}

// The nodes of the chain whose top is e, top first, and its leftmost operand.
const Expr* ArithmeticSpine(const Expr& e, std::vector<const Expr*>* spine) {
  const Expr* n = &e;
  while (IsArithmeticNode(*n)) {
    spine->push_back(n);
    n = n->args[0].get();
  }
  return n;
}

bool IsNumericClass(TypeClass t) { return t == TypeClass::kInteger || t == TypeClass::kFloat; }

// The static type of "a op b" from the types of its operands.
TypeClass ArithmeticType(const std::string& op, TypeClass a, TypeClass b) {
  if (op == "+") {
    if (a == TypeClass::kText && b == TypeClass::kText) return TypeClass::kText;
    const bool na = IsNumericClass(a), nb = IsNumericClass(b);
    if (na && nb) {
      return a == TypeClass::kFloat || b == TypeClass::kFloat ? TypeClass::kFloat
                                                              : TypeClass::kInteger;
    }
    if ((na && b == TypeClass::kText) || (nb && a == TypeClass::kText)) return na ? a : b;
    return TypeClass::kUnknown;
  }
  if (op == "-" || op == "*" || op == "/" || op == "%") {
    if (a == TypeClass::kFloat || b == TypeClass::kFloat) return TypeClass::kFloat;
    if (a == TypeClass::kInteger && b == TypeClass::kInteger) return TypeClass::kInteger;
    return TypeClass::kUnknown;
  }
  return TypeClass::kInteger;  // bit operators
}

// How tightly SQLite binds the operators the translator writes; an operand
// that binds less tightly than its operator needs parentheses.
constexpr int kBindsAtom = 9;
int SqliteBinding(const std::string& sql_op) {
  if (sql_op == "||") return 5;
  if (sql_op == "*" || sql_op == "/" || sql_op == "%") return 4;
  if (sql_op == "+" || sql_op == "-") return 3;
  return 2;  // & |
}

// Operands per flat tsql_add / tsql_xor call; SQLite takes at most 127.
constexpr int kOperandsPerCall = 100;

}  // namespace

std::string TableName(const ObjectName& name) { return QuoteName(name.name); }

std::string Translator::Parameter(BoundParam::Kind kind, const std::string& name) {
  if (inline_literals_) ThrowSql("Variables are not allowed in this statement.");
  BoundParam p;
  p.kind = kind;
  p.name = name;
  params_.push_back(std::move(p));
  return "?";
}

std::string Translator::Literal(const Value& v) {
  if (v.IsNull()) return "NULL";
  if (inline_literals_) {
    switch (v.type) {
      case Value::Type::kInt:
        return std::to_string(v.i);
      case Value::Type::kFloat: {
        char buf[40];
        snprintf(buf, sizeof buf, "%.17g", v.f);
        return buf;
      }
      default: {
        std::string r = "'";
        for (char c : v.s) {
          if (c == '\'') r.push_back('\'');
          r.push_back(c);
        }
        return r + "'";
      }
    }
  }
  BoundParam p;
  p.kind = BoundParam::Kind::kLiteral;
  p.value = v;
  params_.push_back(std::move(p));
  return "?";
}

TypeClass Translator::StaticType(const Expr& e) {
  switch (e.kind) {
    case Expr::Kind::kLiteral:
      switch (e.value.type) {
        case Value::Type::kInt:
          return TypeClass::kInteger;
        case Value::Type::kFloat:
          return TypeClass::kFloat;
        case Value::Type::kText:
          return TypeClass::kText;
        default:
          return TypeClass::kUnknown;
      }
    case Expr::Kind::kVariable: {
      const TypeSpec* t = context_.VariableType(e.name);
      return t ? t->Class() : TypeClass::kUnknown;
    }
    case Expr::Kind::kSystemVariable:
      return e.name == "@@servername" || e.name == "@@version" ? TypeClass::kText
                                                               : TypeClass::kInteger;
    case Expr::Kind::kUnary:
      return e.op == "not" ? TypeClass::kInteger : StaticType(*e.args[0]);
    case Expr::Kind::kBinary: {
      if (!IsArithmeticNode(e)) return TypeClass::kInteger;  // comparisons, logic
      std::vector<const Expr*> spine;
      TypeClass t = StaticType(*ArithmeticSpine(e, &spine));
      for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
        t = ArithmeticType((*it)->op, t, StaticType(*(*it)->args[1]));
      }
      return t;
    }
    case Expr::Kind::kFunction: {
      auto it = Functions().find(e.name);
      if (it == Functions().end()) return TypeClass::kUnknown;
      if (it->second.result == TypeClass::kUnknown && !e.args.empty() &&
          e.args[0]->kind != Expr::Kind::kStar &&
          (e.name == "isnull" || e.name == "coalesce" || e.name == "min" || e.name == "max" ||
           e.name == "sum" || e.name == "abs")) {
        return StaticType(*e.args[0]);
      }
      return it->second.result;
    }
    case Expr::Kind::kCast:
      return e.type.Class();
    case Expr::Kind::kDatePart:
      if (e.name == "dateadd") return TypeClass::kDateTime;
      if (e.name == "datename") return TypeClass::kText;
      return TypeClass::kInteger;
    case Expr::Kind::kIdentity:
    case Expr::Kind::kExists:
    case Expr::Kind::kInList:
    case Expr::Kind::kInSubquery:
    case Expr::Kind::kBetween:
    case Expr::Kind::kLike:
    case Expr::Kind::kIsNull:
      return TypeClass::kInteger;
    case Expr::Kind::kCase: {
      // The type of the first THEN branch.
      const size_t first_then = e.has_operand ? 2 : 1;
      return first_then < e.args.size() ? StaticType(*e.args[first_then]) : TypeClass::kUnknown;
    }
    default:
      return TypeClass::kUnknown;
  }
}

// An operand that carries the TSQL collation for a comparison.
std::string Translator::Collated(const Expr& e) {
  std::string s = Expression(e);
  if (IsColumn(e) || IsNumeric(e)) return s;
  return s + " COLLATE TSQL";
}

std::string Translator::Compare(const std::string& op, const Expr& a, const Expr& b) {
  std::string left = Expression(a);
  std::string right = Expression(b);
  // A column brings its own collation (TSQL for text columns); between two
  // other operands the comparison needs it spelled out.
  if (!IsColumn(a) && !IsColumn(b) && !(IsNumeric(a) && IsNumeric(b))) {
    right += " COLLATE TSQL";
  }
  return "(" + left + " " + op + " " + right + ")";
}

std::string Translator::Expression(const Expr& e) {
  switch (e.kind) {
    case Expr::Kind::kLiteral:
      return Literal(e.value);
    case Expr::Kind::kVariable: {
      if (!context_.VariableType(e.name)) {
        ThrowSql("Must declare the scalar variable \"" + e.name + "\".");
      }
      return Parameter(BoundParam::Kind::kVariable, e.name);
    }
    case Expr::Kind::kSystemVariable: {
      if (e.name == "@@servername") return "tsql_servername()";
      if (e.name == "@@version") return "'Tellwen embedded SQL server'";
      if (e.name == "@@error") return "0";
      if (e.name == "@@identity") return "last_insert_rowid()";
      if (e.name != "@@rowcount" && e.name != "@@trancount" && e.name != "@@spid" &&
          e.name != "@@fetch_status") {
        ThrowSql("Incorrect syntax near '" + e.name + "'.");
      }
      return Parameter(BoundParam::Kind::kSystem, e.name);
    }
    case Expr::Kind::kColumn: {
      std::string r;
      for (size_t i = 0; i < e.parts.size(); ++i) {
        if (i) r += ".";
        r += QuoteName(e.parts[i]);
      }
      if (plus_rowid_ && IsRowidRef(e, *plus_rowid_)) return "(+" + r + ")";
      return r;
    }
    case Expr::Kind::kStar:
      return "*";
    case Expr::Kind::kUnary:
      if (e.op == "not") return "(NOT " + Expression(*e.args[0]) + ")";
      return "(" + e.op + " " + Expression(*e.args[0]) + ")";
    case Expr::Kind::kBinary: {
      const std::string& op = e.op;
      if (op == "or") {
        std::string any = LikeAny(e);
        if (!any.empty()) return any;
      }
      if (op == "and" || op == "or") return Logical(e);
      if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
        return Compare(op, *e.args[0], *e.args[1]);
      }
      return Arithmetic(e);
    }
    case Expr::Kind::kFunction:
      return Function(e);
    case Expr::Kind::kCast: {
      std::string r = "tsql_convert('" + e.type.ToString() + "', ";
      r += Expression(*e.args[0]);
      if (e.args.size() > 1) {
        r += ", " + Expression(*e.args[1]) + ")";
      } else if (e.type.Class() == TypeClass::kText &&
                 StaticType(*e.args[0]) == TypeClass::kDateTime) {
        r += ", 0)";  // a datetime converts to text in style 0
      } else {
        r += ", NULL)";
      }
      return r;
    }
    case Expr::Kind::kDatePart: {
      std::string r = "tsql_" + e.name + "('" + e.part + "'";
      for (const auto& a : e.args) r += ", " + Expression(*a);
      return r + ")";
    }
    case Expr::Kind::kIdentity:
      ThrowSql(
          "The IDENTITY function can only be used when the SELECT statement has an INTO "
          "clause.");
    case Expr::Kind::kCase: {
      std::string r = "(CASE";
      size_t i = 0;
      if (e.has_operand) r += " " + Collated(*e.args[i++]);
      const size_t end = e.args.size() - (e.has_else ? 1 : 0);
      for (; i + 1 < end; i += 2) {
        std::string when = Expression(*e.args[i]);
        std::string then = Expression(*e.args[i + 1]);
        r += " WHEN " + when + " THEN " + then;
      }
      if (e.has_else) r += " ELSE " + Expression(*e.args.back());
      return r + " END)";
    }
    case Expr::Kind::kSubquery:
      return "(" + Select(*e.subquery) + ")";
    case Expr::Kind::kExists:
      return "(EXISTS (" + Select(*e.subquery) + "))";
    case Expr::Kind::kInList: {
      std::string r = "(";
      r += Collated(*e.args[0]);
      r += e.negated ? " NOT IN (" : " IN (";
      for (size_t i = 1; i < e.args.size(); ++i) {
        if (i > 1) r += ", ";
        r += Expression(*e.args[i]);
      }
      return r + "))";
    }
    case Expr::Kind::kInSubquery: {
      std::string x = Collated(*e.args[0]);
      std::string q = Select(*e.subquery);
      return "(" + x + (e.negated ? " NOT IN (" : " IN (") + q + "))";
    }
    case Expr::Kind::kBetween: {
      std::string x = Collated(*e.args[0]);
      std::string lo = Expression(*e.args[1]);
      std::string hi = Expression(*e.args[2]);
      return "(" + x + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + lo + " AND " + hi + ")";
    }
    case Expr::Kind::kLike: {
      std::string x = Expression(*e.args[0]);
      std::string r = "(" + x + (e.negated ? " NOT LIKE " : " LIKE ");
      r += Expression(*e.args[1]);
      if (e.args.size() > 2) r += " ESCAPE " + Expression(*e.args[2]);
      return r + ")";
    }
    case Expr::Kind::kIsNull:
      return "(" + Expression(*e.args[0]) + (e.negated ? " IS NOT NULL)" : " IS NULL)");
  }
  ThrowSql("Unsupported expression.");
}

namespace {

bool SameColumn(const Expr& a, const Expr& b) {
  if (a.parts.size() != b.parts.size()) return false;
  for (size_t i = 0; i < a.parts.size(); ++i) {
    if (strcasecmp(a.parts[i].c_str(), b.parts[i].c_str()) != 0) return false;
  }
  return true;
}

// Patterns per tsql_like_any call; SQLite takes at most 127 arguments.
constexpr size_t kPatternsPerCall = 100;

}  // namespace

std::string Translator::Logical(const Expr& e) {
  // Written flat: SQLite's parser takes a long chain only without nested
  // parentheses. Operands are translated in text order, as parameters are
  // numbered so.
  std::vector<const Expr*> terms;
  LogicalTerms(e, e.op, &terms);
  const char* joint = e.op == "and" ? " AND " : " OR ";
  std::string r = "(";
  for (size_t i = 0; i < terms.size(); ++i) {
    if (i) r += joint;
    r += Expression(*terms[i]);
  }
  return r + ")";
}

std::string Translator::Arithmetic(const Expr& e) {
  // Built from the leftmost operand up the chain in one pass: each step
  // appends its operator and right operand to body, and a step that wraps
  // what came before ("(" or a call) records its opening in prefixes, which
  // are written before body in reverse at the end. Steps of one call
  // (tsql_add, tsql_xor) share one flat call. Parameters are numbered in text
  // order: the left operand, then the right one.
  std::vector<const Expr*> spine;
  const Expr* leftmost = ArithmeticSpine(e, &spine);
  std::vector<const char*> prefixes;
  std::string body = Expression(*leftmost);
  TypeClass type = StaticType(*leftmost);
  int binding = kBindsAtom;         // loosest operator at the top level of body
  const char* open_call = nullptr;  // the call body ends with, if any
  int call_operands = 0;
  for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
    const Expr& node = **it;
    const std::string& op = node.op;
    const TypeClass right_type = StaticType(*node.args[1]);
    const std::string right = Expression(*node.args[1]);
    const TypeClass left_type = type;
    type = ArithmeticType(op, left_type, right_type);
    std::string sql_op = op;
    const char* call = nullptr;
    if (op == "+") {
      if (left_type == TypeClass::kText && right_type == TypeClass::kText) {
        sql_op = "||";
      } else if (!IsNumericClass(left_type) || !IsNumericClass(right_type)) {
        call = "tsql_add(";
      }
    } else if (op == "^") {
      call = "tsql_xor(";
    } else if (op == "/") {
      call = "tsql_div(";  // SQLite gives NULL for a zero divisor
    } else if (op == "%") {
      call = "tsql_mod(";
    }
    if (call) {
      if (open_call == call && call_operands < kOperandsPerCall) {
        body.pop_back();  // the call's ")"
        ++call_operands;
      } else {
        prefixes.push_back(call);
        call_operands = 2;
      }
      body += ", ";
      body += right;
      body += ")";
      open_call = call;
      binding = kBindsAtom;
      continue;
    }
    const int wanted = SqliteBinding(sql_op);
    if (binding < wanted) {
      prefixes.push_back("(");
      body += ")";
    }
    body += " ";
    body += sql_op;
    body += " ";
    body += right;
    binding = wanted;
    open_call = nullptr;
  }
  // Arithmetic on int operands only stays in 32 bits, as SQL Server's int.
  const bool narrow = type == TypeClass::kInteger && IsNarrowInteger(e);
  std::string r = narrow ? "tsql_int(" : "(";
  for (auto it = prefixes.rbegin(); it != prefixes.rend(); ++it) r += *it;
  r += body;
  return r + ")";
}

bool Translator::IsNarrowInteger(const Expr& e) {
  std::vector<const Expr*> stack{&e};
  while (!stack.empty()) {
    const Expr* n = stack.back();
    stack.pop_back();
    switch (n->kind) {
      case Expr::Kind::kLiteral:
        if (n->value.type != Value::Type::kInt || n->value.i < INT32_MIN ||
            n->value.i > INT32_MAX) {
          return false;
        }
        break;
      case Expr::Kind::kVariable: {
        const TypeSpec* t = context_.VariableType(n->name);
        if (!t || (t->name != "int" && t->name != "smallint" && t->name != "tinyint")) {
          return false;
        }
        break;
      }
      case Expr::Kind::kCast:
        if (n->type.name != "int" && n->type.name != "smallint" && n->type.name != "tinyint") {
          return false;
        }
        break;
      case Expr::Kind::kUnary:
        if (n->op != "-" && n->op != "+") return false;
        stack.push_back(n->args[0].get());
        break;
      case Expr::Kind::kBinary:
        if (!IsArithmeticNode(*n) || n->op == "&" || n->op == "|" || n->op == "^") return false;
        stack.push_back(n->args[0].get());
        stack.push_back(n->args[1].get());
        break;
      default:
        return false;  // columns, functions: their type is known only at run time
    }
  }
  return true;
}

std::string Translator::LikeAny(const Expr& e) {
  std::vector<const Expr*> terms;
  LogicalTerms(e, "or", &terms);
  if (terms.size() < 2) return "";
  const Expr* column = nullptr;
  for (const Expr* term : terms) {
    if (term->kind != Expr::Kind::kLike || term->negated || term->args.size() != 2) return "";
    const Expr& subject = *term->args[0];
    const Expr& pattern = *term->args[1];
    if (subject.kind != Expr::Kind::kColumn) return "";
    if (column && !SameColumn(*column, subject)) return "";
    column = &subject;
    // Constant for the run of the statement: the compiled set is kept.
    if (pattern.kind != Expr::Kind::kLiteral && pattern.kind != Expr::Kind::kVariable) return "";
  }
  // The column adds no parameter, so the patterns keep their text order.
  const std::string x = Expression(*column);
  std::string r = "(";
  for (size_t i = 0; i < terms.size(); ++i) {
    if (i % kPatternsPerCall == 0) {
      if (i) r += ") OR ";
      r += "tsql_like_any(" + x;
    }
    r += ", " + Expression(*terms[i]->args[1]);
  }
  return r + "))";
}

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
  std::string r = std::string(info.sqlite_name) + "(";
  if (e.distinct) r += "DISTINCT ";
  for (int i = 0; i < n; ++i) {
    if (i) r += ", ";
    r += Expression(*e.args[i]);
  }
  return r + ")";
}

std::string Translator::OrderTerm(const Expr& e, bool compound,
                                  const std::vector<SelectItem>* items) {
  // ORDER BY 2: a position stays a literal.
  if (e.kind == Expr::Kind::kLiteral && e.value.type == Value::Type::kInt) {
    return std::to_string(e.value.i);
  }
  std::string s = Expression(e);
  if (IsNumeric(e)) return s;
  if (IsColumn(e) && !compound) {
    // A plain column keeps its own collation (and its index); an alias of
    // an expression needs the collation spelled out.
    bool alias = false;
    if (items && e.parts.size() == 1) {
      for (const SelectItem& item : *items) {
        if (item.kind == SelectItem::Kind::kExpr && !item.alias.empty() &&
            EqualsNoCase(item.alias, e.parts[0].c_str()) &&
            !(item.expr->kind == Expr::Kind::kColumn &&
              EqualsNoCase(item.expr->parts.back(), e.parts[0].c_str()))) {
          alias = true;
        }
      }
    }
    if (!alias) return s;
  }
  return s + " COLLATE TSQL";
}

std::string Translator::Select(const struct Select& s, bool identity_as_null) {
  const bool compound = s.cores.size() > 1;
  struct Restore {
    Translator* t;
    const std::vector<OrderItem>* order_by;
    bool fetched;
    ~Restore() {
      t->order_by_ = order_by;
      t->fetched_ = fetched;
    }
  } restore{this, order_by_, fetched_};
  order_by_ = compound ? nullptr : &s.order_by;
  fetched_ = !compound && s.fetch;
  if (!compound) {
    std::string planned = IndexedSelect(s, identity_as_null);
    if (!planned.empty()) return planned;
  }
  std::string r;
  for (size_t i = 0; i < s.cores.size(); ++i) {
    if (i) r += s.union_all[i - 1] ? " UNION ALL " : " UNION ";
    const SelectCore& core = s.cores[i];
    if (compound && core.top) {
      r += "SELECT * FROM (" + Core(core, identity_as_null);
      r += " LIMIT " + Expression(*core.top) + ")";
    } else {
      r += Core(core, identity_as_null);
    }
  }
  if (!s.order_by.empty()) {
    r += " ORDER BY ";
    for (size_t i = 0; i < s.order_by.size(); ++i) {
      if (i) r += ", ";
      RowidTable rowid;
      if (!compound && planner_.RowidOrder(*s.order_by[i].expr, s.cores[0], &rowid)) {
        // The rowid itself, not an expression of it: SQLite walks the
        // table in that order and stops at the LIMIT.
        r += QuoteName(rowid.qualifier) + "." + QuoteName(rowid.column);
      } else {
        r += OrderTerm(*s.order_by[i].expr, compound, compound ? nullptr : &s.cores[0].items);
      }
      if (s.order_by[i].desc) r += " DESC";
    }
  }
  if (!compound && s.cores[0].top) r += " LIMIT " + Expression(*s.cores[0].top);
  return r + OffsetFetch(s);
}

std::string Translator::OffsetFetch(const struct Select& s) {
  if (!s.offset) return "";
  // One piece at a time: parameters are numbered in text order.
  std::string r = " LIMIT ";
  if (s.fetch) {
    r += "max(0, ";
    r += Expression(*s.fetch);
    r += ")";
  } else {
    r += "-1";
  }
  r += " OFFSET max(0, ";
  r += Expression(*s.offset);
  return r + ")";
}

std::string Translator::WalkingWhere(const Expr& where, const RowidTable& walk) {
  std::vector<const Expr*> conjuncts;
  LogicalTerms(where, "and", &conjuncts);
  std::string r = "(";
  for (size_t i = 0; i < conjuncts.size(); ++i) {
    const Expr& term = *conjuncts[i];
    if (i) r += " AND ";
    if (term.kind != Expr::Kind::kBinary || term.op != "or") {
      r += Expression(term);
      continue;
    }
    plus_rowid_ = &walk;
    try {
      r += Expression(term);
    } catch (...) {
      plus_rowid_ = nullptr;
      throw;
    }
    plus_rowid_ = nullptr;
    std::vector<const Expr*> lows, highs;
    if (planner_.CoveringRange(term, walk, &lows, &highs)) {
      r += " AND " + QuoteName(walk.qualifier) + "." + QuoteName(walk.column) + " BETWEEN min(";
      for (size_t k = 0; k < lows.size(); ++k) r += (k ? ", " : "") + Expression(*lows[k]);
      r += ") AND max(";
      for (size_t k = 0; k < highs.size(); ++k) r += (k ? ", " : "") + Expression(*highs[k]);
      r += ")";
    }
  }
  return r + ")";
}

std::string Translator::IndexedSelect(const struct Select& s, bool identity_as_null) {
  IndexedSelectPlan plan;
  if (!planner_.IndexedSelect(s, &plan)) return "";
  const SelectCore& core = s.cores[0];
  const RowidTable& t = plan.key;
  const std::map<std::string, std::string>& queries = plan.queries;
  // SELECT ... WHERE cond AND key IN (the first n keys of the candidates
  // that satisfy cond, in key order) ORDER BY key LIMIT n. Each index is
  // read in rowid order and the branches are merged, so the IN list costs
  // about n look-ups when matches are frequent, and only the candidates
  // when they are rare. Over a single table the row of a listed key is the
  // row that satisfied cond: cond is not tested again.
  const bool one_table = core.from.size() == 1 && core.from[0]->kind == TableRef::Kind::kTable;
  const std::string key = QuoteName(t.qualifier) + "." + QuoteName(t.column);
  const auto key_list = [&] {
    std::string in = key + " IN (";
    bool first = true;
    for (const auto& [index, query] : queries) {
      const std::string fts = QuoteName(index);
      if (!first) in += " UNION ";
      first = false;
      // One piece at a time: parameters are numbered in text order.
      in += "SELECT " + fts + ".rowid FROM main." + fts + " AS " + fts + " CROSS JOIN ";
      in += FromList(core.from);
      in += " WHERE " + fts + " MATCH ";
      in += Literal(Value::Text(query));
      in += " AND " + key + " = " + fts + ".rowid AND (";
      in += Expression(*core.where);
      in += ")";
    }
    in += " ORDER BY 1";
    if (core.top) in += " LIMIT " + Expression(*core.top);
    if (s.fetch) {
      // The first offset + fetch keys; the page is cut from them below.
      in += " LIMIT max(0, ";
      in += Expression(*s.offset);
      in += ") + max(0, ";
      in += Expression(*s.fetch);
      in += ")";
    }
    return in + ")";
  };
  std::string r = Core(core, identity_as_null, key_list, one_table);
  r += " ORDER BY " + key;
  if (core.top) r += " LIMIT " + Expression(*core.top);
  return r + OffsetFetch(s);
}

std::string Translator::Core(const SelectCore& core, bool identity_as_null,
                             const std::function<std::string()>& and_also, bool instead_of_where) {
  std::string r = core.distinct ? "SELECT DISTINCT " : "SELECT ";
  for (size_t i = 0; i < core.items.size(); ++i) {
    if (i) r += ", ";
    const SelectItem& item = core.items[i];
    switch (item.kind) {
      case SelectItem::Kind::kStar:
        r += item.qualifier.empty() ? "*" : QuoteName(item.qualifier) + ".*";
        break;
      case SelectItem::Kind::kAssign:
        r += Expression(*item.expr);
        break;
      case SelectItem::Kind::kExpr:
        if (item.expr->kind == Expr::Kind::kIdentity && identity_as_null) {
          r += "NULL";
        } else {
          r += Expression(*item.expr);
        }
        if (!item.alias.empty()) r += " AS " + QuoteName(item.alias);
        break;
    }
  }
  if (!core.from.empty()) r += " FROM " + FromList(core.from);
  if (instead_of_where) {
    r += " WHERE " + and_also();
  } else {
    if (core.where) {
      RowidTable walk;
      const bool walking = planner_.RowidWalk(core, order_by_, fetched_, &walk);
      r += " WHERE " + (walking ? WalkingWhere(*core.where, walk) : Expression(*core.where));
    }
    if (and_also) r += " AND " + and_also();
  }
  if (!core.group_by.empty()) {
    r += " GROUP BY ";
    for (size_t i = 0; i < core.group_by.size(); ++i) {
      if (i) r += ", ";
      const Expr& g = *core.group_by[i];
      r += IsColumn(g) ? Expression(g) : Collated(g);
    }
  }
  if (core.having) r += " HAVING " + Expression(*core.having);
  return r;
}

std::string Translator::FromList(const std::vector<std::unique_ptr<TableRef>>& from) {
  std::string r;
  for (size_t i = 0; i < from.size(); ++i) {
    if (i) r += ", ";
    r += From(*from[i]);
  }
  return r;
}

std::string Translator::From(const TableRef& ref) {
  switch (ref.kind) {
    case TableRef::Kind::kTable: {
      std::string r;
      if (EqualsNoCase(ref.table.name, "sysobjects")) {
        r = kSysObjects;
        r += " AS " + QuoteName(ref.alias.empty() ? "sysobjects" : ref.alias);
        return r;
      }
      r = TableName(ref.table);
      if (!ref.alias.empty()) r += " AS " + QuoteName(ref.alias);
      return r;
    }
    case TableRef::Kind::kSubquery:
      return "(" + Select(*ref.subquery) + ") AS " + QuoteName(ref.alias);
    case TableRef::Kind::kJoin: {
      std::string type = ref.join_type == "inner"   ? " INNER JOIN "
                         : ref.join_type == "left"  ? " LEFT JOIN "
                         : ref.join_type == "right" ? " RIGHT JOIN "
                         : ref.join_type == "full"  ? " FULL JOIN "
                                                    : " CROSS JOIN ";
      // Joins nest to the left and are written flat; a join on the right
      // (from parentheses in the source) keeps its parentheses.
      std::string right = From(*ref.right);
      if (ref.right->kind == TableRef::Kind::kJoin) right = "(" + right + ")";
      std::string r = From(*ref.left) + type + right;
      if (ref.on) r += " ON " + Expression(*ref.on);
      return r;
    }
  }
  return "";
}

}  // namespace tellwen::sqlserver
