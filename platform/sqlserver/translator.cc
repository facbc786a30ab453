// Translator: names, parameters and literals, and the expression writer
// with its comparisons, AND/OR chains and sets of LIKEs on one column.
#include "platform/sqlserver/translator.h"

#include <cstring>

#include "platform/sqlserver/postgres_dialect.h"
#include "platform/sqlserver/sql_error.h"

namespace tellwen::sqlserver {
namespace {

// The ILIKE pattern (escape "\") that matches what the T-SQL LIKE pattern
// matches, over ASCII values that end in no blank; false when there is none
// this simple: the pattern must be ASCII, end in no blank, and open no
// bracket but a one-character class ("[_]", "[[]", "[%]"), which is that
// character itself ("]" alone is itself too).
bool ExactIlikePattern(const Value& pattern, std::string* out) {
  if (pattern.type != Value::Type::kText) return false;
  const std::string& p = pattern.s;
  if (p.empty() || p.back() == ' ') return false;
  auto plain = [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u < 0x80;
  };
  out->clear();
  for (size_t i = 0; i < p.size(); ++i) {
    char c = p[i];
    if (!plain(c)) return false;
    if (c == '[') {
      if (i + 2 >= p.size() || p[i + 2] != ']') return false;
      c = p[i + 1];
      if (!plain(c) || c == '^' || c == ']') return false;
      i += 2;
      if (c == '%' || c == '_') *out += '\\';
    }
    if (c == '\\') *out += '\\';
    *out += c;
  }
  return true;
}

}  // namespace

std::string QuoteName(const std::string& name) {
  std::string r = "\"";
  for (char c : name) {
    if (c == '"') r.push_back('"');
    r.push_back(c);
  }
  r.push_back('"');
  return r;
}

std::string TableName(const ObjectName& name) { return QuoteName(name.name); }

std::string Translator::Parameter(BoundParam::Kind kind, const std::string& name) {
  if (inline_literals_) ThrowSql("Variables are not allowed in this statement.");
  BoundParam p;
  p.kind = kind;
  p.name = name;
  params_.push_back(std::move(p));
  if (!postgres_) return "?";
  // The server learns a variable's type from its declaration.
  std::string type = "integer";
  if (kind == BoundParam::Kind::kVariable) {
    const TypeSpec* declared = context_.VariableType(name);
    type = declared ? PostgresType(*declared) : "";
    if (type.empty()) ThrowSql("Variables of this type are not supported by this server.");
  }
  return "CAST(? AS " + type + ")";
}

std::string Translator::Literal(const Value& v) {
  if (v.IsNull()) return "NULL";
  if (inline_literals_ || postgres_) {
    switch (v.type) {
      case Value::Type::kInt:
        return std::to_string(v.i);
      case Value::Type::kFloat: {
        char buf[40];
        snprintf(buf, sizeof buf, "%.17g", v.f);
        std::string text = buf;
        // Still a float when it holds a whole number ("7.0 / 2" is 3.5).
        if (text.find_first_of(".eEni") == std::string::npos) text += ".0";
        return text;
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

// An operand that carries the TSQL collation for a comparison.
std::string Translator::Collated(const Expr& e) {
  std::string s = Expression(e);
  if (IsColumn(e) || IsNumeric(e)) return s;
  // The server takes a collation on texts only.
  if (postgres_ && StaticType(e) != TypeClass::kText) return s;
  return s + " COLLATE TSQL";
}

std::string Translator::Compare(const std::string& op, const Expr& a, const Expr& b) {
  if (postgres_ && (op == "=" || op == "<>") && IsColumn(a) != IsColumn(b)) {
    const Expr& column = IsColumn(a) ? a : b;
    const Expr& value = IsColumn(a) ? b : a;
    if (StaticType(value) == TypeClass::kText) {
      // Trailing blanks do not count, as in SQL Server, and "=" stays a
      // range of the column's index: the server's overloads pick by the
      // column's type (postgres_functions.h). The value is translated for
      // each use, so that parameters number alike.
      const std::string c = Expression(column);
      if (op == "<>") return "tsql_ne(" + c + ", " + Expression(value) + ")";
      std::string r = "(" + c + " >= tsql_eq_low(" + c + ", " + Expression(value) + ")";
      r += " AND " + c + " <= tsql_eq_high(" + c + ", " + Expression(value) + ")";
      return r + " AND tsql_eq_check(" + c + ", " + Expression(value) + "))";
    }
  }
  std::string left = Expression(a);
  std::string right = Expression(b);
  // A column brings its own collation (TSQL for text columns); between two
  // other operands the comparison needs it spelled out.
  if (!IsColumn(a) && !IsColumn(b) && !(IsNumeric(a) && IsNumeric(b))) {
    if (postgres_ && StaticType(a) == TypeClass::kText && StaticType(b) == TypeClass::kText) {
      // The server's collation counts trailing blanks; SQL Server's does not.
      left = "rtrim(" + left + ", ' ')";
      right = "rtrim(" + right + ", ' ')";
    }
    if (!postgres_ || StaticType(b) == TypeClass::kText) {
      right += " COLLATE TSQL";
    } else if (StaticType(a) == TypeClass::kText) {
      left += " COLLATE TSQL";
    }
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
      if (postgres_) {
        // The server's functions return one type each: the one of the target's kind.
        const TypeClass target = e.type.Class();
        const char* kind = target == TypeClass::kInteger    ? "int"
                           : target == TypeClass::kFloat    ? "float"
                           : target == TypeClass::kDateTime ? "datetime"
                                                            : "text";
        // To int: a function of its own, whose result is the server's integer
        // (and an integer column's value itself).
        if (strcasecmp(e.type.name.c_str(), "int") == 0) {
          return "tsql_convert_to_int(" + Expression(*e.args[0]) + ")";
        }
        std::string r = "tsql_convert_" + std::string(kind) + "('" + e.type.ToString() + "', " +
                        Expression(*e.args[0]);
        if (target == TypeClass::kText) {
          if (e.args.size() > 1) {
            r += ", CAST(" + Expression(*e.args[1]) + " AS integer)";
          } else if (StaticType(*e.args[0]) == TypeClass::kDateTime) {
            r += ", 0";  // a datetime converts to text in style 0
          }
        }
        return r + ")";
      }
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
      if (postgres_) {
        // The columns' collation is nondeterministic, which the server's
        // pattern matching refuses: the value goes as a plain text.
        const std::string value = "CAST(" + Expression(*e.args[0]) + " AS text) COLLATE ucs_basic";
        std::string pattern = Expression(*e.args[1]);
        if (e.args.size() > 2) pattern += ", " + Expression(*e.args[2]);
        std::string r = "tsql.like(" + value + ", " + pattern + ")";
        // A column and a constant pattern: first an ILIKE that every match
        // passes, which a trigram index answers (and which is quicker than
        // the regular expression); tsql.like checks what it lets through.
        bool constant = context_.LikePrefilters() && e.args[0]->kind == Expr::Kind::kColumn;
        for (size_t i = 1; i < e.args.size(); ++i) {
          constant = constant && e.args[i]->kind == Expr::Kind::kLiteral;
        }
        if (constant && !e.negated) {
          const std::string prefilter =
              "(" + value + ") ILIKE tsql.like_prefilter(" + pattern + ")";
          // A simple pattern (no escape): over an ASCII value that ends in
          // no blank, an ILIKE of the pattern itself is the match (one case
          // rule, the same wildcards); the regular expression is left for
          // the other values.
          std::string exact;
          if (e.args.size() == 2 && ExactIlikePattern(e.args[1]->value, &exact)) {
            r = prefilter + " AND (CASE WHEN octet_length(" + value + ") = char_length(" + value +
                ") AND right(" + value + ", 1) <> ' ' THEN (" + value + ") ILIKE " +
                Literal(Value::Text(exact)) + " ELSE " + r + " END)";
          } else {
            r = prefilter + " AND " + r;
          }
        }
        return (e.negated ? "(NOT " : "(") + r + ")";
      }
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

std::string Translator::LikeAny(const Expr& e) {
  if (postgres_) return "";  // an OR of tsql.like() calls
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

}  // namespace tellwen::sqlserver
