// Translator: the static types of expressions, as far as they are known
// before the statement runs.
#include <cstdint>

#include "platform/sqlserver/translator.h"
#include "platform/sqlserver/translator_internal.h"

namespace tellwen::sqlserver {

namespace translator_internal {

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

}  // namespace translator_internal

using translator_internal::ArithmeticSpine;
using translator_internal::ArithmeticType;
using translator_internal::Functions;
using translator_internal::IsArithmeticNode;

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

}  // namespace tellwen::sqlserver
