// Translator: chains of arithmetic and bit operators, written flat, as
// SQLite's operators or as the calls of functions.h where T-SQL and SQLite
// differ.
#include <string>
#include <string_view>
#include <vector>

#include "platform/sqlserver/translator.h"
#include "platform/sqlserver/translator_internal.h"

namespace tellwen::sqlserver {
namespace {

bool IsArithmeticOp(const std::string& op) {
  return op == "+" || op == "-" || op == "*" || op == "/" || op == "%" || op == "&" || op == "|" ||
         op == "^";
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

namespace translator_internal {

bool IsArithmeticNode(const Expr& e) {
  return e.kind == Expr::Kind::kBinary && IsArithmeticOp(e.op);
}

const Expr* ArithmeticSpine(const Expr& e, std::vector<const Expr*>* spine) {
  const Expr* n = &e;
  while (IsArithmeticNode(*n)) {
    spine->push_back(n);
    n = n->args[0].get();
  }
  return n;
}

// An operand of the PostgreSQL engine's tsql.add with its type written
// where it is known.
std::string TypedOperand(const std::string& sql, TypeClass type) {
  switch (type) {
    case TypeClass::kText:
      return "CAST(" + sql + " AS text)";
    case TypeClass::kInteger:
      return "CAST(" + sql + " AS bigint)";
    case TypeClass::kFloat:
      return "CAST(" + sql + " AS double precision)";
    default:
      return sql;
  }
}

}  // namespace translator_internal

using translator_internal::ArithmeticSpine;
using translator_internal::ArithmeticType;
using translator_internal::IsNumericClass;
using translator_internal::TypedOperand;

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
    if (call && postgres_ && std::string_view(call) == "tsql_add(") {
      // The server picks the function by its operands' types: those known
      // here are told (a literal's would be guessed).
      for (auto p = prefixes.rbegin(); p != prefixes.rend(); ++p) body.insert(0, *p);
      prefixes.clear();
      body = "tsql_add(" + TypedOperand(body, left_type) + ", " + TypedOperand(right, right_type) +
             ")";
      open_call = nullptr;
      binding = kBindsAtom;
      continue;
    }
    if (call) {
      // The server's functions take two operands.
      if (open_call == call && call_operands < kOperandsPerCall && !postgres_) {
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

}  // namespace tellwen::sqlserver
