// The translator's shared helpers, for the files that implement it
// (translator.h is the public interface).
//
// Translator's members are defined by area: names, parameters, literals and
// the expression writer with its comparisons, AND/OR chains and LIKE sets
// (translator.cc), static types (translator_types.cc), chains of arithmetic
// and bit operators (translator_arithmetic.cc), built-in functions
// (translator_functions.cc), and SELECT with its FROM, ORDER BY and the
// planner's plans (translator_select.cc).
//
// Thread safety: the function table is built once and only read; the rest
// are pure functions.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/sqlserver/ast.h"

namespace tellwen::sqlserver::translator_internal {

// A built-in function: its SQLite name ("" for those written apart), its
// argument counts and the static type of its result (kUnknown: not known,
// or for some that of the first argument; see Translator::StaticType).
struct FunctionInfo {
  const char* sqlite_name;
  int min_args, max_args;
  TypeClass result;
};

// The built-in functions by their T-SQL name (lower case).
const std::map<std::string, FunctionInfo>& Functions();

// A node of a chain of arithmetic and bit operators. Chains nest to the left
// ("1 + 2 + 3" is ((1 + 2) + 3)) and may be as long as the parser allows, so
// they are walked with a loop, never by recursion down the left side.
bool IsArithmeticNode(const Expr& e);

// The nodes of the chain whose top is e, top first, and its leftmost operand.
const Expr* ArithmeticSpine(const Expr& e, std::vector<const Expr*>* spine);

inline bool IsNumericClass(TypeClass t) {
  return t == TypeClass::kInteger || t == TypeClass::kFloat;
}

// The static type of "a op b" from the types of its operands.
TypeClass ArithmeticType(const std::string& op, TypeClass a, TypeClass b);

}  // namespace tellwen::sqlserver::translator_internal
