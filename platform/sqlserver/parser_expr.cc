// The parser's expressions, in SQL Server's precedence from the loosest:
// OR, AND, NOT, predicates (comparisons, LIKE, BETWEEN, IN, IS NULL,
// EXISTS), additive and bit operators, multiplicative operators, unary
// signs, and primaries (literals, variables, columns, function calls, CASE,
// CAST/CONVERT, the date functions, IDENTITY, subqueries).
//
// Nesting is bounded by kMaxNesting and a chain of one precedence by
// kMaxChainOperands, so that no later stage recurses too deep.
#include <cerrno>
#include <cstdlib>
#include <set>

#include "platform/sqlserver/parser.h"
#include "platform/sqlserver/parser_internal.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver::parser_internal {
namespace {

void CountOperand(int* operands) {
  if (++*operands > kMaxChainOperands) ThrowSql(kExpressionTooLong);
}

}  // namespace

ExprPtr Parser::Binary(std::string op, ExprPtr a, ExprPtr b) {
  auto e = MakeExpr(Expr::Kind::kBinary);
  e->op = std::move(op);
  e->args.push_back(std::move(a));
  e->args.push_back(std::move(b));
  return e;
}

ExprPtr Parser::Literal(Value v) {
  auto e = MakeExpr(Expr::Kind::kLiteral);
  e->value = std::move(v);
  return e;
}

Value Parser::NumberValue(const Token& t) {
  if (t.kind == TokenKind::kInteger) {
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(t.text.c_str(), &end, 10);
    if (errno == 0) return Value::Int(v);
    return Value::Float(std::strtod(t.text.c_str(), nullptr));
  }
  if (t.kind == TokenKind::kBinary) {
    return Value::Int(static_cast<int64_t>(std::strtoull(t.text.c_str() + 2, nullptr, 16)));
  }
  return Value::Float(std::strtod(t.text.c_str(), nullptr));
}

ExprPtr Parser::ParseExpr() {
  if (++depth_ > kMaxNesting) ThrowSql(kNestedTooDeeply);
  ExprPtr e = ParseOr();
  --depth_;
  return e;
}

template <class NextOperator>
ExprPtr Parser::ParseChain(ExprPtr (Parser::*operand)(), NextOperator take_operator) {
  ExprPtr left = (this->*operand)();
  int operands = 1;
  for (std::string op = take_operator(); !op.empty(); op = take_operator()) {
    CountOperand(&operands);
    left = Binary(op, std::move(left), (this->*operand)());
  }
  return left;
}

std::string Parser::TakeOperator(std::initializer_list<std::string_view> ops) {
  const Token& t = Peek();
  if (t.kind != TokenKind::kOperator ||
      std::find(ops.begin(), ops.end(), std::string_view(t.text)) == ops.end()) {
    return "";
  }
  return Next().text;
}

ExprPtr Parser::ParseOr() {
  return ParseChain(&Parser::ParseAnd,
                    [this] { return std::string(AcceptWord("or") ? "or" : ""); });
}

ExprPtr Parser::ParseAnd() {
  return ParseChain(&Parser::ParseNot,
                    [this] { return std::string(AcceptWord("and") ? "and" : ""); });
}

ExprPtr Parser::ParseNot() {
  if (AcceptWord("not")) {
    if (++depth_ > kMaxNesting) ThrowSql(kNestedTooDeeply);
    auto e = MakeExpr(Expr::Kind::kUnary);
    e->op = "not";
    e->args.push_back(ParseNot());
    --depth_;
    return e;
  }
  return ParsePredicate();
}

ExprPtr Parser::ParsePredicate() {
  if (PeekWord("exists")) {
    return FinishSubquery(StartCall(Expr::Kind::kExists));
  }
  ExprPtr left = ParseAdditive();
  const Token& t = Peek();
  if (t.kind == TokenKind::kOperator) {
    static const std::set<std::string> kCompare = {"=",  "<>", "!=", "<", ">",
                                                   "<=", ">=", "!<", "!>"};
    if (kCompare.count(t.text)) {
      std::string op = Next().text;
      if (op == "!=") op = "<>";
      if (op == "!<") op = ">=";
      if (op == "!>") op = "<=";
      if (PeekWord("all") || PeekWord("any") || PeekWord("some")) SyntaxError();
      return Binary(op, std::move(left), ParseAdditive());
    }
    return left;
  }
  bool negated = false;
  if (PeekWord("not") && (PeekWord("like", 1) || PeekWord("between", 1) || PeekWord("in", 1))) {
    Next();
    negated = true;
  }
  if (AcceptWord("like")) {
    auto e = MakeExpr(Expr::Kind::kLike);
    e->negated = negated;
    e->args.push_back(std::move(left));
    e->args.push_back(ParseAdditive());
    if (AcceptWord("escape")) e->args.push_back(ParseAdditive());
    return e;
  }
  if (AcceptWord("between")) {
    auto e = MakeExpr(Expr::Kind::kBetween);
    e->negated = negated;
    e->args.push_back(std::move(left));
    e->args.push_back(ParseAdditive());
    ExpectWord("and");
    e->args.push_back(ParseAdditive());
    return e;
  }
  if (AcceptWord("in")) {
    ExpectOp("(");
    if (PeekWord("select")) {
      auto e = MakeExpr(Expr::Kind::kInSubquery);
      e->negated = negated;
      e->args.push_back(std::move(left));
      return FinishSubquery(std::move(e));
    }
    auto e = MakeExpr(Expr::Kind::kInList);
    e->negated = negated;
    e->args.push_back(std::move(left));
    do {
      e->args.push_back(ParseExpr());
    } while (AcceptOp(","));
    ExpectOp(")");
    return e;
  }
  if (negated) SyntaxError();
  if (AcceptWord("is")) {
    auto e = MakeExpr(Expr::Kind::kIsNull);
    e->negated = AcceptWord("not");
    ExpectWord("null");
    e->args.push_back(std::move(left));
    return e;
  }
  return left;
}

ExprPtr Parser::ParseAdditive() {
  return ParseChain(&Parser::ParseMultiplicative, [this] {
    return TakeOperator({"+", "-", "&", "|", "^"});
  });
}

ExprPtr Parser::ParseMultiplicative() {
  return ParseChain(&Parser::ParseUnary, [this] { return TakeOperator({"*", "/", "%"}); });
}

ExprPtr Parser::ParseUnary() {
  const Token& t = Peek();
  if (t.kind == TokenKind::kOperator && (t.text == "-" || t.text == "+" || t.text == "~")) {
    std::string op = Next().text;
    if (++depth_ > kMaxNesting) ThrowSql(kNestedTooDeeply);
    ExprPtr operand = ParseUnary();
    --depth_;
    // Fold a sign into a numeric literal so that -1 stays a constant.
    if (op == "-" && operand->kind == Expr::Kind::kLiteral) {
      if (operand->value.type == Value::Type::kInt && operand->value.i != INT64_MIN) {
        operand->value.i = -operand->value.i;
        return operand;
      }
      if (operand->value.type == Value::Type::kFloat) {
        operand->value.f = -operand->value.f;
        return operand;
      }
    }
    if (op == "+") return operand;
    auto e = MakeExpr(Expr::Kind::kUnary);
    e->op = op;
    e->args.push_back(std::move(operand));
    return e;
  }
  return ParsePrimary();
}

ExprPtr Parser::ParsePrimary() {
  const Token& t = Peek();
  switch (t.kind) {
    case TokenKind::kString:
    case TokenKind::kNString:
      return Literal(Value::Text(Next().text));
    case TokenKind::kInteger:
    case TokenKind::kDecimal:
    case TokenKind::kBinary:
      return Literal(NumberValue(Next()));
    case TokenKind::kVariable: {
      auto e = MakeExpr(Expr::Kind::kVariable);
      e->name = Lower(Next().text);
      return e;
    }
    case TokenKind::kSystemVariable: {
      auto e = MakeExpr(Expr::Kind::kSystemVariable);
      e->name = Lower(Next().text);
      return e;
    }
    case TokenKind::kOperator:
      if (t.text == "(") {
        Next();
        if (PeekWord("select")) {
          return FinishSubquery(MakeExpr(Expr::Kind::kSubquery));
        }
        ExprPtr inner = ParseExpr();
        ExpectOp(")");
        return inner;
      }
      SyntaxError();
    case TokenKind::kQuotedIdentifier:
      return ParseColumnRef();
    case TokenKind::kIdentifier:
      break;
    default:
      SyntaxError();
  }
  if (PeekWord("null")) {
    Next();
    return Literal(Value::Null());
  }
  if (PeekWord("case")) return ParseCase();
  if (PeekOp("(", 1)) {
    std::string fn = Lower(t.text);
    if (fn == "cast") return ParseCast();
    if (fn == "convert") return ParseConvert();
    if (fn == "dateadd" || fn == "datediff" || fn == "datepart" || fn == "datename") {
      return ParseDateFunction();
    }
    if (fn == "identity") return ParseIdentity();
    if (IsReserved(t) && fn != "left" && fn != "right") SyntaxError();
    Next();
    Next();
    auto e = MakeExpr(Expr::Kind::kFunction);
    e->name = fn;
    if (AcceptOp(")")) return e;
    if (fn == "count" && PeekOp("*") && PeekOp(")", 1)) {
      Next();
      Next();
      e->args.push_back(MakeExpr(Expr::Kind::kStar));
      return e;
    }
    if (AcceptWord("distinct")) {
      e->distinct = true;
    } else {
      AcceptWord("all");
    }
    do {
      e->args.push_back(ParseExpr());
    } while (AcceptOp(","));
    ExpectOp(")");
    return e;
  }
  if (IsReserved(t)) SyntaxError();
  return ParseColumnRef();
}

ExprPtr Parser::ParseColumnRef() {
  auto e = MakeExpr(Expr::Kind::kColumn);
  e->parts.push_back(ExpectAnyName());
  while (PeekOp(".") && !PeekOp("*", 1)) {
    Next();
    if (PeekOp(".")) {
      e->parts.push_back("");
      continue;
    }
    e->parts.push_back(ExpectAnyName());
  }
  if (e->parts.size() > 4) SyntaxError();
  // Keep table and column only: db.schema.table.column -> table.column.
  if (e->parts.size() > 2) e->parts.erase(e->parts.begin(), e->parts.end() - 2);
  return e;
}

ExprPtr Parser::ParseCase() {
  ExpectWord("case");
  auto e = MakeExpr(Expr::Kind::kCase);
  if (!PeekWord("when")) {
    e->has_operand = true;
    e->args.push_back(ParseExpr());
  }
  if (!PeekWord("when")) SyntaxError();
  while (AcceptWord("when")) {
    e->args.push_back(ParseExpr());
    ExpectWord("then");
    e->args.push_back(ParseExpr());
  }
  if (AcceptWord("else")) {
    e->has_else = true;
    e->args.push_back(ParseExpr());
  }
  ExpectWord("end");
  return e;
}

ExprPtr Parser::ParseCast() {
  ExprPtr e = StartCall(Expr::Kind::kCast);
  e->args.push_back(ParseExpr());
  ExpectWord("as");
  e->type = ParseType();
  ExpectOp(")");
  return e;
}

ExprPtr Parser::ParseConvert() {
  ExprPtr e = StartCall(Expr::Kind::kCast);
  e->type = ParseType();
  ExpectOp(",");
  e->args.push_back(ParseExpr());
  if (AcceptOp(",")) e->args.push_back(ParseExpr());
  ExpectOp(")");
  return e;
}

ExprPtr Parser::ParseDateFunction() {
  auto e = MakeExpr(Expr::Kind::kDatePart);
  e->name = Lower(Next().text);
  ExpectOp("(");
  const Token& p = Peek();
  std::string part;
  if (p.kind == TokenKind::kIdentifier) part = CanonicalDatePart(p.text);
  if (part.empty()) {
    ThrowSql("Invalid parameter 1 specified for " + e->name + ".");
  }
  Next();
  e->part = part;
  const int count = e->name == "datepart" || e->name == "datename" ? 1 : 2;
  for (int i = 0; i < count; ++i) {
    ExpectOp(",");
    e->args.push_back(ParseExpr());
  }
  ExpectOp(")");
  return e;
}

ExprPtr Parser::ParseIdentity() {
  ExprPtr e = StartCall(Expr::Kind::kIdentity);
  e->type = ParseType();
  if (AcceptOp(",")) {
    e->seed = ParseSignedInteger();
    ExpectOp(",");
    e->step = ParseSignedInteger();
  }
  ExpectOp(")");
  return e;
}

int64_t Parser::ParseSignedInteger() {
  bool negative = AcceptOp("-");
  if (Peek().kind != TokenKind::kInteger) SyntaxError();
  int64_t v = std::strtoll(Next().text.c_str(), nullptr, 10);
  return negative ? -v : v;
}

}  // namespace tellwen::sqlserver::parser_internal
