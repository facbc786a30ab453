#include "platform/sqlserver/conversions.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/sqlserver/datetime.h"
#include "platform/sqlserver/lexer.h"

namespace tellwen::sqlserver {

TypeClass TypeSpec::Class() const {
  if (name == "int" || name == "bigint" || name == "smallint" || name == "tinyint" ||
      name == "bit" || name == "integer") {
    return TypeClass::kInteger;
  }
  if (name == "decimal" || name == "numeric" || name == "dec") {
    return scale > 0 ? TypeClass::kFloat : TypeClass::kInteger;
  }
  if (name == "float" || name == "real" || name == "money" || name == "smallmoney") {
    return TypeClass::kFloat;
  }
  if (name == "char" || name == "varchar" || name == "nchar" || name == "nvarchar" ||
      name == "text" || name == "ntext" || name == "sysname") {
    return TypeClass::kText;
  }
  if (name == "datetime" || name == "smalldatetime" || name == "date" || name == "datetime2") {
    return TypeClass::kDateTime;
  }
  return TypeClass::kUnknown;
}

std::string TypeSpec::ToString() const {
  std::string r = name;
  if (length == -2) {
    r += "(max)";
  } else if (length >= 0) {
    // Appended piece by piece: GCC 12 at -O3 reads "(" + to_string(...) as
    // an overlapping copy (a false -Werror=restrict).
    r += '(';
    r += std::to_string(length);
    if (scale >= 0) {
      r += ", ";
      r += std::to_string(scale);
    }
    r += ")";
  }
  return r;
}

std::string FormatFloat(double v) {
  if (std::isnan(v)) return "NaN";
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    char buf[32];
    snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
  }
  char buf[40];
  snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

std::string Value::ToText() const {
  switch (type) {
    case Type::kNull:
      return "";
    case Type::kInt:
      return std::to_string(i);
    case Type::kFloat:
      return FormatFloat(f);
    case Type::kText:
      return s;
  }
  return "";
}

bool ParseTypeText(const std::string& text, TypeSpec* type) {
  std::vector<Token> tokens;
  std::string error;
  if (!Tokenize(text, &tokens, &error) || tokens.empty() ||
      tokens[0].kind != TokenKind::kIdentifier) {
    return false;
  }
  *type = TypeSpec();
  for (char c : tokens[0].text) type->name.push_back(static_cast<char>(tolower(c)));
  size_t i = 1;
  if (tokens[i].kind == TokenKind::kOperator && tokens[i].text == "(") {
    ++i;
    if (tokens[i].kind == TokenKind::kIdentifier) {
      type->length = -2;
    } else {
      type->length = atoi(tokens[i].text.c_str());
    }
    ++i;
    if (tokens[i].kind == TokenKind::kOperator && tokens[i].text == ",") {
      ++i;
      type->scale = atoi(tokens[i].text.c_str());
    }
  }
  return true;
}

namespace {

// text without the white space (isspace) at either end.
std::string_view WithoutOuterSpace(const std::string& text) {
  size_t i = 0, n = text.size();
  while (i < n && isspace(static_cast<unsigned char>(text[i]))) ++i;
  while (n > i && isspace(static_cast<unsigned char>(text[n - 1]))) --n;
  return std::string_view(text).substr(i, n - i);
}

}  // namespace

bool TextToInteger(const std::string& text, int64_t* out) {
  const std::string_view digits = WithoutOuterSpace(text);
  if (digits.empty()) {
    *out = 0;  // '' converts to 0
    return true;
  }
  size_t i = 0;
  const size_t n = digits.size();
  bool negative = false;
  if (digits[i] == '+' || digits[i] == '-') {
    negative = digits[i] == '-';
    ++i;
  }
  if (i == n) return false;
  int64_t v = 0;
  for (; i < n; ++i) {
    if (!isdigit(static_cast<unsigned char>(digits[i]))) return false;
    if (v > (INT64_MAX - 9) / 10) return false;
    v = v * 10 + (digits[i] - '0');
  }
  *out = negative ? -v : v;
  return true;
}

bool TextToFloat(const std::string& text, double* out) {
  const std::string t(WithoutOuterSpace(text));
  if (t.empty()) {
    *out = 0;
    return true;
  }
  char* end = nullptr;
  errno = 0;
  double v = strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || errno != 0 || std::isnan(v) || std::isinf(v)) return false;
  *out = v;
  return true;
}

namespace {

std::string TypeLabel(const TypeSpec& type) { return type.name; }

bool ToDateTime(const Value& in, DateTime* dt, std::string* error) {
  switch (in.type) {
    case Value::Type::kInt:
      *dt = DateTimeFromNumber(static_cast<double>(in.i));
      return true;
    case Value::Type::kFloat:
      *dt = DateTimeFromNumber(in.f);
      return true;
    case Value::Type::kText:
      if (ParseDateTime(in.s, dt)) return true;
      *error = "Conversion failed when converting datetime from character string.";
      return false;
    default:
      return false;
  }
}

// Truncates a UTF-8 text to n characters.
std::string TruncateChars(const std::string& s, int n) {
  size_t i = 0;
  int count = 0;
  while (i < s.size() && count < n) {
    unsigned char c = s[i];
    i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    ++count;
  }
  return s.substr(0, std::min(i, s.size()));
}

}  // namespace

bool ConvertValue(const Value& in, const TypeSpec& type, int style, bool for_declare, Value* out,
                  std::string* error) {
  if (in.IsNull()) {
    *out = Value::Null();
    return true;
  }
  switch (type.Class()) {
    case TypeClass::kInteger: {
      int64_t v = 0;
      if (in.type == Value::Type::kInt) {
        v = in.i;
      } else if (in.type == Value::Type::kFloat) {
        const bool round = type.name == "decimal" || type.name == "numeric";
        v = static_cast<int64_t>(round ? std::round(in.f) : std::trunc(in.f));
      } else if (!TextToInteger(in.s, &v)) {
        double d = 0;
        DateTime dt;
        if ((type.name == "decimal" || type.name == "numeric") && TextToFloat(in.s, &d)) {
          v = static_cast<int64_t>(std::round(d));
        } else if (ParseDateTime(in.s, &dt) && in.s.find(':') != std::string::npos) {
          v = static_cast<int64_t>(std::floor(DateTimeToNumber(dt) + 0.5));
        } else {
          *error = "Conversion failed when converting the varchar value '" + in.s +
                   "' to data type " + TypeLabel(type) + ".";
          return false;
        }
      }
      if (type.name == "bit") v = v != 0;
      if ((type.name == "int" && (v > INT32_MAX || v < INT32_MIN)) ||
          (type.name == "smallint" && (v > 32767 || v < -32768)) ||
          (type.name == "tinyint" && (v > 255 || v < 0))) {
        *error =
            "Arithmetic overflow error converting expression to data type " + TypeLabel(type) + ".";
        return false;
      }
      *out = Value::Int(v);
      return true;
    }
    case TypeClass::kFloat: {
      double v = 0;
      if (in.type == Value::Type::kInt) {
        v = static_cast<double>(in.i);
      } else if (in.type == Value::Type::kFloat) {
        v = in.f;
      } else {
        DateTime dt;
        if (TextToFloat(in.s, &v)) {
        } else if (ParseDateTime(in.s, &dt) && in.s.find(':') != std::string::npos) {
          v = DateTimeToNumber(dt);
        } else {
          *error = "Error converting data type varchar to " + TypeLabel(type) + ".";
          return false;
        }
      }
      if (type.scale > 0 && (type.name == "decimal" || type.name == "numeric")) {
        const double p = std::pow(10.0, type.scale);
        v = std::round(v * p) / p;
      }
      *out = Value::Float(v);
      return true;
    }
    case TypeClass::kText: {
      std::string s;
      if (in.type == Value::Type::kText) {
        s = in.s;
        DateTime dt;
        if (style >= 0 && ParseDateTime(in.s, &dt) && !in.s.empty()) {
          if (!FormatDateStyle(dt, style, &s)) {
            *error = std::to_string(style) +
                     " is not a valid style number when converting "
                     "from datetime to a character string.";
            return false;
          }
        }
      } else {
        s = in.ToText();
      }
      int length = type.length;
      if (length == -1) length = for_declare ? 1 : 30;
      if (type.name == "text" || type.name == "ntext") length = -2;
      if (length >= 0) {
        s = TruncateChars(s, length);
        if (type.name == "char" || type.name == "nchar") {
          int count = 0;
          for (unsigned char c : s) count += (c & 0xC0) != 0x80;
          if (count < length) s.append(length - count, ' ');
        }
      }
      *out = Value::Text(std::move(s));
      return true;
    }
    case TypeClass::kDateTime: {
      DateTime dt;
      if (!ToDateTime(in, &dt, error)) return false;
      if (type.name == "date") dt.hour = dt.minute = dt.second = 0;
      *out = Value::Text(FormatDateTime(dt));
      return true;
    }
    case TypeClass::kUnknown:
      break;
  }
  *error = "Type " + type.name + " is not a defined system type.";
  return false;
}

}  // namespace tellwen::sqlserver
