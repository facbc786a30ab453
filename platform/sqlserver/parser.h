// T-SQL parser: tokens to statement and expression trees.
//
// A batch is a sequence of statements without separators: each statement is
// parsed by its own grammar and the next one begins where that grammar ends
// (";" is optional). Expressions follow SQL Server's operator precedence.
// Anything outside the supported subset is reported as SQL Server does:
// "Incorrect syntax near '...'.".
//
// Thread safety: pure function.
#pragma once

#include <string>
#include <string_view>

#include "platform/sqlserver/ast.h"

namespace tellwen::sqlserver {

// Parses a whole batch. On failure returns false and sets *error.
bool ParseBatch(std::string_view text, Batch* batch, std::string* error);

// Canonical name of a DATEADD/DATEDIFF/DATEPART part ("hh" -> "hour"), or ""
// when the word is not a date part.
std::string CanonicalDatePart(std::string_view word);

}  // namespace tellwen::sqlserver
