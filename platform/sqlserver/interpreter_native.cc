// The interpreter's native evaluation: the scalar expressions of control flow
// that read only constants and variables (a procedure's IF and SET over
// its parameters) evaluated here instead of as an engine statement each.
//
// The forms taken are those whose meaning is plain from the operands'
// declared types: comparisons of two texts (by the TSQL collation's rule,
// CompareText) or two integers, AND, OR, NOT and IS NULL in three-valued
// logic, "+" of two texts, "+" and "-" of two ints (32 bits, as SQL Server
// keeps them), and CONVERT/CAST to an integer or character type. Anything
// else, and any form whose evaluation here would fail (an overflow, a
// conversion error), goes to the engine as before, which gives SQL
// Server's answer or its error text: this file only ever answers what that
// translation would have answered.
#include <cstdint>

#include "platform/sqlserver/conversions.h"
#include "platform/sqlserver/interpreter.h"
#include "platform/sqlserver/text_match.h"

namespace tellwen::sqlserver {
namespace {

bool IsComparison(const std::string& op) {
  return op == "=" || op == "<>" || op == "!=" || op == "<" || op == ">" || op == "<=" ||
         op == ">=";
}

bool Fits32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// The native kind of a value by its static type.
NativeKind KindOfType(const TypeSpec& type) {
  if (type.name == "int" || type.name == "integer") return NativeKind::kInt32;
  switch (type.Class()) {
    case TypeClass::kInteger:
      return NativeKind::kInteger;
    case TypeClass::kText:
      return NativeKind::kText;
    default:
      return NativeKind::kNone;
  }
}

bool IsIntegerKind(NativeKind k) { return k == NativeKind::kInt32 || k == NativeKind::kInteger; }

}  // namespace

bool Interpreter::EvaluateNatively(const Expr& e, Value* out, NativeKind* kind) {
  switch (e.kind) {
    case Expr::Kind::kLiteral:
      if (e.value.type == Value::Type::kInt) {
        *kind = Fits32(e.value.i) ? NativeKind::kInt32 : NativeKind::kInteger;
      } else if (e.value.type == Value::Type::kText) {
        *kind = NativeKind::kText;
      } else {
        return false;
      }
      *out = e.value;
      return true;
    case Expr::Kind::kVariable: {
      const TypeSpec* type = VariableType(e.name);
      if (!type) return false;
      *kind = KindOfType(*type);
      if (*kind == NativeKind::kNone) return false;
      const Value& v = VariableValue(e.name);
      const bool fits = v.IsNull() || (*kind == NativeKind::kText ? v.type == Value::Type::kText
                                                                  : v.type == Value::Type::kInt);
      if (!fits) return false;
      *out = v;
      return true;
    }
    case Expr::Kind::kCast: {
      if (e.args.size() != 1) return false;  // a CONVERT style: the engine's
      *kind = KindOfType(e.type);
      if (*kind == NativeKind::kNone) return false;
      Value in;
      NativeKind in_kind;
      if (!EvaluateNatively(*e.args[0], &in, &in_kind)) return false;
      std::string error;
      return ConvertValue(in, e.type, -1, false, out, &error);
    }
    case Expr::Kind::kBinary: {
      if (e.op != "+" && e.op != "-") return false;
      Value a, b;
      NativeKind ka, kb;
      if (!EvaluateNatively(*e.args[0], &a, &ka) || !EvaluateNatively(*e.args[1], &b, &kb)) {
        return false;
      }
      if (ka == NativeKind::kText && kb == NativeKind::kText && e.op == "+") {
        *kind = NativeKind::kText;
        *out = a.IsNull() || b.IsNull() ? Value::Null() : Value::Text(a.s + b.s);
        return true;
      }
      if (ka != NativeKind::kInt32 || kb != NativeKind::kInt32) return false;
      *kind = NativeKind::kInt32;
      if (a.IsNull() || b.IsNull()) {
        *out = Value::Null();
        return true;
      }
      const int64_t r = e.op == "+" ? a.i + b.i : a.i - b.i;
      if (!Fits32(r)) return false;  // the engine reports the overflow
      *out = Value::Int(r);
      return true;
    }
    default:
      return false;
  }
}

bool Interpreter::ConditionNatively(const Expr& e, int* truth) {
  if (e.kind == Expr::Kind::kUnary && e.op == "not") {
    int inner;
    if (!ConditionNatively(*e.args[0], &inner)) return false;
    *truth = inner < 0 ? -1 : 1 - inner;
    return true;
  }
  if (e.kind == Expr::Kind::kIsNull) {
    Value v;
    NativeKind kind;
    if (!EvaluateNatively(*e.args[0], &v, &kind)) return false;
    *truth = v.IsNull() != e.negated ? 1 : 0;
    return true;
  }
  if (e.kind != Expr::Kind::kBinary) return false;
  if (e.op == "and" || e.op == "or") {
    int a, b;
    if (!ConditionNatively(*e.args[0], &a) || !ConditionNatively(*e.args[1], &b)) return false;
    if (e.op == "and") {
      *truth = (a == 0 || b == 0) ? 0 : (a < 0 || b < 0) ? -1 : 1;
    } else {
      *truth = (a == 1 || b == 1) ? 1 : (a < 0 || b < 0) ? -1 : 0;
    }
    return true;
  }
  if (!IsComparison(e.op)) return false;
  Value a, b;
  NativeKind ka, kb;
  if (!EvaluateNatively(*e.args[0], &a, &ka) || !EvaluateNatively(*e.args[1], &b, &kb)) {
    return false;
  }
  const bool texts = ka == NativeKind::kText && kb == NativeKind::kText;
  if (!texts && !(IsIntegerKind(ka) && IsIntegerKind(kb))) return false;
  if (a.IsNull() || b.IsNull()) {
    *truth = -1;
    return true;
  }
  const int c = texts ? CompareText(a.s, b.s) : (a.i < b.i ? -1 : a.i > b.i ? 1 : 0);
  const std::string& op = e.op;
  const bool holds = op == "="    ? c == 0
                     : op == "<"  ? c < 0
                     : op == ">"  ? c > 0
                     : op == "<=" ? c <= 0
                     : op == ">=" ? c >= 0
                                  : c != 0;
  *truth = holds ? 1 : 0;
  return true;
}

}  // namespace tellwen::sqlserver
