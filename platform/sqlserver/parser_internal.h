// The parser's shared state, for the files that implement it (parser.h is
// the public interface).
//
// Parser is one recursive-descent parser over the lexer's tokens. Its
// members are defined by grammar area: the token cursor, names and types
// (parser.cc), expressions (parser_expr.cc), SELECT (parser_select.cc),
// statements and control flow (parser_statements.cc), INSERT, UPDATE and
// DELETE (parser_dml.cc), CREATE, DROP and ALTER (parser_ddl.cc). They share
// the cursor and the nesting depth. Syntax errors are thrown as SqlException
// with SQL Server's "Incorrect syntax near '...'." description.
//
// Thread safety: a Parser is used by one thread and parses one batch.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sqlserver/ast.h"
#include "platform/sqlserver/lexer.h"

namespace tellwen::sqlserver::parser_internal {

// Deepest nesting of expressions, subqueries and statement blocks: the
// parser, the translator and the interpreter recurse once per level.
constexpr int kMaxNesting = 200;
// Most operands of one chain of operators of the same precedence
// ("1 + 2 + ...", "a and b and ..."): SQLite takes expression trees up to
// 1000 deep, a chain is one level per operator, and the translator may
// wrap a chain in a few levels more.
constexpr int kMaxChainOperands = 900;

class Parser {
 public:
  // tokens: the lexer's tokens of text, ending with its kEnd token.
  Parser(std::string_view text, std::vector<Token> tokens)
      : text_(text), tokens_(std::move(tokens)) {}

  // Appends every statement of the batch to batch; throws SqlException on
  // the first syntax error.
  void ParseAll(Batch* batch);

 private:
  // ---- token cursor (parser.cc; the hot ones inline) ----
  const Token& Peek(size_t k = 0) const {
    size_t i = std::min(pos_ + k, tokens_.size() - 1);
    return tokens_[i];
  }
  const Token& Next() {
    const Token& t = tokens_[pos_];
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
  }
  bool AtEnd() const { return Peek().kind == TokenKind::kEnd; }
  // True when t is the plain (unquoted) word w; w is lower case.
  static bool IsWord(const Token& t, std::string_view w) {
    if (t.kind != TokenKind::kIdentifier || t.text.size() != w.size()) return false;
    for (size_t i = 0; i < w.size(); ++i) {
      if (tolower(static_cast<unsigned char>(t.text[i])) != w[i]) return false;
    }
    return true;
  }
  bool PeekWord(std::string_view w, size_t k = 0) const { return IsWord(Peek(k), w); }
  // Takes the next token off the input when `matches`; returns matches.
  bool TakeIf(bool matches) {
    if (matches) Next();
    return matches;
  }
  bool AcceptWord(std::string_view w) { return TakeIf(PeekWord(w)); }
  void ExpectWord(std::string_view w) {
    if (!AcceptWord(w)) SyntaxError();
  }
  bool PeekOp(std::string_view op, size_t k = 0) const {
    return Peek(k).kind == TokenKind::kOperator && Peek(k).text == op;
  }
  bool AcceptOp(std::string_view op) { return TakeIf(PeekOp(op)); }
  void ExpectOp(std::string_view op) {
    if (!AcceptOp(op)) SyntaxError();
  }
  // After an accepted "(": skips everything up to and including its matching
  // ")" (options that are accepted and ignored), or to the end.
  void SkipToClosingParenthesis() {
    int nesting = 1;
    while (nesting > 0 && !AtEnd()) {
      if (PeekOp("(")) ++nesting;
      if (PeekOp(")")) --nesting;
      Next();
    }
  }
  // Throws "Incorrect syntax near" the current token (the last one at the end).
  [[noreturn]] void SyntaxError() const;
  // True when t is a word that ends an expression or a statement and can
  // never be an alias or a transaction name.
  static bool IsReserved(const Token& t);
  bool PeekName() const;
  // A name that is not a reserved word (a quoted one may be any word).
  std::string ExpectName();
  // Any identifier, reserved or not (after a ".": t.key is a column).
  std::string ExpectAnyName();

  // ---- names and types (parser.cc) ----
  ObjectName ParseObjectName();
  TypeSpec ParseType();

  // ---- expressions (parser_expr.cc) ----
  static ExprPtr MakeExpr(Expr::Kind kind) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    return e;
  }
  // Takes a function's (or EXISTS') word and its "(" off the input and
  // begins an expression of kind.
  ExprPtr StartCall(Expr::Kind kind) {
    Next();
    ExpectOp("(");
    return MakeExpr(kind);
  }
  // Reads a subquery's SELECT and its closing ")" into e.
  ExprPtr FinishSubquery(ExprPtr e) {
    e->subquery = ParseSelect();
    ExpectOp(")");
    return e;
  }
  ExprPtr Binary(std::string op, ExprPtr a, ExprPtr b);
  ExprPtr Literal(Value v);
  static Value NumberValue(const Token& t);
  ExprPtr ParseExpr();
  // A left-associative chain of one precedence: operands from `operand`,
  // joined while take_operator() takes an operator off the input (it
  // returns "" to end the chain). Defined and used in parser_expr.cc.
  template <class NextOperator>
  ExprPtr ParseChain(ExprPtr (Parser::*operand)(), NextOperator take_operator);
  // The next token when it is an operator of `ops` (taken off), else "".
  std::string TakeOperator(std::initializer_list<std::string_view> ops);
  ExprPtr ParseOr();
  ExprPtr ParseAnd();
  ExprPtr ParseNot();
  ExprPtr ParsePredicate();
  ExprPtr ParseAdditive();
  ExprPtr ParseMultiplicative();
  ExprPtr ParseUnary();
  ExprPtr ParsePrimary();
  ExprPtr ParseColumnRef();
  ExprPtr ParseCase();
  ExprPtr ParseCast();
  ExprPtr ParseConvert();
  ExprPtr ParseDateFunction();
  ExprPtr ParseIdentity();
  int64_t ParseSignedInteger();

  // ---- SELECT (parser_select.cc) ----
  std::unique_ptr<Select> ParseSelect();
  std::vector<OrderItem> ParseOrderList();
  // After ORDER BY ... OFFSET: the offset, ROWS, and an optional FETCH.
  void ParseOffsetFetch(Select* select);
  SelectCore ParseSelectCore();
  SelectItem ParseSelectItem();
  std::vector<std::unique_ptr<TableRef>> ParseFromList();
  std::unique_ptr<TableRef> ParseJoinedTable();
  std::unique_ptr<TableRef> ParseTablePrimary();
  bool ParseTableHints();
  // Takes the statement's first word off the input and begins a statement
  // of that kind.
  StmtPtr StartStatement(Stmt::Kind kind) {
    Next();
    return std::make_unique<Stmt>(kind);
  }
  // INSERT, UPDATE and DELETE up to their target: the statement's word, the
  // optional `noise_word` ("into", "from"; "" for none), the table and its
  // hints.
  StmtPtr StartTableStatement(Stmt::Kind kind, std::string_view noise_word);

  // ---- statements and control flow (parser_statements.cc) ----
  StmtPtr ParseStatement(bool first_in_batch);
  StmtPtr ParseStatementInner(bool first_in_batch);
  StmtPtr ParseBodyStatement();
  void AcceptTransactionName();
  StmtPtr ParseExecProc();
  bool StartsArgument() const;
  ExprPtr ParseArgumentValue();
  StmtPtr ParseDeclare();
  StmtPtr ParseSet();

  // ---- INSERT, UPDATE, DELETE (parser_dml.cc) ----
  bool ParseLiteralRows(Stmt* s);
  StmtPtr ParseInsert();
  StmtPtr ParseUpdate();
  StmtPtr ParseDelete();

  // ---- CREATE, DROP, ALTER (parser_ddl.cc) ----
  void SkipOnFilegroup();
  ColumnDef ParseColumnDef();
  StmtPtr ParseCreate(bool first_in_batch);
  StmtPtr ParseDrop();
  StmtPtr ParseAlter();

  std::string_view text_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace tellwen::sqlserver::parser_internal
