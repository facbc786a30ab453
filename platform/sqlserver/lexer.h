// T-SQL tokenizer: the first stage of the embedded SQL server.
//
// Turns a batch text into tokens: identifiers (plain, [bracketed] or
// "quoted"; #temp names are plain identifiers), @variables, @@globals,
// '...' and N'...' strings, numbers and operators. Comments (-- and nested
// /* */) are skipped. Keywords are not told apart here: the parser compares
// plain identifiers case-insensitively, so a [bracketed] word is never a
// keyword.
//
// Thread safety: pure function.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tellwen::sqlserver {

enum class TokenKind {
  kEnd,
  kIdentifier,        // plain word, #temp, ##global
  kQuotedIdentifier,  // [x] or "x" (text without the quotes)
  kVariable,          // @name (text with the @)
  kSystemVariable,    // @@name (text with the @@)
  kString,            // '...' with '' undone
  kNString,           // N'...'
  kInteger,
  kDecimal,  // digits with a point or an exponent
  kBinary,   // 0x...
  kOperator,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;
  size_t offset = 0;  // byte offset in the batch text
  int line = 1;
};

// Splits sql into tokens ending with one kEnd token. On an unterminated
// string, identifier or comment returns false with an error description.
bool Tokenize(std::string_view sql, std::vector<Token>* tokens, std::string* error);

}  // namespace tellwen::sqlserver
