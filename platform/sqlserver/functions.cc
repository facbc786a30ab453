#include "platform/sqlserver/functions.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/sqlserver/conversions.h"
#include "platform/sqlserver/datetime.h"
#include "platform/sqlserver/text_match.h"

namespace tellwen::sqlserver {

Value ValueFromSqlite(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return Value::Int(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
      return Value::Float(sqlite3_value_double(v));
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
      return Value::Text(std::string(p ? p : "", sqlite3_value_bytes(v)));
    }
    default:
      return Value::Null();
  }
}

Value ColumnValue(sqlite3_stmt* stmt, int i) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
      return Value::Int(sqlite3_column_int64(stmt, i));
    case SQLITE_FLOAT:
      return Value::Float(sqlite3_column_double(stmt, i));
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
      return Value::Text(std::string(p ? p : "", sqlite3_column_bytes(stmt, i)));
    }
    default:
      return Value::Null();
  }
}

void ResultValue(sqlite3_context* ctx, const Value& v) {
  switch (v.type) {
    case Value::Type::kNull:
      sqlite3_result_null(ctx);
      break;
    case Value::Type::kInt:
      sqlite3_result_int64(ctx, v.i);
      break;
    case Value::Type::kFloat:
      sqlite3_result_double(ctx, v.f);
      break;
    case Value::Type::kText:
      sqlite3_result_text(ctx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
      break;
  }
}

int BindValue(sqlite3_stmt* stmt, int index, const Value& v) {
  switch (v.type) {
    case Value::Type::kNull:
      return sqlite3_bind_null(stmt, index);
    case Value::Type::kInt:
      return sqlite3_bind_int64(stmt, index, v.i);
    case Value::Type::kFloat:
      return sqlite3_bind_double(stmt, index, v.f);
    case Value::Type::kText:
      return sqlite3_bind_text(stmt, index, v.s.data(), static_cast<int>(v.s.size()),
                               SQLITE_TRANSIENT);
  }
  return SQLITE_OK;
}

int64_t ObjectIdForName(const std::string& name) {
  uint32_t h = 2166136261u;
  for (unsigned char c : name) {
    if (c >= 'A' && c <= 'Z') c += 32;
    h ^= c;
    h *= 16777619u;
  }
  return static_cast<int64_t>((h & 0x7FFFFFFF) | 1);
}

std::string ServerName() {
  char buf[256] = {0};
  if (gethostname(buf, sizeof buf - 1) != 0) return "localhost";
  return buf;
}

namespace {

std::string Text(sqlite3_value* v) {
  const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return std::string(p ? p : "", sqlite3_value_bytes(v));
}
std::string_view TextView(sqlite3_value* v) {
  const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return std::string_view(p ? p : "", sqlite3_value_bytes(v));
}
bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  }
  return false;
}

int CollateTsql(void*, int la, const void* a, int lb, const void* b) {
  return CompareText(std::string_view(static_cast<const char*>(a), la),
                     std::string_view(static_cast<const char*>(b), lb));
}

void DeletePattern(void* p) { delete static_cast<LikePattern*>(p); }
void DeletePatternSet(void* p) { delete static_cast<LikePatternSet*>(p); }

// The compiled pattern of a like/patindex call: kept on the pattern argument
// while the statement runs (SQLite keeps it only when that argument is a
// constant or a parameter). *fresh owns a pattern SQLite did not keep yet;
// the caller hands it over with KeepPattern once it is done with it.
// nullptr: the escape is not one character.
const LikePattern* GetPattern(sqlite3_context* ctx, sqlite3_value** argv, int argc,
                              std::unique_ptr<LikePattern>* fresh) {
  auto* cached = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 0));
  if (cached) return cached;
  uint32_t escape = 0;
  if (argc == 3) {
    std::vector<uint32_t> e;
    DecodeUtf8(TextView(argv[2]), false, &e);
    if (e.size() != 1) return nullptr;
    escape = e[0];
  }
  *fresh = std::make_unique<LikePattern>(TextView(argv[0]), escape);
  return fresh->get();
}

void KeepPattern(sqlite3_context* ctx, std::unique_ptr<LikePattern> fresh) {
  if (fresh) sqlite3_set_auxdata(ctx, 0, fresh.release(), DeletePattern);
}

// like(pattern, value [, escape]): "value LIKE pattern".
void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  std::unique_ptr<LikePattern> fresh;
  const LikePattern* pattern = GetPattern(ctx, argv, argc, &fresh);
  if (!pattern) {
    sqlite3_result_error(ctx, "Invalid escape character specified in the LIKE predicate.", -1);
    return;
  }
  sqlite3_result_int(ctx, pattern->Matches(TextView(argv[1])) ? 1 : 0);
  KeepPattern(ctx, std::move(fresh));
}

// tsql_like_any(value, p1, ..., pn): "(value LIKE p1) OR ... OR (value LIKE
// pn)" with SQL's three-valued OR. The translator emits it only with
// constant patterns (literals and parameters), so the compiled set is kept
// on the first pattern argument for the whole run of the statement.
void LikeAnyFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (argc < 2) {
    sqlite3_result_error(ctx, "tsql_like_any needs a value and a pattern.", -1);
    return;
  }
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  auto* set = static_cast<LikePatternSet*>(sqlite3_get_auxdata(ctx, 1));
  std::unique_ptr<LikePatternSet> fresh;
  if (!set) {
    std::vector<std::optional<std::string>> patterns;
    for (int i = 1; i < argc; ++i) {
      if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
        patterns.emplace_back();
      } else {
        patterns.emplace_back(Text(argv[i]));
      }
    }
    fresh = std::make_unique<LikePatternSet>(patterns);
    set = fresh.get();
  }
  const std::optional<bool> matched = set->Matches(TextView(argv[0]));
  if (matched) {
    sqlite3_result_int(ctx, *matched ? 1 : 0);
  } else {
    sqlite3_result_null(ctx);
  }
  if (fresh) sqlite3_set_auxdata(ctx, 1, fresh.release(), DeletePatternSet);
}

// tsql_fold(value): the value folded to lower case as the collation folds
// it (the text substring indexes hold).
void FoldFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::string folded = FoldedText(TextView(argv[0]));
  sqlite3_result_text(ctx, folded.data(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
}

void ResultError(sqlite3_context* ctx, const std::string& message) {
  sqlite3_result_error(ctx, message.c_str(), static_cast<int>(message.size()));
}

// "+" decided by the operands' run-time types: two texts concatenate, a text
// and a number add after converting the text (an error when it is not a
// number), as SQL Server's type precedence does. One step of a chain.
bool AddValues(const Value& a, const Value& b, Value* out, std::string* error) {
  if (a.IsNull() || b.IsNull()) {
    *out = Value::Null();
    return true;
  }
  const bool text_a = a.type == Value::Type::kText;
  const bool text_b = b.type == Value::Type::kText;
  if (text_a && text_b) {
    *out = Value::Text(a.s + b.s);
    return true;
  }
  auto number = [&](const Value& v, bool other_float, Value* n) {
    if (v.type != Value::Type::kText) {
      *n = v;
      return true;
    }
    int64_t i = 0;
    double d = 0;
    if (!other_float && TextToInteger(v.s, &i)) {
      *n = Value::Int(i);
      return true;
    }
    if (other_float && TextToFloat(v.s, &d)) {
      *n = Value::Float(d);
      return true;
    }
    *error = other_float ? "Error converting data type varchar to float."
                         : "Conversion failed when converting the varchar value '" + v.s +
                               "' to data type int.";
    return false;
  };
  Value x, y;
  if (!number(a, b.type == Value::Type::kFloat, &x)) return false;
  if (!number(b, a.type == Value::Type::kFloat, &y)) return false;
  if (x.type == Value::Type::kInt && y.type == Value::Type::kInt) {
    int64_t r;
    if (__builtin_add_overflow(x.i, y.i, &r)) {
      *error = "Arithmetic overflow error converting expression to data type int.";
      return false;
    }
    *out = Value::Int(r);
    return true;
  }
  const double fx = x.type == Value::Type::kInt ? static_cast<double>(x.i) : x.f;
  const double fy = y.type == Value::Type::kInt ? static_cast<double>(y.i) : y.f;
  *out = Value::Float(fx + fy);
  return true;
}

// tsql_add(a, b, c, ...) is ((a + b) + c) + ...: a chain of "+" as one flat
// call, so that a long chain does not nest calls.
void AddFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Value acc = ValueFromSqlite(argv[0]);
  std::string error;
  for (int i = 1; i < argc; ++i) {
    Value next;
    if (!AddValues(acc, ValueFromSqlite(argv[i]), &next, &error)) {
      ResultError(ctx, error);
      return;
    }
    acc = std::move(next);
  }
  ResultValue(ctx, acc);
}

// tsql_fit(value, n): value as a varchar(n) column stores it. Text longer
// than n characters is an error, as SQL Server refuses it, unless only
// trailing blanks are over (those are cut). Other values pass unchanged.
void FitFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int64_t n = sqlite3_value_int64(argv[1]);
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT ||
      sqlite3_value_bytes(argv[0]) <= n) {  // a character is at least a byte
    sqlite3_result_value(ctx, argv[0]);
    return;
  }
  const std::string_view text = TextView(argv[0]);
  // Byte offset where character n + 1 starts, and whether a non-blank
  // character follows it.
  int64_t chars = 0;
  size_t cut = text.size();
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (chars++ == n) {
      cut = i;
      break;
    }
  }
  if (cut == text.size()) {
    sqlite3_result_value(ctx, argv[0]);
    return;
  }
  if (text.find_first_not_of(' ', cut) != std::string_view::npos) {
    ResultError(ctx, "String or binary data would be truncated.");
    return;
  }
  sqlite3_result_text(ctx, text.data(), static_cast<int>(cut), SQLITE_TRANSIENT);
}

// tsql_div(a, b, ...) and tsql_mod(a, b, ...): ((a / b) / ...) with SQL
// Server's errors for a zero divisor and for the one quotient that
// overflows; integers divide as integers, anything else as floats.
void DivideFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const bool modulo = sqlite3_user_data(ctx) != nullptr;
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  }
  bool integer = sqlite3_value_numeric_type(argv[0]) == SQLITE_INTEGER;
  int64_t ia = sqlite3_value_int64(argv[0]);
  double fa = sqlite3_value_double(argv[0]);
  for (int i = 1; i < argc; ++i) {
    const bool b_integer = sqlite3_value_numeric_type(argv[i]) == SQLITE_INTEGER;
    const int64_t ib = sqlite3_value_int64(argv[i]);
    const double fb = sqlite3_value_double(argv[i]);
    if (b_integer ? ib == 0 : fb == 0.0) {
      return ResultError(ctx, "Divide by zero error encountered.");
    }
    if (integer && b_integer) {
      if (ia == INT64_MIN && ib == -1) {
        return ResultError(ctx,
                           "Arithmetic overflow error converting expression to data type bigint.");
      }
      ia = modulo ? ia % ib : ia / ib;
      fa = static_cast<double>(ia);
    } else {
      fa = modulo ? std::fmod(integer ? static_cast<double>(ia) : fa, fb)
                  : (integer ? static_cast<double>(ia) : fa) / fb;
      integer = false;
    }
  }
  if (integer) return sqlite3_result_int64(ctx, ia);
  sqlite3_result_double(ctx, fa);
}

// tsql_int(x): x as the result of arithmetic on int operands, which SQL
// Server keeps in 32 bits: outside that range (or pushed out of 64 bits
// into a float) it is an overflow.
void IntFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (type == SQLITE_INTEGER) {
    const int64_t v = sqlite3_value_int64(argv[0]);
    if (v >= INT32_MIN && v <= INT32_MAX) return sqlite3_result_int64(ctx, v);
  }
  if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return sqlite3_result_value(ctx, argv[0]);
  ResultError(ctx, "Arithmetic overflow error converting expression to data type int.");
}

// tsql_xor(a, b, ...) is a ^ b ^ ... (bitwise exclusive or) on integers;
// SQLite has no operator for it.
void XorFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  int64_t r = 0;
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
    r ^= sqlite3_value_int64(argv[i]);
  }
  sqlite3_result_int64(ctx, r);
}

void DeleteType(void* p) { delete static_cast<TypeSpec*>(p); }

// tsql_convert(type text, value, style or NULL)
void ConvertFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* type = static_cast<TypeSpec*>(sqlite3_get_auxdata(ctx, 0));
  if (!type) {
    auto* parsed = new TypeSpec();
    if (!ParseTypeText(Text(argv[0]), parsed)) {
      delete parsed;
      ResultError(ctx, "Type " + Text(argv[0]) + " is not a defined system type.");
      return;
    }
    sqlite3_set_auxdata(ctx, 0, parsed, DeleteType);
    type = static_cast<TypeSpec*>(sqlite3_get_auxdata(ctx, 0));
    if (!type) type = parsed;  // auxdata may be dropped at once; then parse per call
  }
  const int style = sqlite3_value_type(argv[2]) == SQLITE_NULL ? -1 : sqlite3_value_int(argv[2]);
  Value out;
  std::string error;
  if (!ConvertValue(ValueFromSqlite(argv[1]), *type, style, false, &out, &error)) {
    ResultError(ctx, error);
    return;
  }
  ResultValue(ctx, out);
}

bool ArgDate(sqlite3_context* ctx, sqlite3_value* v, DateTime* dt) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      *dt = DateTimeFromNumber(static_cast<double>(sqlite3_value_int64(v)));
      return true;
    case SQLITE_FLOAT:
      *dt = DateTimeFromNumber(sqlite3_value_double(v));
      return true;
    default:
      if (ParseDateTime(TextView(v), dt)) return true;
      ResultError(ctx, "Conversion failed when converting datetime from character string.");
      return false;
  }
}

void DateAddFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(3, argv)) return sqlite3_result_null(ctx);
  DateTime dt, out;
  if (!ArgDate(ctx, argv[2], &dt)) return;
  if (!DateAdd(Text(argv[0]), sqlite3_value_int64(argv[1]), dt, &out)) {
    return ResultError(ctx, "Adding a value to a 'datetime' column caused an overflow.");
  }
  const std::string s = FormatDateTime(out);
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void DateDiffFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(3, argv)) return sqlite3_result_null(ctx);
  DateTime a, b;
  if (!ArgDate(ctx, argv[1], &a) || !ArgDate(ctx, argv[2], &b)) return;
  int64_t out = 0;
  DateDiff(Text(argv[0]), a, b, &out);
  sqlite3_result_int64(ctx, out);
}

void DatePartFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  DateTime dt;
  if (!ArgDate(ctx, argv[1], &dt)) return;
  int64_t out = 0;
  DatePart(Text(argv[0]), dt, &out);
  sqlite3_result_int64(ctx, out);
}

void DateNameFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  DateTime dt;
  if (!ArgDate(ctx, argv[1], &dt)) return;
  const std::string s = DateName(Text(argv[0]), dt);
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// The clock is the function's user data (UseClockForGetDate); null: the
// machine's.
void GetDateFunction(sqlite3_context* ctx, int, sqlite3_value**) {
  auto* clock = static_cast<Clock*>(sqlite3_user_data(ctx));
  const std::string s = FormatDateTime(Now(clock != nullptr ? *clock : MachineClock()));
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// Character-based helpers on UTF-8 texts.
std::vector<uint32_t> Chars(sqlite3_value* v) {
  std::vector<uint32_t> r;
  DecodeUtf8(TextView(v), false, &r);
  return r;
}

void LeftFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) return ResultError(ctx, "Invalid length parameter passed to the left function.");
  auto c = Chars(argv[0]);
  ResultText(ctx, EncodeUtf8(c, 0, static_cast<size_t>(std::min<int64_t>(n, c.size()))));
}

void RightFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) return ResultError(ctx, "Invalid length parameter passed to the right function.");
  auto c = Chars(argv[0]);
  const size_t take = static_cast<size_t>(std::min<int64_t>(n, c.size()));
  ResultText(ctx, EncodeUtf8(c, c.size() - take, c.size()));
}

void SubstringFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(3, argv)) return sqlite3_result_null(ctx);
  const int64_t start = sqlite3_value_int64(argv[1]);
  const int64_t length = sqlite3_value_int64(argv[2]);
  if (length < 0) {
    return ResultError(ctx, "Invalid length parameter passed to the substring function.");
  }
  auto c = Chars(argv[0]);
  // Positions start..start+length-1, 1-based, clipped to the text.
  int64_t from = std::max<int64_t>(start, 1);
  int64_t to = start + length;  // exclusive
  if (to <= from) return ResultText(ctx, "");
  ResultText(ctx, EncodeUtf8(c, static_cast<size_t>(from - 1),
                             static_cast<size_t>(std::min<int64_t>(to - 1, c.size()))));
}

void LenFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(1, argv)) return sqlite3_result_null(ctx);
  std::string_view s = TextView(argv[0]);
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  int64_t count = 0;
  for (size_t i = 0; i < n; ++i) count += (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
  sqlite3_result_int64(ctx, count);
}

void CharIndexFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  std::vector<uint32_t> needle, hay;
  DecodeUtf8(TextView(argv[0]), true, &needle);
  DecodeUtf8(TextView(argv[1]), true, &hay);
  int64_t start =
      argc == 3 && sqlite3_value_type(argv[2]) != SQLITE_NULL ? sqlite3_value_int64(argv[2]) : 1;
  if (start < 1) start = 1;
  if (needle.empty()) return sqlite3_result_int64(ctx, 0);
  for (size_t i = static_cast<size_t>(start - 1); i + needle.size() <= hay.size(); ++i) {
    if (std::equal(needle.begin(), needle.end(), hay.begin() + i)) {
      return sqlite3_result_int64(ctx, static_cast<int64_t>(i) + 1);
    }
  }
  sqlite3_result_int64(ctx, 0);
}

void PatIndexFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  std::unique_ptr<LikePattern> fresh;
  const LikePattern* pattern = GetPattern(ctx, argv, 2, &fresh);
  sqlite3_result_int64(ctx, pattern->FindIndex(TextView(argv[1])));
  KeepPattern(ctx, std::move(fresh));
}

// REPLACE follows the collation: the search text matches without regard to case.
void ReplaceFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(3, argv)) return sqlite3_result_null(ctx);
  std::vector<uint32_t> raw, hay, needle;
  DecodeUtf8(TextView(argv[0]), false, &raw);
  DecodeUtf8(TextView(argv[0]), true, &hay);
  DecodeUtf8(TextView(argv[1]), true, &needle);
  if (needle.empty()) return ResultText(ctx, Text(argv[0]));
  const std::string with = Text(argv[2]);
  std::string out;
  size_t i = 0, last = 0;
  while (i + needle.size() <= hay.size()) {
    if (std::equal(needle.begin(), needle.end(), hay.begin() + i)) {
      out += EncodeUtf8(raw, last, i);
      out += with;
      i += needle.size();
      last = i;
    } else {
      ++i;
    }
  }
  out += EncodeUtf8(raw, last, raw.size());
  ResultText(ctx, out);
}

void SpaceFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(1, argv)) return sqlite3_result_null(ctx);
  int64_t n = sqlite3_value_int64(argv[0]);
  if (n < 0) return sqlite3_result_null(ctx);
  ResultText(ctx, std::string(static_cast<size_t>(std::min<int64_t>(n, 8000)), ' '));
}

void ReplicateFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) return sqlite3_result_null(ctx);
  const std::string s = Text(argv[0]);
  std::string out;
  for (int64_t i = 0; i < n && out.size() < 8000; ++i) out += s;
  ResultText(ctx, out);
}

void ReverseFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(1, argv)) return sqlite3_result_null(ctx);
  auto c = Chars(argv[0]);
  std::reverse(c.begin(), c.end());
  ResultText(ctx, EncodeUtf8(c, 0, c.size()));
}

void TrimFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(1, argv)) return sqlite3_result_null(ctx);
  const bool left = *static_cast<bool*>(sqlite3_user_data(ctx));
  std::string_view s = TextView(argv[0]);
  if (left) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  } else {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  }
  ResultText(ctx, std::string(s));
}

void RoundFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const int64_t digits = sqlite3_value_int64(argv[1]);
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
    int64_t v = sqlite3_value_int64(argv[0]);
    if (digits >= 0) return sqlite3_result_int64(ctx, v);
    int64_t p = 1;
    for (int64_t i = 0; i < -digits && i < 18; ++i) p *= 10;
    const int64_t r = (std::llabs(v) + p / 2) / p * p;
    return sqlite3_result_int64(ctx, v < 0 ? -r : r);
  }
  const double p = std::pow(10.0, static_cast<double>(digits));
  sqlite3_result_double(ctx, std::round(sqlite3_value_double(argv[0]) * p) / p);
}

void ServerNameFunction(sqlite3_context* ctx, int, sqlite3_value**) {
  ResultText(ctx, ServerName());
}

void ObjIdFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(1, argv)) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, ObjectIdForName(Text(argv[0])));
}

// The object's own name from "[db].[dbo].[name]", "dbo.name", "tempdb..#t".
std::string ObjectPart(const std::string& text, bool* temp_db) {
  std::vector<std::string> parts(1);
  bool in_bracket = false;
  for (char c : text) {
    if (c == '[' && !in_bracket) {
      in_bracket = true;
    } else if (c == ']' && in_bracket) {
      in_bracket = false;
    } else if (c == '.' && !in_bracket) {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  *temp_db = parts.size() >= 3 && strcasecmp(parts[0].c_str(), "tempdb") == 0;
  return parts.back();
}

struct ObjectRow {
  std::string name;
  char type;  // 'U' table, 'P' procedure
  bool temp;
};

std::vector<ObjectRow> ListObjects(sqlite3* db) {
  std::vector<ObjectRow> rows;
  const char* sql =
      "SELECT name, 'U', 0 FROM main.sqlite_master WHERE type='table' "
      "UNION ALL SELECT name, 'U', 1 FROM temp.sqlite_master WHERE type='table' "
      "UNION ALL SELECT name, 'U', 0 FROM logs.sqlite_master WHERE type='table' "
      "UNION ALL SELECT name, 'P', 0 FROM main._tsql_procedures";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return rows;
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const char* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    const char* type = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
    rows.push_back({name ? name : "", type ? type[0] : 'U', sqlite3_column_int(stmt, 2) != 0});
  }
  sqlite3_finalize(stmt);
  return rows;
}

void ObjectIdFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(1, argv)) return sqlite3_result_null(ctx);
  bool temp_db = false;
  const std::string name = ObjectPart(Text(argv[0]), &temp_db);
  for (const ObjectRow& row : ListObjects(sqlite3_context_db_handle(ctx))) {
    if (strcasecmp(row.name.c_str(), name.c_str()) == 0 &&
        row.temp == (!name.empty() && name[0] == '#')) {
      return sqlite3_result_int64(ctx, ObjectIdForName(row.name));
    }
  }
  sqlite3_result_null(ctx);
}

void ObjectPropertyFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const int64_t id = sqlite3_value_int64(argv[0]);
  const std::string property = Text(argv[1]);
  for (const ObjectRow& row : ListObjects(sqlite3_context_db_handle(ctx))) {
    if (ObjectIdForName(row.name) != id) continue;
    if (strcasecmp(property.c_str(), "IsUserTable") == 0 ||
        strcasecmp(property.c_str(), "IsTable") == 0) {
      return sqlite3_result_int(ctx, row.type == 'U');
    }
    if (strcasecmp(property.c_str(), "IsProcedure") == 0) {
      return sqlite3_result_int(ctx, row.type == 'P');
    }
    return sqlite3_result_null(ctx);
  }
  sqlite3_result_null(ctx);
}

// AVG as SQL Server computes it: integer inputs give an integer average.
struct AvgState {
  double sum = 0;
  int64_t isum = 0;
  int64_t count = 0;
  bool any_float = false;  // the context starts zeroed
};

void AvgStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* s = static_cast<AvgState*>(sqlite3_aggregate_context(ctx, sizeof(AvgState)));
  if (!s) return;
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return;
  if (type == SQLITE_INTEGER) {
    s->isum += sqlite3_value_int64(argv[0]);
  } else {
    s->any_float = true;
  }
  s->sum += sqlite3_value_double(argv[0]);
  ++s->count;
}

void AvgFinal(sqlite3_context* ctx) {
  auto* s = static_cast<AvgState*>(sqlite3_aggregate_context(ctx, 0));
  if (!s || s->count == 0) return sqlite3_result_null(ctx);
  if (!s->any_float) return sqlite3_result_int64(ctx, s->isum / s->count);
  sqlite3_result_double(ctx, s->sum / s->count);
}

}  // namespace

int UseClockForGetDate(sqlite3* db, Clock* clock) {
  return sqlite3_create_function(db, "tsql_getdate", 0, SQLITE_UTF8, clock, GetDateFunction,
                                 nullptr, nullptr);
}

int RegisterFunctions(sqlite3* db) {
  static bool kLeft = true, kRight = false, kModulo = true;
  const int kFlags = SQLITE_UTF8;
  const int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  struct Fn {
    const char* name;
    int args;
    int flags;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    void* data;
  };
  const Fn fns[] = {
      {"like", 2, kPure, LikeFunction, nullptr},
      {"like", 3, kPure, LikeFunction, nullptr},
      {"tsql_like_any", -1, kPure, LikeAnyFunction, nullptr},
      {"tsql_fold", 1, kPure, FoldFunction, nullptr},
      {"tsql_add", -1, kPure, AddFunction, nullptr},
      {"tsql_xor", -1, kPure, XorFunction, nullptr},
      {"tsql_fit", 2, kPure, FitFunction, nullptr},
      {"tsql_div", -1, kPure, DivideFunction, nullptr},
      {"tsql_mod", -1, kPure, DivideFunction, &kModulo},
      {"tsql_int", 1, kPure, IntFunction, nullptr},
      {"tsql_convert", 3, kPure, ConvertFunction, nullptr},
      {"tsql_dateadd", 3, kPure, DateAddFunction, nullptr},
      {"tsql_datediff", 3, kPure, DateDiffFunction, nullptr},
      {"tsql_datepart", 2, kPure, DatePartFunction, nullptr},
      {"tsql_datename", 2, kPure, DateNameFunction, nullptr},
      {"tsql_getdate", 0, kFlags, GetDateFunction, nullptr},
      {"tsql_left", 2, kPure, LeftFunction, nullptr},
      {"tsql_right", 2, kPure, RightFunction, nullptr},
      {"tsql_substring", 3, kPure, SubstringFunction, nullptr},
      {"tsql_len", 1, kPure, LenFunction, nullptr},
      {"tsql_charindex", 2, kPure, CharIndexFunction, nullptr},
      {"tsql_charindex", 3, kPure, CharIndexFunction, nullptr},
      {"tsql_patindex", 2, kPure, PatIndexFunction, nullptr},
      {"tsql_replace", 3, kPure, ReplaceFunction, nullptr},
      {"tsql_space", 1, kPure, SpaceFunction, nullptr},
      {"tsql_replicate", 2, kPure, ReplicateFunction, nullptr},
      {"tsql_reverse", 1, kPure, ReverseFunction, nullptr},
      {"tsql_ltrim", 1, kPure, TrimFunction, &kLeft},
      {"tsql_rtrim", 1, kPure, TrimFunction, &kRight},
      {"tsql_round", 2, kPure, RoundFunction, nullptr},
      {"tsql_servername", 0, kFlags, ServerNameFunction, nullptr},
      {"tsql_objid", 1, kPure, ObjIdFunction, nullptr},
      {"tsql_object_id", 1, kFlags, ObjectIdFunction, nullptr},
      {"tsql_objectproperty", 2, kFlags, ObjectPropertyFunction, nullptr},
  };
  int rc = sqlite3_create_collation(db, "TSQL", SQLITE_UTF8, nullptr, CollateTsql);
  if (rc != SQLITE_OK) return rc;
  for (const Fn& f : fns) {
    rc = sqlite3_create_function(db, f.name, f.args, f.flags, f.data, f.fn, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return sqlite3_create_function(db, "tsql_avg", 1, kPure, nullptr, nullptr, AvgStep, AvgFinal);
}

}  // namespace tellwen::sqlserver
