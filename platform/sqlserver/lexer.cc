#include "platform/sqlserver/lexer.h"

namespace tellwen::sqlserver {
namespace {

bool IsIdentStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' || c >= 0x80;
}

bool IsIdentPart(unsigned char c) {
  return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '@' || c == '$';
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Reads a quoted text from sql[*i] (just past its opening quote) through its
// closing `close`, where a doubled `close` stands for one; newlines inside
// count in *line. False when the text ends first (*text holds what was read).
bool ReadQuoted(std::string_view sql, char close, size_t* i, int* line, std::string* text) {
  const size_t n = sql.size();
  while (*i < n) {
    if (sql[*i] == close) {
      if (*i + 1 < n && sql[*i + 1] == close) {
        text->push_back(close);
        *i += 2;
        continue;
      }
      ++*i;
      return true;
    }
    if (sql[*i] == '\n') ++*line;
    text->push_back(sql[(*i)++]);
  }
  return false;
}

}  // namespace

bool NextToken(std::string_view sql, LexPosition* position, Token* token, std::string* error) {
  size_t i = position->offset;
  const size_t n = sql.size();
  int line = position->line;
  // The token is complete at i; its line is the one it ends on.
  auto finish = [&](TokenKind kind, std::string text, size_t start) {
    *token = Token{kind, std::move(text), start, line};
    position->offset = i;
    position->line = line;
    return true;
  };
  while (i < n) {
    unsigned char c = sql[i];
    if (c == '\n') {
      ++line;
      ++i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v' || c == 0) {
      ++i;
      continue;
    }
    const size_t start = i;
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      int depth = 0;
      while (i < n) {
        if (sql[i] == '/' && i + 1 < n && sql[i + 1] == '*') {
          ++depth;
          i += 2;
        } else if (sql[i] == '*' && i + 1 < n && sql[i + 1] == '/') {
          i += 2;
          if (--depth == 0) break;
        } else {
          if (sql[i] == '\n') ++line;
          ++i;
        }
      }
      if (depth != 0) {
        *error = "Missing end comment mark '*/'.";
        return false;
      }
      continue;
    }
    if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'')) {
      const bool national = c != '\'';
      i += national ? 2 : 1;
      std::string text;
      if (!ReadQuoted(sql, '\'', &i, &line, &text)) {
        *error = "Unclosed quotation mark after the character string '" + text + "'.";
        return false;
      }
      return finish(national ? TokenKind::kNString : TokenKind::kString, std::move(text), start);
    }
    if (c == '[' || c == '"') {
      const char close = c == '[' ? ']' : '"';
      ++i;
      std::string text;
      if (!ReadQuoted(sql, close, &i, &line, &text)) {
        *error = "Unclosed quotation mark before the character string '" + text + "'.";
        return false;
      }
      return finish(TokenKind::kQuotedIdentifier, std::move(text), start);
    }
    if (c == '@') {
      const bool system = i + 1 < n && sql[i + 1] == '@';
      i += system ? 2 : 1;
      while (i < n && IsIdentPart(sql[i])) ++i;
      return finish(system ? TokenKind::kSystemVariable : TokenKind::kVariable,
                    std::string(sql.substr(start, i - start)), start);
    }
    if (IsIdentStart(c)) {
      while (i < n && IsIdentPart(sql[i])) ++i;
      return finish(TokenKind::kIdentifier, std::string(sql.substr(start, i - start)), start);
    }
    if (c == '0' && i + 1 < n && (sql[i + 1] == 'x' || sql[i + 1] == 'X')) {
      i += 2;
      while (i < n && isxdigit(static_cast<unsigned char>(sql[i]))) ++i;
      return finish(TokenKind::kBinary, std::string(sql.substr(start, i - start)), start);
    }
    if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(sql[i + 1]))) {
      bool decimal = false;
      while (i < n && IsDigit(sql[i])) ++i;
      if (i < n && sql[i] == '.') {
        decimal = true;
        ++i;
        while (i < n && IsDigit(sql[i])) ++i;
      }
      if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
        if (j < n && IsDigit(sql[j])) {
          decimal = true;
          i = j;
          while (i < n && IsDigit(sql[i])) ++i;
        }
      }
      return finish(decimal ? TokenKind::kDecimal : TokenKind::kInteger,
                    std::string(sql.substr(start, i - start)), start);
    }
    // Operators: the two-character ones first.
    if (i + 1 < n) {
      const char d = sql[i + 1];
      if ((c == '<' && (d == '>' || d == '=')) || (c == '>' && d == '=') ||
          (c == '!' && (d == '=' || d == '<' || d == '>'))) {
        i += 2;
        return finish(TokenKind::kOperator, std::string(sql.substr(start, 2)), start);
      }
    }
    static constexpr std::string_view kSingle = "+-*/%=<>(),.;~&|^:";
    if (kSingle.find(static_cast<char>(c)) != std::string_view::npos) {
      ++i;
      return finish(TokenKind::kOperator, std::string(1, static_cast<char>(c)), start);
    }
    *error = "Incorrect syntax near '" + std::string(1, static_cast<char>(c)) + "'.";
    return false;
  }
  return finish(TokenKind::kEnd, "", n);
}

bool Tokenize(std::string_view sql, std::vector<Token>* tokens, std::string* error) {
  tokens->clear();
  tokens->reserve(sql.size() / 4 + 8);
  LexPosition position;
  for (;;) {
    Token token;
    if (!NextToken(sql, &position, &token, error)) return false;
    const bool end = token.kind == TokenKind::kEnd;
    tokens->push_back(std::move(token));
    if (end) return true;
  }
}

}  // namespace tellwen::sqlserver
