// Run-time values of the interpreter (variables, parameters, literals) and
// the type classes the translator reasons with.
//
// Thread safety: plain data.
#pragma once

#include <cstdint>
#include <string>

namespace tellwen::sqlserver {

// The broad class of a T-SQL type, enough to choose between concatenation and
// addition and to convert on assignment.
enum class TypeClass { kUnknown, kInteger, kFloat, kText, kDateTime };

struct Value {
  enum class Type { kNull, kInt, kFloat, kText };
  Type type = Type::kNull;
  int64_t i = 0;
  double f = 0;
  std::string s;

  static Value Null() { return Value(); }
  static Value Int(int64_t v) {
    Value r;
    r.type = Type::kInt;
    r.i = v;
    return r;
  }
  static Value Float(double v) {
    Value r;
    r.type = Type::kFloat;
    r.f = v;
    return r;
  }
  static Value Text(std::string v) {
    Value r;
    r.type = Type::kText;
    r.s = std::move(v);
    return r;
  }
  bool IsNull() const { return type == Type::kNull; }
  // The value as the session shows it: NULL as "", numbers in decimal.
  std::string ToText() const;
};

// Decimal text of a floating value as results show it (no trailing zeros).
std::string FormatFloat(double v);

}  // namespace tellwen::sqlserver
