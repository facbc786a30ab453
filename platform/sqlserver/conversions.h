// Conversions between values and T-SQL types, as CAST, CONVERT, variable
// assignment and parameter passing do them.
//
// Thread safety: pure functions.
#pragma once

#include <optional>
#include <string>

#include "platform/sqlserver/ast.h"
#include "platform/sqlserver/value.h"

namespace tellwen::sqlserver {

// Reads "varchar(50)", "int", "decimal(18, 2)".
bool ParseTypeText(const std::string& text, TypeSpec* type);

// Converts value to type. style is CONVERT's third argument (-1 when none).
// for_declare: a character type without a length means length 1 (DECLARE,
// parameters) instead of 30 (CAST, CONVERT). On failure returns false with
// SQL Server's message in *error.
bool ConvertValue(const Value& in, const TypeSpec& type, int style, bool for_declare, Value* out,
                  std::string* error);

// Strict conversions used by "+" and comparisons: " 12 " -> 12, "1x" fails.
bool TextToInteger(const std::string& text, int64_t* out);
bool TextToFloat(const std::string& text, double* out);

}  // namespace tellwen::sqlserver
