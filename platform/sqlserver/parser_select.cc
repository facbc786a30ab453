// The parser's SELECT: UNION chains with their ORDER BY, the cores (DISTINCT,
// TOP, the select list with aliases and @variable assignments, INTO, FROM,
// WHERE, GROUP BY, HAVING), and the FROM list of tables, derived tables and
// joins, with table hints accepted and ignored.
#include "platform/sqlserver/parser_internal.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver::parser_internal {

std::unique_ptr<Select> Parser::ParseSelect() {
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
    if (AcceptWord("offset")) ParseOffsetFetch(select.get());
  }
  --depth_;
  return select;
}

void Parser::ParseOffsetFetch(Select* select) {
  for (const SelectCore& core : select->cores) {
    if (core.top) ThrowSql("A TOP can not be used in the same query or sub-query as a OFFSET.");
  }
  select->offset = ParseExpr();
  if (!AcceptWord("rows")) ExpectWord("row");
  if (!AcceptWord("fetch")) return;
  if (!AcceptWord("next")) ExpectWord("first");
  select->fetch = ParseExpr();
  if (!AcceptWord("rows")) ExpectWord("row");
  ExpectWord("only");
}

std::vector<OrderItem> Parser::ParseOrderList() {
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

SelectCore Parser::ParseSelectCore() {
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

SelectItem Parser::ParseSelectItem() {
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

std::vector<std::unique_ptr<TableRef>> Parser::ParseFromList() {
  std::vector<std::unique_ptr<TableRef>> list;
  do {
    list.push_back(ParseJoinedTable());
  } while (AcceptOp(","));
  return list;
}

std::unique_ptr<TableRef> Parser::ParseJoinedTable() {
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

std::unique_ptr<TableRef> Parser::ParseTablePrimary() {
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
  ref->exclusive_lock = ParseTableHints();
  return ref;
}

// WITH (TABLOCKX, NOLOCK, ...): accepted; whether TABLOCKX is among them.
// The embedded engine ignores hints (SQLite locks whole databases anyway).
bool Parser::ParseTableHints() {
  if (!(PeekWord("with") && PeekOp("(", 1))) return false;
  Next();
  Next();
  bool exclusive = false;
  do {
    if (Peek().kind != TokenKind::kIdentifier) SyntaxError();
    exclusive = exclusive || PeekWord("tablockx");
    Next();
    if (AcceptOp("(")) {
      SkipToClosingParenthesis();
    }
  } while (AcceptOp(","));
  ExpectOp(")");
  return exclusive;
}

}  // namespace tellwen::sqlserver::parser_internal
