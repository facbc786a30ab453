// The T-SQL parser: one recursive-descent Parser class over the lexer's
// tokens, in sections by grammar area: token helpers, names and types,
// expressions (SQL Server's precedence), SELECT, statements.
//
// Why one file of about 1,500 lines: the sections are members of one class
// that share its cursor and depth guard, and the expression grammar is being
// reworked (nesting depth, flat AND/OR chains) at the same time; the split by
// grammar area (parser_expr.cc, parser_select.cc, parser_statements.cc over
// a shared parser_impl.h) follows once that work has landed, so that it is
// not done twice.
#include "platform/sqlserver/parser.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "platform/sqlserver/lexer.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver {
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
  Parser(std::string_view text, std::vector<Token> tokens)
      : text_(text), tokens_(std::move(tokens)) {}

  void ParseAll(Batch* batch) {
    bool first = true;
    while (!AtEnd()) {
      if (AcceptOp(";")) continue;
      batch->statements.push_back(ParseStatement(first));
      first = false;
    }
  }

 private:
  // ---- token helpers ----
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
  static bool IsWord(const Token& t, std::string_view w) {
    if (t.kind != TokenKind::kIdentifier || t.text.size() != w.size()) return false;
    for (size_t i = 0; i < w.size(); ++i) {
      if (tolower(static_cast<unsigned char>(t.text[i])) != w[i]) return false;
    }
    return true;
  }
  bool PeekWord(std::string_view w, size_t k = 0) const { return IsWord(Peek(k), w); }
  bool AcceptWord(std::string_view w) {
    if (!PeekWord(w)) return false;
    Next();
    return true;
  }
  void ExpectWord(std::string_view w) {
    if (!AcceptWord(w)) SyntaxError();
  }
  bool PeekOp(std::string_view op, size_t k = 0) const {
    return Peek(k).kind == TokenKind::kOperator && Peek(k).text == op;
  }
  bool AcceptOp(std::string_view op) {
    if (!PeekOp(op)) return false;
    Next();
    return true;
  }
  void ExpectOp(std::string_view op) {
    if (!AcceptOp(op)) SyntaxError();
  }
  [[noreturn]] void SyntaxError() const {
    const Token& t = Peek();
    if (t.kind == TokenKind::kEnd) {
      std::string last = pos_ > 0 ? tokens_[pos_ - 1].text : "";
      ThrowSql("Incorrect syntax near '" + last + "'.");
    }
    ThrowSql("Incorrect syntax near '" + t.text + "'.");
  }
  static bool IsReserved(const Token& t) {
    return t.kind == TokenKind::kIdentifier && ReservedWords().count(Lower(t.text)) > 0;
  }
  bool PeekName() const {
    const Token& t = Peek();
    return (t.kind == TokenKind::kIdentifier && !IsReserved(t)) ||
           t.kind == TokenKind::kQuotedIdentifier;
  }
  std::string ExpectName() {
    const Token& t = Peek();
    if (t.kind == TokenKind::kQuotedIdentifier ||
        (t.kind == TokenKind::kIdentifier && !IsReserved(t))) {
      return Next().text;
    }
    SyntaxError();
  }
  // Any identifier, reserved or not (after a ".": t.key is a column).
  std::string ExpectAnyName() {
    const Token& t = Peek();
    if (t.kind == TokenKind::kQuotedIdentifier || t.kind == TokenKind::kIdentifier) {
      return Next().text;
    }
    SyntaxError();
  }

  // ---- names and types ----
  ObjectName ParseObjectName() {
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

  TypeSpec ParseType() {
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

  // ---- expressions ----
  ExprPtr MakeExpr(Expr::Kind kind) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    return e;
  }
  ExprPtr Binary(std::string op, ExprPtr a, ExprPtr b) {
    auto e = MakeExpr(Expr::Kind::kBinary);
    e->op = std::move(op);
    e->args.push_back(std::move(a));
    e->args.push_back(std::move(b));
    return e;
  }

  ExprPtr ParseExpr() {
    if (++depth_ > kMaxNesting) ThrowSql(kNestedTooDeeply);
    ExprPtr e = ParseOr();
    --depth_;
    return e;
  }
  static void CountOperand(int* operands) {
    if (++*operands > kMaxChainOperands) ThrowSql(kExpressionTooLong);
  }
  ExprPtr ParseOr() {
    ExprPtr left = ParseAnd();
    int operands = 1;
    while (AcceptWord("or")) {
      CountOperand(&operands);
      left = Binary("or", std::move(left), ParseAnd());
    }
    return left;
  }
  ExprPtr ParseAnd() {
    ExprPtr left = ParseNot();
    int operands = 1;
    while (AcceptWord("and")) {
      CountOperand(&operands);
      left = Binary("and", std::move(left), ParseNot());
    }
    return left;
  }
  ExprPtr ParseNot() {
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
  ExprPtr ParsePredicate() {
    if (PeekWord("exists")) {
      Next();
      ExpectOp("(");
      auto e = MakeExpr(Expr::Kind::kExists);
      e->subquery = ParseSelect();
      ExpectOp(")");
      return e;
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
        e->subquery = ParseSelect();
        ExpectOp(")");
        return e;
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
  ExprPtr ParseAdditive() {
    ExprPtr left = ParseMultiplicative();
    int operands = 1;
    for (;;) {
      const Token& t = Peek();
      if (t.kind == TokenKind::kOperator &&
          (t.text == "+" || t.text == "-" || t.text == "&" || t.text == "|" || t.text == "^")) {
        CountOperand(&operands);
        std::string op = Next().text;
        left = Binary(op, std::move(left), ParseMultiplicative());
      } else {
        return left;
      }
    }
  }
  ExprPtr ParseMultiplicative() {
    ExprPtr left = ParseUnary();
    int operands = 1;
    for (;;) {
      const Token& t = Peek();
      if (t.kind == TokenKind::kOperator && (t.text == "*" || t.text == "/" || t.text == "%")) {
        CountOperand(&operands);
        std::string op = Next().text;
        left = Binary(op, std::move(left), ParseUnary());
      } else {
        return left;
      }
    }
  }
  ExprPtr ParseUnary() {
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

  ExprPtr Literal(Value v) {
    auto e = MakeExpr(Expr::Kind::kLiteral);
    e->value = std::move(v);
    return e;
  }

  static Value NumberValue(const Token& t) {
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

  ExprPtr ParsePrimary() {
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
            auto e = MakeExpr(Expr::Kind::kSubquery);
            e->subquery = ParseSelect();
            ExpectOp(")");
            return e;
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

  ExprPtr ParseColumnRef() {
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

  ExprPtr ParseCase() {
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

  ExprPtr ParseCast() {
    Next();
    ExpectOp("(");
    auto e = MakeExpr(Expr::Kind::kCast);
    e->args.push_back(ParseExpr());
    ExpectWord("as");
    e->type = ParseType();
    ExpectOp(")");
    return e;
  }

  ExprPtr ParseConvert() {
    Next();
    ExpectOp("(");
    auto e = MakeExpr(Expr::Kind::kCast);
    e->type = ParseType();
    ExpectOp(",");
    e->args.push_back(ParseExpr());
    if (AcceptOp(",")) e->args.push_back(ParseExpr());
    ExpectOp(")");
    return e;
  }

  ExprPtr ParseDateFunction() {
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

  ExprPtr ParseIdentity() {
    Next();
    ExpectOp("(");
    auto e = MakeExpr(Expr::Kind::kIdentity);
    e->type = ParseType();
    if (AcceptOp(",")) {
      e->seed = ParseSignedInteger();
      ExpectOp(",");
      e->step = ParseSignedInteger();
    }
    ExpectOp(")");
    return e;
  }

  int64_t ParseSignedInteger() {
    bool negative = AcceptOp("-");
    if (Peek().kind != TokenKind::kInteger) SyntaxError();
    int64_t v = std::strtoll(Next().text.c_str(), nullptr, 10);
    return negative ? -v : v;
  }

  // ---- SELECT ----
  std::unique_ptr<Select> ParseSelect() {
    if (++depth_ > kMaxNesting) ThrowSql(kNestedTooDeeply);
    auto select = std::make_unique<Select>();
    select->cores.push_back(ParseSelectCore());
    while (AcceptWord("union")) {
      select->union_all.push_back(AcceptWord("all"));
      select->cores.push_back(ParseSelectCore());
    }
    if (AcceptWord("order")) {
      ExpectWord("by");
      select->order_by = ParseOrderList();
    }
    --depth_;
    return select;
  }

  std::vector<OrderItem> ParseOrderList() {
    std::vector<OrderItem> items;
    do {
      OrderItem item;
      item.expr = ParseExpr();
      if (AcceptWord("desc")) {
        item.desc = true;
      } else {
        AcceptWord("asc");
      }
      items.push_back(std::move(item));
    } while (AcceptOp(","));
    return items;
  }

  SelectCore ParseSelectCore() {
    ExpectWord("select");
    SelectCore core;
    if (AcceptWord("distinct")) {
      core.distinct = true;
    } else {
      AcceptWord("all");
    }
    if (AcceptWord("top")) {
      if (AcceptOp("(")) {
        core.top = ParseExpr();
        ExpectOp(")");
      } else if (Peek().kind == TokenKind::kInteger || Peek().kind == TokenKind::kVariable) {
        core.top = ParsePrimary();
      } else {
        SyntaxError();
      }
      if (PeekWord("percent")) ThrowSql("TOP ... PERCENT is not supported by this server.");
      if (PeekWord("with") && PeekWord("ties", 1)) {
        ThrowSql("TOP ... WITH TIES is not supported by this server.");
      }
    }
    do {
      core.items.push_back(ParseSelectItem());
    } while (AcceptOp(","));
    if (AcceptWord("into")) {
      core.has_into = true;
      core.into = ParseObjectName();
    }
    if (AcceptWord("from")) core.from = ParseFromList();
    if (AcceptWord("where")) core.where = ParseExpr();
    if (AcceptWord("group")) {
      ExpectWord("by");
      do {
        core.group_by.push_back(ParseExpr());
      } while (AcceptOp(","));
    }
    if (AcceptWord("having")) core.having = ParseExpr();
    return core;
  }

  SelectItem ParseSelectItem() {
    SelectItem item;
    if (AcceptOp("*")) {
      item.kind = SelectItem::Kind::kStar;
      return item;
    }
    const Token& t = Peek();
    if ((t.kind == TokenKind::kIdentifier || t.kind == TokenKind::kQuotedIdentifier) &&
        PeekOp(".", 1) && PeekOp("*", 2)) {
      item.kind = SelectItem::Kind::kStar;
      item.qualifier = Next().text;
      Next();
      Next();
      return item;
    }
    if (t.kind == TokenKind::kVariable && PeekOp("=", 1)) {
      item.kind = SelectItem::Kind::kAssign;
      item.variable = Lower(Next().text);
      Next();
      item.expr = ParseExpr();
      return item;
    }
    if (((t.kind == TokenKind::kIdentifier && !IsReserved(t)) ||
         t.kind == TokenKind::kQuotedIdentifier || t.kind == TokenKind::kString) &&
        PeekOp("=", 1)) {
      item.alias = Next().text;
      Next();
      item.expr = ParseExpr();
      return item;
    }
    item.expr = ParseExpr();
    if (AcceptWord("as")) {
      const Token& a = Peek();
      if (a.kind == TokenKind::kString || a.kind == TokenKind::kQuotedIdentifier ||
          a.kind == TokenKind::kIdentifier) {
        item.alias = Next().text;
      } else {
        SyntaxError();
      }
    } else if (PeekName() || Peek().kind == TokenKind::kString) {
      item.alias = Next().text;
    }
    return item;
  }

  std::vector<std::unique_ptr<TableRef>> ParseFromList() {
    std::vector<std::unique_ptr<TableRef>> list;
    do {
      list.push_back(ParseJoinedTable());
    } while (AcceptOp(","));
    return list;
  }

  std::unique_ptr<TableRef> ParseJoinedTable() {
    auto left = ParseTablePrimary();
    for (;;) {
      std::string type;
      if (AcceptWord("join")) {
        type = "inner";
      } else if (PeekWord("inner") && PeekWord("join", 1)) {
        Next();
        Next();
        type = "inner";
      } else if (PeekWord("left") || PeekWord("right") || PeekWord("full")) {
        type = Lower(Next().text);
        AcceptWord("outer");
        ExpectWord("join");
      } else if (PeekWord("cross") && PeekWord("join", 1)) {
        Next();
        Next();
        type = "cross";
      } else {
        return left;
      }
      auto join = std::make_unique<TableRef>();
      join->kind = TableRef::Kind::kJoin;
      join->join_type = type;
      join->left = std::move(left);
      join->right = ParseTablePrimary();
      if (type != "cross") {
        ExpectWord("on");
        join->on = ParseExpr();
      }
      left = std::move(join);
    }
  }

  std::unique_ptr<TableRef> ParseTablePrimary() {
    auto ref = std::make_unique<TableRef>();
    if (AcceptOp("(")) {
      if (PeekWord("select")) {
        ref->kind = TableRef::Kind::kSubquery;
        ref->subquery = ParseSelect();
        ExpectOp(")");
        AcceptWord("as");
        ref->alias = ExpectName();
        return ref;
      }
      if (++depth_ > kMaxNesting) ThrowSql(kNestedTooDeeply);
      auto inner = ParseJoinedTable();
      --depth_;
      ExpectOp(")");
      return inner;
    }
    ref->kind = TableRef::Kind::kTable;
    ref->table = ParseObjectName();
    if (AcceptWord("as")) {
      ref->alias = ExpectName();
    } else if (PeekName()) {
      ref->alias = Next().text;
    }
    ParseTableHints();
    return ref;
  }

  // WITH (TABLOCKX, NOLOCK, ...): accepted and ignored; SQLite locks whole
  // databases anyway.
  void ParseTableHints() {
    if (!(PeekWord("with") && PeekOp("(", 1))) return;
    Next();
    Next();
    do {
      if (Peek().kind != TokenKind::kIdentifier) SyntaxError();
      Next();
      if (AcceptOp("(")) {
        int nesting = 1;
        while (nesting > 0 && !AtEnd()) {
          if (PeekOp("(")) ++nesting;
          if (PeekOp(")")) --nesting;
          Next();
        }
      }
    } while (AcceptOp(","));
    ExpectOp(")");
  }

  // ---- statements ----
  StmtPtr ParseStatement(bool first_in_batch) {
    if (++depth_ > kMaxNesting) ThrowSql(kNestedTooDeeply);
    StmtPtr s = ParseStatementInner(first_in_batch);
    --depth_;
    return s;
  }

  StmtPtr ParseStatementInner(bool first_in_batch) {
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
      Next();
      auto s = std::make_unique<Stmt>(Stmt::Kind::kIf);
      s->expr = ParseExpr();
      s->then_branch = ParseBodyStatement();
      while (AcceptOp(";")) {
      }
      if (AcceptWord("else")) s->else_branch = ParseBodyStatement();
      return s;
    }
    if (word == "while") {
      Next();
      auto s = std::make_unique<Stmt>(Stmt::Kind::kWhile);
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
      Next();
      auto s = std::make_unique<Stmt>(Stmt::Kind::kReturn);
      const Token& n = Peek();
      if (n.kind == TokenKind::kInteger || n.kind == TokenKind::kVariable ||
          n.kind == TokenKind::kString ||
          (n.kind == TokenKind::kOperator && (n.text == "(" || n.text == "-"))) {
        s->expr = ParseExpr();
      }
      return s;
    }
    if (word == "break") {
      Next();
      return std::make_unique<Stmt>(Stmt::Kind::kBreak);
    }
    if (word == "continue") {
      Next();
      return std::make_unique<Stmt>(Stmt::Kind::kContinue);
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
      Next();
      auto s = std::make_unique<Stmt>(Stmt::Kind::kUse);
      s->database = ExpectAnyName();
      return s;
    }
    if (word == "dbcc") {
      Next();
      auto s = std::make_unique<Stmt>(Stmt::Kind::kDbcc);
      s->dbcc_command = Lower(ExpectAnyName());
      if (AcceptOp("(")) {
        int nesting = 1;
        while (nesting > 0 && !AtEnd()) {
          if (PeekOp("(")) ++nesting;
          if (PeekOp(")")) --nesting;
          Next();
        }
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
      Next();
      auto s = std::make_unique<Stmt>(Stmt::Kind::kPrint);
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
  StmtPtr ParseBodyStatement() {
    while (AcceptOp(";")) {
    }
    if (AtEnd()) SyntaxError();
    if (PeekWord("else") || PeekWord("end")) SyntaxError();
    return ParseStatement(false);
  }

  void AcceptTransactionName() {
    const Token& t = Peek();
    if (t.kind == TokenKind::kVariable || (t.kind == TokenKind::kIdentifier && !IsReserved(t))) {
      Next();
    }
  }

  StmtPtr ParseExecProc() {
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

  bool StartsArgument() const {
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

  ExprPtr ParseArgumentValue() {
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

  // VALUES rows made only of constants, read without expression trees (the
  // loader sends thousands of them per batch). Rewinds and returns false
  // when any value is more than a constant.
  bool ParseLiteralRows(Stmt* s) {
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

  StmtPtr ParseInsert() {
    Next();
    auto s = std::make_unique<Stmt>(Stmt::Kind::kInsert);
    AcceptWord("into");
    s->table = ParseObjectName();
    ParseTableHints();
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

  StmtPtr ParseUpdate() {
    Next();
    auto s = std::make_unique<Stmt>(Stmt::Kind::kUpdate);
    s->table = ParseObjectName();
    ParseTableHints();
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

  StmtPtr ParseDelete() {
    Next();
    auto s = std::make_unique<Stmt>(Stmt::Kind::kDelete);
    AcceptWord("from");
    s->table = ParseObjectName();
    ParseTableHints();
    if (AcceptWord("from")) s->from = ParseFromList();
    if (AcceptWord("where")) s->where = ParseExpr();
    return s;
  }

  void SkipOnFilegroup() {
    if (PeekWord("on")) {
      Next();
      if (PeekWord("primary")) {
        Next();
      } else {
        ExpectAnyName();
      }
    }
    if (PeekWord("textimage_on")) {
      Next();
      if (PeekWord("primary"))
        Next();
      else
        ExpectAnyName();
    }
  }

  ColumnDef ParseColumnDef() {
    ColumnDef def;
    def.name = ExpectName();
    def.type = ParseType();
    for (;;) {
      if (AcceptWord("identity")) {
        def.identity = true;
        if (AcceptOp("(")) {
          def.seed = ParseSignedInteger();
          ExpectOp(",");
          def.step = ParseSignedInteger();
          ExpectOp(")");
        }
      } else if (AcceptWord("null")) {
        def.not_null = false;
      } else if (PeekWord("not") && PeekWord("null", 1)) {
        Next();
        Next();
        def.not_null = true;
      } else if (PeekWord("primary") && PeekWord("key", 1)) {
        Next();
        Next();
        def.primary_key = true;
        if (!AcceptWord("clustered")) AcceptWord("nonclustered");
      } else if (AcceptWord("default")) {
        def.default_value = ParsePrimary();
      } else if (AcceptWord("collate")) {
        ExpectAnyName();
      } else if (AcceptWord("constraint")) {
        ExpectName();
      } else {
        return def;
      }
    }
  }

  StmtPtr ParseCreate(bool first_in_batch) {
    const size_t create_offset = Peek().offset;
    Next();
    if (AcceptWord("table")) {
      auto s = std::make_unique<Stmt>(Stmt::Kind::kCreateTable);
      s->table = ParseObjectName();
      ExpectOp("(");
      do {
        if (PeekWord("constraint") || PeekWord("primary") || PeekWord("unique")) {
          ThrowSql("Table constraints are not supported by this server.");
        }
        s->column_defs.push_back(ParseColumnDef());
      } while (AcceptOp(","));
      ExpectOp(")");
      SkipOnFilegroup();
      return s;
    }
    if (PeekWord("unique") || PeekWord("clustered") || PeekWord("nonclustered") ||
        PeekWord("index")) {
      auto s = std::make_unique<Stmt>(Stmt::Kind::kCreateIndex);
      if (AcceptWord("unique")) s->unique = true;
      if (!AcceptWord("clustered")) AcceptWord("nonclustered");
      ExpectWord("index");
      s->index_name = ExpectName();
      ExpectWord("on");
      s->table = ParseObjectName();
      ExpectOp("(");
      do {
        OrderItem item;
        auto col = MakeExpr(Expr::Kind::kColumn);
        col->parts.push_back(ExpectName());
        item.expr = std::move(col);
        if (AcceptWord("desc"))
          item.desc = true;
        else
          AcceptWord("asc");
        s->index_columns.push_back(std::move(item));
      } while (AcceptOp(","));
      ExpectOp(")");
      if (AcceptWord("with")) {
        if (AcceptOp("(")) {
          int nesting = 1;
          while (nesting > 0 && !AtEnd()) {
            if (PeekOp("(")) ++nesting;
            if (PeekOp(")")) --nesting;
            Next();
          }
        } else {
          do {
            ExpectAnyName();
            if (AcceptOp("=")) Next();
          } while (AcceptOp(","));
        }
      }
      SkipOnFilegroup();
      return s;
    }
    if (PeekWord("procedure") || PeekWord("proc")) {
      if (!first_in_batch) {
        ThrowSql("'CREATE PROCEDURE' must be the first statement in a query batch.");
      }
      Next();
      auto s = std::make_unique<Stmt>(Stmt::Kind::kCreateProcedure);
      s->proc_name = ParseObjectName().name;
      if (AcceptOp(";")) ParseSignedInteger();
      bool paren = AcceptOp("(");
      if (Peek().kind == TokenKind::kVariable) {
        do {
          Stmt::ProcedureParam p;
          p.name = Lower(Next().text);
          AcceptWord("as");
          p.type = ParseType();
          if (AcceptOp("=")) p.default_value = ParseArgumentValue();
          if (AcceptWord("output") || AcceptWord("out")) p.output = true;
          s->params.push_back(std::move(p));
        } while (AcceptOp(","));
      }
      if (paren) ExpectOp(")");
      if (AcceptWord("with")) {
        do {
          ExpectAnyName();
        } while (AcceptOp(","));
      }
      ExpectWord("as");
      while (!AtEnd()) {
        if (AcceptOp(";")) continue;
        s->body.push_back(ParseStatement(false));
      }
      s->create_text = std::string(text_.substr(create_offset));
      return s;
    }
    if (AcceptWord("database")) {
      auto s = std::make_unique<Stmt>(Stmt::Kind::kCreateDatabase);
      s->database = ExpectName();
      return s;
    }
    if (PeekWord("view") || PeekWord("function") || PeekWord("trigger")) {
      ThrowSql("CREATE " + Peek().text + " is not supported by this server.");
    }
    SyntaxError();
  }

  StmtPtr ParseDrop() {
    Next();
    if (AcceptWord("table")) {
      auto s = std::make_unique<Stmt>(Stmt::Kind::kDropTable);
      do {
        s->tables.push_back(ParseObjectName());
      } while (AcceptOp(","));
      return s;
    }
    if (AcceptWord("procedure") || AcceptWord("proc")) {
      auto s = std::make_unique<Stmt>(Stmt::Kind::kDropProcedure);
      do {
        s->tables.push_back(ParseObjectName());
      } while (AcceptOp(","));
      return s;
    }
    if (AcceptWord("index")) {
      auto s = std::make_unique<Stmt>(Stmt::Kind::kDropIndex);
      // DROP INDEX table.index or DROP INDEX index ON table (one index).
      std::vector<std::string> parts;
      parts.push_back(ExpectName());
      while (AcceptOp(".")) parts.push_back(ExpectAnyName());
      if (AcceptWord("on")) {
        s->index_name = parts.back();
        s->table = ParseObjectName();
      } else {
        if (parts.size() < 2) SyntaxError();
        s->index_name = parts.back();
        s->table.name = parts[parts.size() - 2];
      }
      return s;
    }
    SyntaxError();
  }

  StmtPtr ParseAlter() {
    Next();
    if (AcceptWord("table")) {
      ObjectName table = ParseObjectName();
      if (AcceptWord("add")) {
        auto s = std::make_unique<Stmt>(Stmt::Kind::kAlterTableAdd);
        s->table = table;
        do {
          if (PeekWord("constraint") || PeekWord("primary")) {
            ThrowSql("Table constraints are not supported by this server.");
          }
          s->column_defs.push_back(ParseColumnDef());
        } while (AcceptOp(","));
        return s;
      }
      if (AcceptWord("drop")) {
        ExpectWord("column");
        auto s = std::make_unique<Stmt>(Stmt::Kind::kAlterTableDrop);
        s->table = table;
        do {
          s->columns.push_back(ExpectName());
        } while (AcceptOp(","));
        return s;
      }
      SyntaxError();
    }
    if (AcceptWord("login")) {
      auto s = std::make_unique<Stmt>(Stmt::Kind::kAlterLogin);
      s->login = ExpectName();
      ExpectWord("with");
      ExpectWord("password");
      ExpectOp("=");
      const Token& p = Peek();
      if (p.kind != TokenKind::kString && p.kind != TokenKind::kNString) SyntaxError();
      s->password = Next().text;
      if (AcceptOp(",") || PeekWord("old_password")) {
        ExpectWord("old_password");
        ExpectOp("=");
        Next();
      }
      return s;
    }
    SyntaxError();
  }

  StmtPtr ParseDeclare() {
    Next();
    auto s = std::make_unique<Stmt>(Stmt::Kind::kDeclare);
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

  StmtPtr ParseSet() {
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
      while (Peek().kind == TokenKind::kIdentifier && !IsReserved(Peek())) Next();
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

  std::string_view text_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace

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
    Parser parser(text, std::move(tokens));
    parser.ParseAll(batch);
  } catch (const SqlException& e) {
    *error = e.description;
    return false;
  }
  return true;
}

}  // namespace tellwen::sqlserver
