// The parser's statements: the dispatch on a statement's first word, SELECT
// as a statement, the control flow (IF, WHILE, BEGIN ... END, RETURN, BREAK,
// CONTINUE), transactions, EXEC of a procedure or a string, DECLARE, SET of
// a variable or an option, USE, DBCC, PRINT and TRUNCATE TABLE. A batch's
// first statement may be a bare procedure name (an EXEC without the word).
#include "platform/sqlserver/parser_internal.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver::parser_internal {

StmtPtr Parser::ParseStatement(bool first_in_batch) {
  if (++depth_ > kMaxNesting) ThrowSql(kNestedTooDeeply);
  StmtPtr s = ParseStatementInner(first_in_batch);
  --depth_;
  return s;
}

StmtPtr Parser::ParseStatementInner(bool first_in_batch) {
  const Token& t = Peek();
  if (t.kind != TokenKind::kIdentifier) {
    if (t.kind == TokenKind::kOperator && t.text == "(" && PeekWord("select", 1)) {
      SyntaxError();
    }
    if (first_in_batch && t.kind == TokenKind::kQuotedIdentifier) return ParseExecProc();
    SyntaxError();
  }
  const std::string word = Lower(t.text);
  if (word == "select") {
    auto s = std::make_unique<Stmt>(Stmt::Kind::kSelect);
    s->select = ParseSelect();
    return s;
  }
  if (word == "insert") return ParseInsert();
  if (word == "update") return ParseUpdate();
  if (word == "delete") return ParseDelete();
  if (word == "create") return ParseCreate(first_in_batch);
  if (word == "drop") return ParseDrop();
  if (word == "alter") return ParseAlter();
  if (word == "declare") return ParseDeclare();
  if (word == "set") return ParseSet();
  if (word == "if") {
    StmtPtr s = StartStatement(Stmt::Kind::kIf);
    s->expr = ParseExpr();
    s->then_branch = ParseBodyStatement();
    while (AcceptOp(";")) {
    }
    if (AcceptWord("else")) s->else_branch = ParseBodyStatement();
    return s;
  }
  if (word == "while") {
    StmtPtr s = StartStatement(Stmt::Kind::kWhile);
    s->expr = ParseExpr();
    s->then_branch = ParseBodyStatement();
    return s;
  }
  if (word == "begin") {
    Next();
    if (AcceptWord("tran") || AcceptWord("transaction")) {
      auto s = std::make_unique<Stmt>(Stmt::Kind::kBeginTran);
      AcceptTransactionName();
      return s;
    }
    if (PeekWord("distributed")) ThrowSql("Distributed transactions are not supported.");
    if (PeekWord("try")) ThrowSql("BEGIN TRY is not supported by this server.");
    auto s = std::make_unique<Stmt>(Stmt::Kind::kBlock);
    for (;;) {
      if (AcceptOp(";")) continue;
      if (AcceptWord("end")) break;
      if (AtEnd()) SyntaxError();
      s->body.push_back(ParseStatement(false));
    }
    return s;
  }
  if (word == "commit" || word == "rollback") {
    Next();
    auto s = std::make_unique<Stmt>(word == "commit" ? Stmt::Kind::kCommitTran
                                                     : Stmt::Kind::kRollbackTran);
    if (AcceptWord("tran") || AcceptWord("transaction")) {
      AcceptTransactionName();
    } else {
      AcceptWord("work");
    }
    return s;
  }
  if (word == "return") {
    StmtPtr s = StartStatement(Stmt::Kind::kReturn);
    const Token& n = Peek();
    if (n.kind == TokenKind::kInteger || n.kind == TokenKind::kVariable ||
        n.kind == TokenKind::kString ||
        (n.kind == TokenKind::kOperator && (n.text == "(" || n.text == "-"))) {
      s->expr = ParseExpr();
    }
    return s;
  }
  if (word == "break") {
    return StartStatement(Stmt::Kind::kBreak);
  }
  if (word == "continue") {
    return StartStatement(Stmt::Kind::kContinue);
  }
  if (word == "exec" || word == "execute") {
    Next();
    if (AcceptOp("(")) {
      auto s = std::make_unique<Stmt>(Stmt::Kind::kExecString);
      s->expr = ParseExpr();
      ExpectOp(")");
      return s;
    }
    return ParseExecProc();
  }
  if (word == "use") {
    StmtPtr s = StartStatement(Stmt::Kind::kUse);
    s->database = ExpectAnyName();
    return s;
  }
  if (word == "dbcc") {
    StmtPtr s = StartStatement(Stmt::Kind::kDbcc);
    s->dbcc_command = Lower(ExpectAnyName());
    if (AcceptOp("(")) {
      SkipToClosingParenthesis();
    }
    if (PeekWord("with")) {
      Next();
      do {
        ExpectAnyName();
      } while (AcceptOp(","));
    }
    if (s->dbcc_command != "shrinkdatabase" && s->dbcc_command != "shrinkfile" &&
        s->dbcc_command != "updateusage" && s->dbcc_command != "checkdb") {
      ThrowSql("DBCC " + s->dbcc_command + " is not supported by this server.");
    }
    return s;
  }
  if (word == "print") {
    StmtPtr s = StartStatement(Stmt::Kind::kPrint);
    s->expr = ParseExpr();
    return s;
  }
  if (word == "truncate") {
    Next();
    ExpectWord("table");
    auto s = std::make_unique<Stmt>(Stmt::Kind::kTruncate);
    s->table = ParseObjectName();
    return s;
  }
  if (first_in_batch && !IsReserved(t)) return ParseExecProc();
  SyntaxError();
}

// The statement after IF, ELSE or WHILE.
StmtPtr Parser::ParseBodyStatement() {
  while (AcceptOp(";")) {
  }
  if (AtEnd()) SyntaxError();
  if (PeekWord("else") || PeekWord("end")) SyntaxError();
  return ParseStatement(false);
}

void Parser::AcceptTransactionName() {
  const Token& t = Peek();
  if (t.kind == TokenKind::kVariable || (t.kind == TokenKind::kIdentifier && !IsReserved(t))) {
    Next();
  }
}

StmtPtr Parser::ParseExecProc() {
  auto s = std::make_unique<Stmt>(Stmt::Kind::kExecProc);
  if (Peek().kind == TokenKind::kVariable && PeekOp("=", 1)) {
    s->return_variable = Lower(Next().text);
    Next();
  }
  if (Peek().kind == TokenKind::kVariable) {
    ThrowSql("EXEC of a procedure named by a variable is not supported by this server.");
  }
  s->proc_name = ParseObjectName().name;
  // Arguments: constants, variables, bare words, DEFAULT, each optionally
  // named (@p = value) and followed by OUTPUT.
  if (AtEnd() || PeekOp(";") || !StartsArgument()) return s;
  do {
    ExecArg arg;
    if (Peek().kind == TokenKind::kVariable && PeekOp("=", 1)) {
      arg.name = Lower(Next().text);
      Next();
    }
    arg.value = ParseArgumentValue();
    if (AcceptWord("output") || AcceptWord("out")) arg.output = true;
    s->args.push_back(std::move(arg));
  } while (AcceptOp(","));
  return s;
}

bool Parser::StartsArgument() const {
  const Token& t = Peek();
  switch (t.kind) {
    case TokenKind::kString:
    case TokenKind::kNString:
    case TokenKind::kInteger:
    case TokenKind::kDecimal:
    case TokenKind::kBinary:
    case TokenKind::kVariable:
    case TokenKind::kQuotedIdentifier:
      return true;
    case TokenKind::kOperator:
      return t.text == "-" || t.text == "+";
    case TokenKind::kIdentifier:
      return !IsReserved(t) || IsWord(t, "default") || IsWord(t, "null");
    default:
      return false;
  }
}

ExprPtr Parser::ParseArgumentValue() {
  const Token& t = Peek();
  if (IsWord(t, "default")) {
    Next();
    return nullptr;
  }
  if (t.kind == TokenKind::kOperator && (t.text == "-" || t.text == "+")) {
    std::string op = Next().text;
    const Token& n = Peek();
    if (n.kind != TokenKind::kInteger && n.kind != TokenKind::kDecimal) SyntaxError();
    Value v = NumberValue(Next());
    if (op == "-") {
      if (v.type == Value::Type::kInt)
        v.i = -v.i;
      else
        v.f = -v.f;
    }
    return Literal(v);
  }
  if (t.kind == TokenKind::kIdentifier || t.kind == TokenKind::kQuotedIdentifier) {
    if (IsWord(t, "null")) {
      Next();
      return Literal(Value::Null());
    }
    // A bare word stands for a string, as in "exec sp_rename a, b".
    return Literal(Value::Text(Next().text));
  }
  if (t.kind == TokenKind::kVariable) {
    auto e = MakeExpr(Expr::Kind::kVariable);
    e->name = Lower(Next().text);
    return e;
  }
  return ParsePrimary();
}

StmtPtr Parser::ParseDeclare() {
  StmtPtr s = StartStatement(Stmt::Kind::kDeclare);
  do {
    Stmt::Declaration d;
    if (Peek().kind != TokenKind::kVariable) SyntaxError();
    d.name = Lower(Next().text);
    AcceptWord("as");
    if (PeekWord("table")) ThrowSql("Table variables are not supported by this server.");
    if (PeekWord("cursor")) ThrowSql("Cursors are not supported by this server.");
    d.type = ParseType();
    if (AcceptOp("=")) d.init = ParseExpr();
    s->declarations.push_back(std::move(d));
  } while (AcceptOp(","));
  return s;
}

StmtPtr Parser::ParseSet() {
  Next();
  if (Peek().kind == TokenKind::kVariable) {
    auto s = std::make_unique<Stmt>(Stmt::Kind::kSetVariable);
    s->variable = Lower(Next().text);
    const Token& op = Peek();
    if (op.kind == TokenKind::kOperator && op.text != "=" && PeekOp("=", 1) &&
        (op.text == "+" || op.text == "-" || op.text == "*" || op.text == "/")) {
      // SET @v += x is SET @v = @v + x.
      std::string o = Next().text;
      Next();
      auto var = MakeExpr(Expr::Kind::kVariable);
      var->name = s->variable;
      s->expr = Binary(o, std::move(var), ParseExpr());
      return s;
    }
    ExpectOp("=");
    s->expr = ParseExpr();
    return s;
  }
  auto s = std::make_unique<Stmt>(Stmt::Kind::kSetOption);
  s->set_option = Lower(ExpectAnyName());
  if (s->set_option == "transaction") {
    ExpectWord("isolation");
    ExpectWord("level");
    // The level's words, lower case and one blank apart ("read committed").
    while (Peek().kind == TokenKind::kIdentifier && !IsReserved(Peek())) {
      if (!s->set_value.empty()) s->set_value += ' ';
      s->set_value += Lower(Next().text);
    }
    return s;
  }
  // SET NOCOUNT ON, SET QUOTED_IDENTIFIER OFF, SET ROWCOUNT 0, SET DATEFORMAT dmy
  std::vector<std::string> more;
  while (AcceptOp(",")) more.push_back(Lower(ExpectAnyName()));
  const Token& v = Peek();
  if (v.kind == TokenKind::kIdentifier || v.kind == TokenKind::kInteger ||
      v.kind == TokenKind::kVariable) {
    s->set_value = Lower(Next().text);
  } else if (AcceptOp("-")) {
    s->set_value = "-" + Next().text;
  } else {
    SyntaxError();
  }
  return s;
}

}  // namespace tellwen::sqlserver::parser_internal
