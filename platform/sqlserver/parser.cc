// The T-SQL parser's entry point (ParseBatch), its token cursor and the
// names and types that every grammar area reads; the grammar areas
// themselves live in parser_expr.cc, parser_select.cc, parser_statements.cc,
// parser_dml.cc and parser_ddl.cc over the shared Parser of
// parser_internal.h.
#include "platform/sqlserver/parser.h"

#include <cstdlib>
#include <set>

#include "platform/sqlserver/lexer.h"
#include "platform/sqlserver/parser_internal.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver {
namespace parser_internal {
namespace {

// Words that end an expression or a statement and can never be an alias or
// a transaction name.
const std::set<std::string>& ReservedWords() {
  static const std::set<std::string> kWords = {
      "add",        "all",         "alter",     "and",     "any",          "as",
      "asc",        "begin",       "between",   "break",   "by",           "case",
      "checkpoint", "close",       "clustered", "collate", "commit",       "compute",
      "constraint", "continue",    "create",    "cross",   "cursor",       "database",
      "dbcc",       "deallocate",  "declare",   "default", "delete",       "deny",
      "desc",       "distinct",    "drop",      "else",    "end",          "escape",
      "except",     "exec",        "execute",   "exists",  "fetch",        "for",
      "from",       "full",        "function",  "go",      "goto",         "grant",
      "group",      "having",      "if",        "in",      "index",        "inner",
      "insert",     "intersect",   "into",      "is",      "join",         "key",
      "kill",       "left",        "like",      "merge",   "nonclustered", "not",
      "null",       "of",          "on",        "open",    "option",       "or",
      "order",      "outer",       "percent",   "primary", "print",        "proc",
      "procedure",  "raiserror",   "return",    "revoke",  "right",        "rollback",
      "save",       "select",      "set",       "table",   "then",         "top",
      "tran",       "transaction", "truncate",  "union",   "unique",       "update",
      "use",        "values",      "view",      "waitfor", "when",         "where",
      "while",      "with",
  };
  return kWords;
}

}  // namespace

void Parser::ParseAll(Batch* batch) {
  bool first = true;
  while (!AtEnd()) {
    if (AcceptOp(";")) continue;
    batch->statements.push_back(ParseStatement(first));
    first = false;
  }
}

void Parser::SyntaxError() const {
  const Token& t = Peek();
  if (t.kind == TokenKind::kEnd) {
    std::string last = pos_ > 0 ? tokens_[pos_ - 1].text : "";
    ThrowSql("Incorrect syntax near '" + last + "'.");
  }
  ThrowSql("Incorrect syntax near '" + t.text + "'.");
}

bool Parser::IsReserved(const Token& t) {
  return t.kind == TokenKind::kIdentifier && ReservedWords().count(Lower(t.text)) > 0;
}

bool Parser::PeekName() const {
  const Token& t = Peek();
  return (t.kind == TokenKind::kIdentifier && !IsReserved(t)) ||
         t.kind == TokenKind::kQuotedIdentifier;
}

std::string Parser::ExpectName() {
  const Token& t = Peek();
  if (t.kind == TokenKind::kQuotedIdentifier ||
      (t.kind == TokenKind::kIdentifier && !IsReserved(t))) {
    return Next().text;
  }
  SyntaxError();
}

// Any identifier, reserved or not (after a ".": t.key is a column).
std::string Parser::ExpectAnyName() {
  const Token& t = Peek();
  if (t.kind == TokenKind::kQuotedIdentifier || t.kind == TokenKind::kIdentifier) {
    return Next().text;
  }
  SyntaxError();
}

ObjectName Parser::ParseObjectName() {
  std::vector<std::string> parts;
  parts.push_back(ExpectName());
  while (PeekOp(".")) {
    Next();
    if (PeekOp(".")) {
      parts.push_back("");
      continue;
    }
    parts.push_back(ExpectAnyName());
  }
  if (parts.size() > 4 || parts.back().empty()) SyntaxError();
  ObjectName name;
  name.name = parts.back();
  return name;
}

TypeSpec Parser::ParseType() {
  TypeSpec type;
  std::string first = Lower(ExpectName());
  if (first == "national") {  // national char varying -> nvarchar
    first = Lower(ExpectName());
    first = "n" + first;
  }
  if ((first == "char" || first == "nchar") && AcceptWord("varying")) {
    first = first == "char" ? "varchar" : "nvarchar";
  }
  if (first == "double" && AcceptWord("precision")) first = "float";
  type.name = first;
  if (AcceptOp("(")) {
    if (AcceptWord("max")) {
      type.length = -2;
    } else {
      if (Peek().kind != TokenKind::kInteger) SyntaxError();
      type.length = std::atoi(Next().text.c_str());
      if (AcceptOp(",")) {
        if (Peek().kind != TokenKind::kInteger) SyntaxError();
        type.scale = std::atoi(Next().text.c_str());
      }
    }
    ExpectOp(")");
  }
  return type;
}

}  // namespace parser_internal

std::string CanonicalDatePart(std::string_view word) {
  static const std::pair<const char*, const char*> kParts[] = {
      {"year", "year"},
      {"yy", "year"},
      {"yyyy", "year"},
      {"quarter", "quarter"},
      {"qq", "quarter"},
      {"q", "quarter"},
      {"month", "month"},
      {"mm", "month"},
      {"m", "month"},
      {"dayofyear", "dayofyear"},
      {"dy", "dayofyear"},
      {"y", "dayofyear"},
      {"day", "day"},
      {"dd", "day"},
      {"d", "day"},
      {"week", "week"},
      {"wk", "week"},
      {"ww", "week"},
      {"weekday", "weekday"},
      {"dw", "weekday"},
      {"hour", "hour"},
      {"hh", "hour"},
      {"minute", "minute"},
      {"mi", "minute"},
      {"n", "minute"},
      {"second", "second"},
      {"ss", "second"},
      {"s", "second"},
      {"millisecond", "millisecond"},
      {"ms", "millisecond"},
  };
  std::string w = Lower(word);
  for (const auto& [name, canonical] : kParts) {
    if (w == name) return canonical;
  }
  return "";
}

bool ParseBatch(std::string_view text, Batch* batch, std::string* error) {
  std::vector<Token> tokens;
  if (!Tokenize(text, &tokens, error)) return false;
  try {
    parser_internal::Parser parser(text, std::move(tokens));
    parser.ParseAll(batch);
  } catch (const SqlException& e) {
    *error = e.description;
    return false;
  }
  return true;
}

}  // namespace tellwen::sqlserver
