// T-SQL tokenizer: the first stage of the embedded SQL server.
//
// Turns a batch text into tokens, one at a time (NextToken) or all at once
// (Tokenize): identifiers (plain, [bracketed] or "quoted"; #temp names are
// plain identifiers), @variables, @@globals, '...' and N'...' strings,
// numbers and operators. Comments (-- and nested /* */) are skipped.
// Keywords are not told apart here: the parser compares plain identifiers
// case-insensitively, so a [bracketed] word is never a keyword.
//
// Thread safety: pure functions.
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

// Where the next token of a text is looked for.
struct LexPosition {
  size_t offset = 0;  // byte offset in the text
  int line = 1;       // line of that offset
};

// Reads one token: skips blanks and comments from *position, fills *token
// with the token found there and moves *position past it. At the end of sql
// the token is kEnd (offset sql.size()) and *position stays at the end, so
// further calls return kEnd again. A token's line is the line it ends on.
// On an unterminated string, identifier or comment, or a character that
// starts no token, returns false with an error description and leaves
// *position as it was.
bool NextToken(std::string_view sql, LexPosition* position, Token* token, std::string* error);

// Splits sql into tokens ending with one kEnd token, by NextToken from the
// start. On an error returns false with its description (*tokens then holds
// the tokens before it).
bool Tokenize(std::string_view sql, std::vector<Token>* tokens, std::string* error);

}  // namespace tellwen::sqlserver
