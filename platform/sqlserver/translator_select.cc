// Translator: SELECT (its cores, UNION, ORDER BY, TOP, OFFSET and FETCH),
// FROM lists and joins, and the SQL of the planner's plans (rowid walks and
// reads of the substring indexes).
#include <cstring>
#include <functional>
#include <map>

#include "platform/sqlserver/translator.h"

namespace tellwen::sqlserver {
namespace {

bool EqualsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// sysobjects as the procedures test it: tables (of the database's file and
// of its log file) and procedures of the database with a stable id.
constexpr const char* kSysObjects =
    "(SELECT tsql_objid(name) AS id, name COLLATE TSQL AS name, 'U' AS xtype, 'U' AS type, "
    "1 AS uid, 0 AS parent_obj FROM main.sqlite_master WHERE type = 'table' AND "
    "substr(name, 1, 7) <> 'sqlite_' AND substr(name, 1, 6) <> '_tsql_' UNION ALL "
    "SELECT tsql_objid(name), name COLLATE TSQL, 'U', 'U', 1, 0 FROM logs.sqlite_master WHERE "
    "type = 'table' AND substr(name, 1, 7) <> 'sqlite_' AND substr(name, 1, 6) <> '_tsql_' "
    "UNION ALL "
    "SELECT tsql_objid(name), name COLLATE TSQL, 'P', 'P', 1, 0 FROM main._tsql_procedures)";

// The same on the PostgreSQL engine (postgres_functions.h).
constexpr const char* kPostgresSysObjects =
    "(SELECT tsql.objid(name) AS id, name COLLATE tsql AS name, type AS xtype, type AS type, "
    "1 AS uid, 0 AS parent_obj FROM tsql.objects() WHERE NOT temp)";

}  // namespace

std::string Translator::OrderTerm(const Expr& e, bool compound,
                                  const std::vector<SelectItem>* items) {
  // ORDER BY 2: a position stays a literal.
  if (e.kind == Expr::Kind::kLiteral && e.value.type == Value::Type::kInt) {
    return std::to_string(e.value.i);
  }
  std::string s = Expression(e);
  if (IsNumeric(e)) return s;
  if (postgres_) {
    // Texts sort by their keys (tsql.sort_key: SQL Server's order, not the
    // collation's), any other type as it is; the server picks by the
    // operand's type, which the translator does not know for columns.
    if (items && IsColumn(e) && e.parts.size() == 1) {
      // An alias of a select-list expression: the server names an output
      // column only bare, so the key is of the expression itself (a bare
      // column name gave no parameter to s).
      for (const SelectItem& item : *items) {
        if (item.kind != SelectItem::Kind::kExpr || item.alias.empty() ||
            !EqualsNoCase(item.alias, e.parts[0].c_str()) ||
            (IsColumn(*item.expr) && EqualsNoCase(item.expr->parts.back(), e.parts[0].c_str()))) {
          continue;
        }
        const TypeClass type = StaticType(*item.expr);
        if (type != TypeClass::kText && type != TypeClass::kUnknown) return s;
        return SortKey(Expression(*item.expr), type);
      }
    }
    const TypeClass type = StaticType(e);
    return type != TypeClass::kText && type != TypeClass::kUnknown ? s : SortKey(s, type);
  }
  if (IsColumn(e) && !compound) {
    // A plain column keeps its own collation (and its index); an alias of
    // an expression needs the collation spelled out.
    bool alias = false;
    if (items && e.parts.size() == 1) {
      for (const SelectItem& item : *items) {
        if (item.kind == SelectItem::Kind::kExpr && !item.alias.empty() &&
            EqualsNoCase(item.alias, e.parts[0].c_str()) &&
            !(item.expr->kind == Expr::Kind::kColumn &&
              EqualsNoCase(item.expr->parts.back(), e.parts[0].c_str()))) {
          alias = true;
        }
      }
    }
    if (!alias) return s;
  }
  return s + " COLLATE TSQL";
}

std::string Translator::Select(const struct Select& s, bool identity_as_null) {
  const bool compound = s.cores.size() > 1;
  struct Restore {
    Translator* t;
    const std::vector<OrderItem>* order_by;
    bool fetched;
    ~Restore() {
      t->order_by_ = order_by;
      t->fetched_ = fetched;
    }
  } restore{this, order_by_, fetched_};
  order_by_ = compound ? nullptr : &s.order_by;
  fetched_ = !compound && s.fetch;
  if (!compound) {
    std::string planned = IndexedSelect(s, identity_as_null);
    if (!planned.empty()) return planned;
  }
  if (postgres_ && (compound || s.cores[0].distinct) && !s.order_by.empty()) {
    std::vector<std::pair<size_t, bool>> order_items;
    if (!compound && DistinctOrderItems(s, &order_items)) {
      return KeyedDistinct(s, order_items, identity_as_null);
    }
    std::string sorted = SortedOutside(s, identity_as_null);
    if (!sorted.empty()) return sorted;
  }
  std::string r = Cores(s, identity_as_null);
  if (!s.order_by.empty()) {
    r += " ORDER BY ";
    for (size_t i = 0; i < s.order_by.size(); ++i) {
      if (i) r += ", ";
      RowidTable rowid;
      if (!compound && planner_.RowidOrder(*s.order_by[i].expr, s.cores[0], &rowid)) {
        // The rowid itself, not an expression of it: SQLite walks the
        // table in that order and stops at the LIMIT.
        r += QuoteName(rowid.qualifier) + "." + QuoteName(rowid.column);
      } else {
        r += OrderTerm(*s.order_by[i].expr, compound, compound ? nullptr : &s.cores[0].items);
      }
      if (s.order_by[i].desc) r += " DESC";
    }
  }
  if (!compound && s.cores[0].top) r += " LIMIT " + Expression(*s.cores[0].top);
  return r + OffsetFetch(s);
}

std::string Translator::Cores(const struct Select& s, bool identity_as_null) {
  const bool compound = s.cores.size() > 1;
  std::string r;
  for (size_t i = 0; i < s.cores.size(); ++i) {
    if (i) r += s.union_all[i - 1] ? " UNION ALL " : " UNION ";
    const SelectCore& core = s.cores[i];
    if (compound && core.top) {
      r += "SELECT * FROM (" + Core(core, identity_as_null);
      r += " LIMIT " + Expression(*core.top) + ")";
    } else {
      r += Core(core, identity_as_null);
    }
  }
  return r;
}

std::string Translator::SortKey(const std::string& sql, TypeClass type) {
  // A text's key is its fold in code-point order (ucs_basic, the server's
  // byte order of UTF-8, as "C"; a quoted name would be folded to lower
  // case); the server's overloads give any other type's key as the value
  // itself. The second argument only carries that collation to the call's
  // result (the server derives
  // it from the arguments, and a COLLATE after the call would be refused
  // for a number).
  if (type == TypeClass::kText) return "tsql_fold(" + sql + ") COLLATE ucs_basic";
  return "tsql_sort_key(" + sql + ", '' COLLATE ucs_basic)";
}

namespace {

// A select-list item that is the same on every row: it neither orders nor
// tells rows apart.
bool IsConstantItem(const Expr& e) {
  return e.kind == Expr::Kind::kLiteral || e.kind == Expr::Kind::kVariable ||
         e.kind == Expr::Kind::kSystemVariable;
}

// True when e translates without parameters (literals are written into the
// text on the PostgreSQL server), so that its translations are the same
// text wherever it stands.
bool WithoutParameters(const Expr& e) {
  if (e.kind == Expr::Kind::kVariable || e.kind == Expr::Kind::kSystemVariable || e.subquery) {
    return false;
  }
  for (const auto& arg : e.args) {
    if (arg && !WithoutParameters(*arg)) return false;
  }
  return true;
}

}  // namespace

bool Translator::DistinctOrderItems(const struct Select& s,
                                    std::vector<std::pair<size_t, bool>>* out) {
  const std::vector<SelectItem>& items = s.cores[0].items;
  bool keyed = false;
  for (const SelectItem& item : items) {
    if (item.kind != SelectItem::Kind::kExpr) return false;
    if (IsConstantItem(*item.expr)) continue;
    // DISTINCT ON and ORDER BY must hold the same texts.
    if (!WithoutParameters(*item.expr)) return false;
    keyed = true;
  }
  if (!keyed) return false;
  for (const OrderItem& o : s.order_by) {
    const Expr& e = *o.expr;
    if (e.kind == Expr::Kind::kLiteral && e.value.type == Value::Type::kInt) {
      if (e.value.i < 1 || e.value.i > static_cast<int64_t>(items.size())) return false;
      const size_t i = static_cast<size_t>(e.value.i - 1);
      if (!IsConstantItem(*items[i].expr)) out->emplace_back(i, o.desc);
      continue;
    }
    if (!IsColumn(e)) return false;
    size_t found = items.size();
    // An alias first, as SQL Server reads ORDER BY; then a column selected
    // as it is.
    for (size_t i = 0; i < items.size() && found == items.size(); ++i) {
      if (e.parts.size() == 1 && !items[i].alias.empty() &&
          EqualsNoCase(items[i].alias, e.parts[0].c_str())) {
        found = i;
      }
    }
    for (size_t i = 0; i < items.size() && found == items.size(); ++i) {
      const Expr& x = *items[i].expr;
      if (!IsColumn(x) || !EqualsNoCase(x.parts.back(), e.parts.back().c_str())) continue;
      if (e.parts.size() == 1 || x.parts.size() == 1 ||
          EqualsNoCase(x.parts[x.parts.size() - 2], e.parts[e.parts.size() - 2].c_str())) {
        found = i;
      }
    }
    if (found == items.size()) return false;
    if (!IsConstantItem(*items[found].expr)) out->emplace_back(found, o.desc);
  }
  return true;
}

std::string Translator::ItemKey(const SelectCore& core, size_t i) {
  const Expr& e = *core.items[i].expr;
  // A number is its own key: the output column by position (a bare number
  // there would read as a position anyway).
  if (IsNumeric(e)) return std::to_string(i + 1);
  return SortKey(Expression(e), StaticType(e));
}

std::string Translator::KeyedDistinct(const struct Select& s,
                                      const std::vector<std::pair<size_t, bool>>& order_items,
                                      bool identity_as_null) {
  const SelectCore& core = s.cores[0];
  // One sort by the keys both orders the rows and finds the distinct ones
  // (equal keys: equal under the TSQL collation). Pieces in text order, so
  // that parameters number alike.
  std::string on;
  for (size_t i = 0; i < core.items.size(); ++i) {
    if (!IsConstantItem(*core.items[i].expr)) on += (on.empty() ? "" : ", ") + ItemKey(core, i);
  }
  distinct_on_ = &on;
  std::string r = Core(core, identity_as_null);
  distinct_on_ = nullptr;
  std::string order;
  std::vector<bool> listed(core.items.size(), false);
  for (const auto& [item, desc] : order_items) {
    order += (order.empty() ? "" : ", ") + ItemKey(core, item);
    if (desc) order += " DESC";
    listed[item] = true;
  }
  // DISTINCT ON wants every one of its keys at the head of the ORDER BY.
  for (size_t i = 0; i < core.items.size(); ++i) {
    if (!listed[i] && !IsConstantItem(*core.items[i].expr)) {
      order += (order.empty() ? "" : ", ") + ItemKey(core, i);
    }
  }
  r += " ORDER BY " + order;
  if (core.top) r += " LIMIT " + Expression(*core.top);
  return r + OffsetFetch(s);
}

std::string Translator::SortedOutside(const struct Select& s, bool identity_as_null) {
  for (const OrderItem& o : s.order_by) {
    const Expr& e = *o.expr;
    const bool position = e.kind == Expr::Kind::kLiteral && e.value.type == Value::Type::kInt;
    if (!position && !IsColumn(e)) return "";
  }
  const SelectCore& first = s.cores[0];
  std::string r = "SELECT * FROM (" + Cores(s, identity_as_null) + ") AS \"sorted\" ORDER BY ";
  for (size_t i = 0; i < s.order_by.size(); ++i) {
    if (i) r += ", ";
    const Expr& e = *s.order_by[i].expr;
    if (e.kind == Expr::Kind::kLiteral) {
      r += std::to_string(e.value.i);
    } else {
      // The output column of that name; a number by the static type of the
      // first core's item that makes it sorts as it is.
      const std::string& name = e.parts.back();
      const Expr* made_by = nullptr;
      for (const SelectItem& item : first.items) {
        if (item.kind != SelectItem::Kind::kExpr) continue;
        const bool named =
            item.alias.empty()
                ? IsColumn(*item.expr) && EqualsNoCase(item.expr->parts.back(), name.c_str())
                : EqualsNoCase(item.alias, name.c_str());
        if (named) made_by = item.expr.get();
      }
      const std::string column = "\"sorted\"." + QuoteName(name);
      r += made_by && IsNumeric(*made_by) ? column : SortKey(column, TypeClass::kUnknown);
    }
    if (s.order_by[i].desc) r += " DESC";
  }
  if (s.cores.size() == 1 && first.top) r += " LIMIT " + Expression(*first.top);
  return r + OffsetFetch(s);
}

std::string Translator::OffsetFetch(const struct Select& s) {
  if (!s.offset) return "";
  // One piece at a time: parameters are numbered in text order.
  std::string r = " LIMIT ";
  if (s.fetch) {
    r += "max(0, ";
    r += Expression(*s.fetch);
    r += ")";
  } else {
    r += "-1";
  }
  r += " OFFSET max(0, ";
  r += Expression(*s.offset);
  return r + ")";
}

std::string Translator::WalkingWhere(const Expr& where, const RowidTable& walk) {
  std::vector<const Expr*> conjuncts;
  LogicalTerms(where, "and", &conjuncts);
  std::string r = "(";
  for (size_t i = 0; i < conjuncts.size(); ++i) {
    const Expr& term = *conjuncts[i];
    if (i) r += " AND ";
    if (term.kind != Expr::Kind::kBinary || term.op != "or") {
      r += Expression(term);
      continue;
    }
    plus_rowid_ = &walk;
    try {
      r += Expression(term);
    } catch (...) {
      plus_rowid_ = nullptr;
      throw;
    }
    plus_rowid_ = nullptr;
    std::vector<const Expr*> lows, highs;
    if (planner_.CoveringRange(term, walk, &lows, &highs)) {
      r += " AND " + QuoteName(walk.qualifier) + "." + QuoteName(walk.column) + " BETWEEN min(";
      for (size_t k = 0; k < lows.size(); ++k) r += (k ? ", " : "") + Expression(*lows[k]);
      r += ") AND max(";
      for (size_t k = 0; k < highs.size(); ++k) r += (k ? ", " : "") + Expression(*highs[k]);
      r += ")";
    }
  }
  return r + ")";
}

std::string Translator::IndexedSelect(const struct Select& s, bool identity_as_null) {
  IndexedSelectPlan plan;
  if (!planner_.IndexedSelect(s, &plan)) return "";
  const SelectCore& core = s.cores[0];
  const RowidTable& t = plan.key;

  // SELECT ... WHERE cond AND key IN (the first n keys of the candidates
  // that satisfy cond, in key order) ORDER BY key LIMIT n. Each index is
  // read in rowid order and the branches are merged, so the IN list costs
  // about n look-ups when matches are frequent, and only the candidates
  // when they are rare. Over a single table the row of a listed key is the
  // row that satisfied cond: cond is not tested again.
  const bool one_table = core.from.size() == 1 && core.from[0]->kind == TableRef::Kind::kTable;
  const std::string key = QuoteName(t.qualifier) + "." + QuoteName(t.column);
  const auto key_list = [&] {
    std::string in = key + " IN (";
    bool first = true;
    for (const CandidateRead& read : plan.reads) {
      const std::string fts = QuoteName(read.index);
      if (!first) in += " UNION ";
      first = false;
      // One piece at a time: parameters are numbered in text order.
      in += "SELECT " + fts + ".rowid FROM main." + fts + " AS " + fts + " CROSS JOIN ";
      in += FromList(core.from);
      in += " WHERE " + fts + " MATCH ";
      in += Literal(Value::Text(read.query));
      if (read.low) {
        // FTS5 seeks to the range in its posting lists.
        in += " AND " + fts + ".rowid BETWEEN ";
        in += Expression(*read.low);
        in += " AND ";
        in += Expression(*read.high);
      }
      in += " AND " + key + " = " + fts + ".rowid AND (";
      in += Expression(*core.where);
      in += ")";
    }
    in += " ORDER BY 1";
    if (core.top) in += " LIMIT " + Expression(*core.top);
    if (s.fetch) {
      // The first offset + fetch keys; the page is cut from them below.
      in += " LIMIT max(0, ";
      in += Expression(*s.offset);
      in += ") + max(0, ";
      in += Expression(*s.fetch);
      in += ")";
    }
    return in + ")";
  };
  std::string r = Core(core, identity_as_null, key_list, one_table);
  r += " ORDER BY " + key;
  if (core.top) r += " LIMIT " + Expression(*core.top);
  return r + OffsetFetch(s);
}

std::string Translator::Core(const SelectCore& core, bool identity_as_null,
                             const std::function<std::string()>& and_also, bool instead_of_where) {
  std::string r = core.distinct ? "SELECT DISTINCT " : "SELECT ";
  if (distinct_on_) {
    r = "SELECT DISTINCT ON (" + *distinct_on_ + ") ";
    distinct_on_ = nullptr;  // not for the subqueries of the core
  }
  for (size_t i = 0; i < core.items.size(); ++i) {
    if (i) r += ", ";
    const SelectItem& item = core.items[i];
    switch (item.kind) {
      case SelectItem::Kind::kStar:
        r += item.qualifier.empty() ? "*" : QuoteName(item.qualifier) + ".*";
        break;
      case SelectItem::Kind::kAssign:
        r += Expression(*item.expr);
        break;
      case SelectItem::Kind::kExpr:
        if (item.expr->kind == Expr::Kind::kIdentity && identity_as_null) {
          // The server gives a bare NULL the type text; the numbering
          // column is an integer.
          r += postgres_ ? "CAST(NULL AS integer)" : "NULL";
        } else {
          r += Expression(*item.expr);
        }
        if (!item.alias.empty()) r += " AS " + QuoteName(item.alias);
        break;
    }
  }
  if (!core.from.empty()) r += " FROM " + FromList(core.from);
  if (instead_of_where) {
    r += " WHERE " + and_also();
  } else {
    if (core.where) {
      RowidTable walk;
      const bool walking = planner_.RowidWalk(core, order_by_, fetched_, &walk);
      r += " WHERE " + (walking ? WalkingWhere(*core.where, walk) : Expression(*core.where));
    }
    if (and_also) r += " AND " + and_also();
  }
  if (!core.group_by.empty()) {
    r += " GROUP BY ";
    for (size_t i = 0; i < core.group_by.size(); ++i) {
      if (i) r += ", ";
      const Expr& g = *core.group_by[i];
      r += IsColumn(g) ? Expression(g) : Collated(g);
    }
  }
  if (core.having) r += " HAVING " + Expression(*core.having);
  return r;
}

std::string Translator::FromList(const std::vector<std::unique_ptr<TableRef>>& from) {
  std::string r;
  for (size_t i = 0; i < from.size(); ++i) {
    if (i) r += ", ";
    r += From(*from[i]);
  }
  return r;
}

std::string Translator::FromList(const std::vector<const TableRef*>& from) {
  std::string r;
  for (size_t i = 0; i < from.size(); ++i) {
    if (i) r += ", ";
    r += From(*from[i]);
  }
  return r;
}

std::string Translator::Where(const std::vector<const Expr*>& terms) {
  std::string r;
  for (const Expr* term : terms) r += (r.empty() ? " WHERE (" : " AND (") + Expression(*term) + ")";
  return r;
}

std::string Translator::From(const TableRef& ref) {
  switch (ref.kind) {
    case TableRef::Kind::kTable: {
      std::string r;
      if (EqualsNoCase(ref.table.name, "sysobjects")) {
        r = postgres_ ? kPostgresSysObjects : kSysObjects;
        r += " AS " + QuoteName(ref.alias.empty() ? "sysobjects" : ref.alias);
        return r;
      }
      r = TableName(ref.table);
      if (!ref.alias.empty()) r += " AS " + QuoteName(ref.alias);
      return r;
    }
    case TableRef::Kind::kSubquery:
      return "(" + Select(*ref.subquery) + ") AS " + QuoteName(ref.alias);
    case TableRef::Kind::kJoin: {
      std::string type = ref.join_type == "inner"   ? " INNER JOIN "
                         : ref.join_type == "left"  ? " LEFT JOIN "
                         : ref.join_type == "right" ? " RIGHT JOIN "
                         : ref.join_type == "full"  ? " FULL JOIN "
                                                    : " CROSS JOIN ";
      // Joins nest to the left and are written flat; a join on the right
      // (from parentheses in the source) keeps its parentheses.
      std::string right = From(*ref.right);
      if (ref.right->kind == TableRef::Kind::kJoin) right = "(" + right + ")";
      std::string r = From(*ref.left) + type + right;
      if (ref.on) r += " ON " + Expression(*ref.on);
      return r;
    }
  }
  return "";
}

}  // namespace tellwen::sqlserver
