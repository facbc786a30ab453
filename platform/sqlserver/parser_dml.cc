// The parser's data changes: INSERT (VALUES rows, DEFAULT VALUES, a SELECT
// or an EXEC as the source), UPDATE ... SET [FROM] [WHERE] and
// DELETE [FROM] [WHERE]. VALUES rows made only of constants are read
// straight into values, without expression trees.
#include "platform/sqlserver/parser_internal.h"

namespace tellwen::sqlserver::parser_internal {

// VALUES rows made only of constants, read without expression trees (the
// loader sends thousands of them per batch). Rewinds and returns false
// when any value is more than a constant.
bool Parser::ParseLiteralRows(Stmt* s) {
  const size_t start = pos_;
  std::vector<std::vector<Value>> rows;
  do {
    if (!AcceptOp("(")) break;
    std::vector<Value> row;
    for (;;) {
      const Token& t = Peek();
      bool negative = false;
      size_t k = 0;
      if (t.kind == TokenKind::kOperator && t.text == "-") {
        negative = true;
        k = 1;
      }
      const Token& v = Peek(k);
      if (!PeekOp(",", k + 1) && !PeekOp(")", k + 1)) {
        pos_ = start;
        return false;
      }
      if (!negative && (v.kind == TokenKind::kString || v.kind == TokenKind::kNString)) {
        row.push_back(Value::Text(v.text));
      } else if (v.kind == TokenKind::kInteger || v.kind == TokenKind::kDecimal) {
        Value n = NumberValue(v);
        if (negative) {
          if (n.type == Value::Type::kInt && n.i != INT64_MIN)
            n.i = -n.i;
          else if (n.type == Value::Type::kFloat)
            n.f = -n.f;
          else {
            pos_ = start;
            return false;
          }
        }
        row.push_back(std::move(n));
      } else if (!negative && IsWord(v, "null")) {
        row.push_back(Value::Null());
      } else {
        pos_ = start;
        return false;
      }
      for (size_t i = 0; i <= k; ++i) Next();
      if (AcceptOp(")")) break;
      Next();  // ","
    }
    rows.push_back(std::move(row));
  } while (AcceptOp(","));
  if (rows.empty()) {
    pos_ = start;
    return false;
  }
  s->literal_rows = std::move(rows);
  return true;
}

StmtPtr Parser::StartTableStatement(Stmt::Kind kind, std::string_view noise_word) {
  StmtPtr s = StartStatement(kind);
  if (!noise_word.empty()) AcceptWord(noise_word);
  s->table = ParseObjectName();
  ParseTableHints();
  return s;
}

StmtPtr Parser::ParseInsert() {
  StmtPtr s = StartTableStatement(Stmt::Kind::kInsert, "into");
  if (PeekOp("(") && !PeekWord("select", 1)) {
    Next();
    do {
      s->columns.push_back(ExpectName());
    } while (AcceptOp(","));
    ExpectOp(")");
  }
  if (AcceptWord("values")) {
    if (ParseLiteralRows(s.get())) return s;
    do {
      ExpectOp("(");
      std::vector<ExprPtr> row;
      do {
        row.push_back(ParseExpr());
      } while (AcceptOp(","));
      ExpectOp(")");
      s->values_rows.push_back(std::move(row));
    } while (AcceptOp(","));
    return s;
  }
  if (AcceptWord("default")) {
    ExpectWord("values");
    return s;
  }
  if (PeekWord("select") || (PeekOp("(") && PeekWord("select", 1))) {
    bool paren = AcceptOp("(");
    s->select = ParseSelect();
    if (paren) ExpectOp(")");
    return s;
  }
  if (AcceptWord("exec") || AcceptWord("execute")) {
    if (AcceptOp("(")) {
      auto e = std::make_unique<Stmt>(Stmt::Kind::kExecString);
      e->expr = ParseExpr();
      ExpectOp(")");
      s->exec = std::move(e);
    } else {
      s->exec = ParseExecProc();
    }
    return s;
  }
  SyntaxError();
}

StmtPtr Parser::ParseUpdate() {
  StmtPtr s = StartTableStatement(Stmt::Kind::kUpdate, "");
  ExpectWord("set");
  do {
    std::string column = ExpectName();
    while (AcceptOp(".")) column = ExpectAnyName();
    ExpectOp("=");
    s->assignments.emplace_back(column, ParseExpr());
  } while (AcceptOp(","));
  if (AcceptWord("from")) s->from = ParseFromList();
  if (AcceptWord("where")) s->where = ParseExpr();
  return s;
}

StmtPtr Parser::ParseDelete() {
  StmtPtr s = StartTableStatement(Stmt::Kind::kDelete, "from");
  if (AcceptWord("from")) s->from = ParseFromList();
  if (AcceptWord("where")) s->where = ParseExpr();
  return s;
}

}  // namespace tellwen::sqlserver::parser_internal
