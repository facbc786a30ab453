// Translator: T-SQL query trees to SQLite SQL, or to PostgreSQL's
// (postgres_dialect.h) when the context says so.
//
// Literals and variables become "?" parameters, so that statements that
// differ only in their constants share one SQLite text (and one prepared
// statement); the parameter list says what to bind. Names are quoted, "dbo."
// and database prefixes are gone, #temp tables resolve to SQLite's temp
// schema, functions map to SQLite's or to those of functions.h, "+" becomes
// "||", "+" or tsql_add by the operands' static types (chains of operators
// are written flat, in time linear in their length), comparisons that
// do not involve a column get the TSQL collation explicitly, and an OR of
// LIKEs on one column becomes one tsql_like_any call.
//
// Which SELECTs walk a rowid order or read substring indexes is the
// planner's decision (planner.h); the translator writes those plans.
//
// The members are defined by area in translator*.cc (translator_internal.h
// lists them).
//
// Thread safety: a Translator is used by one thread; create one per
// statement.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sqlserver/ast.h"
#include "platform/sqlserver/planner.h"

namespace tellwen::sqlserver {

// One "?" of a translated statement: what the session binds to it.
struct BoundParam {
  enum class Kind { kLiteral, kVariable, kSystem };
  Kind kind = Kind::kLiteral;
  Value value;       // kLiteral
  std::string name;  // kVariable (@x) or kSystem (@@rowcount)
};

// What the translator needs to know about the session.
class TranslatorContext {
 public:
  virtual ~TranslatorContext() = default;
  // Declared type of a variable of the current scope, nullptr when none.
  virtual const TypeSpec* VariableType(const std::string& name) const = 0;
  // True when column is table's INTEGER PRIMARY KEY (its rowid).
  virtual bool IsRowidColumn(const std::string& /*table*/, const std::string& /*column*/) const {
    return false;
  }
  // The substring index (substring_index.h) of table's column that a
  // statement may read now, "" when there is none or its use is off.
  virtual std::string SubstringIndex(const std::string& /*table*/,
                                     const std::string& /*column*/) const {
    return "";
  }
  // True when statements go to a PostgreSQL server (postgres_dialect.h).
  virtual bool PostgresDialect() const { return false; }
  // PostgreSQL: whether LIKE over a column gets its trigram prefilter (off
  // with the substring index reads).
  virtual bool LikePrefilters() const { return false; }
};

// Double-quotes an identifier for SQLite.
std::string QuoteName(const std::string& name);
// A table reference: "#t" for temp tables (SQLite finds them in temp first),
// "t" otherwise.
std::string TableName(const ObjectName& name);

class Translator {
 public:
  // With inline_literals the constants are written into the text (DDL, where
  // SQLite takes no parameters).
  Translator(const TranslatorContext& context, bool inline_literals = false)
      : context_(context),
        planner_(context),
        inline_literals_(inline_literals),
        postgres_(context.PostgresDialect()) {}

  std::string Expression(const Expr& e);
  // A whole SELECT (all cores, ORDER BY, TOP). Assignment items translate to
  // their expressions. identity_as_null: IDENTITY() items become NULL (the
  // SELECT INTO executor numbers them afterwards).
  std::string Select(const Select& s, bool identity_as_null = false);
  TypeClass StaticType(const Expr& e);
  // A FROM list (comma-separated sources), without the FROM keyword.
  std::string FromList(const std::vector<std::unique_ptr<TableRef>>& from);
  std::string FromList(const std::vector<const TableRef*>& from);
  // " WHERE (t1) AND (t2) ..." of the terms, "" for none.
  std::string Where(const std::vector<const Expr*>& terms);

  std::vector<BoundParam>& params() { return params_; }

 private:
  // and_also: appended to the WHERE condition (" AND ..."), translated after
  // it; with instead_of_where, the whole WHERE instead of the condition.
  std::string Core(const SelectCore& core, bool identity_as_null,
                   const std::function<std::string()>& and_also = nullptr,
                   bool instead_of_where = false);
  std::string From(const TableRef& ref);
  std::string Function(const Expr& e);
  std::string Literal(const Value& v);
  // A variable (@x) or system variable (@@rowcount) read when the statement
  // runs: a "?" bound to it; refused where only literals may stand.
  std::string Parameter(BoundParam::Kind kind, const std::string& name);
  std::string Compare(const std::string& op, const Expr& a, const Expr& b);
  // A chain of AND or OR, written flat.
  std::string Logical(const Expr& e);
  // A chain of arithmetic and bit operators, in one pass (no recursion down
  // the chain, text linear in its length).
  std::string Arithmetic(const Expr& e);
  // True when every operand of e is an int (32 bits) by its static type:
  // int literals, variables and conversions.
  bool IsNarrowInteger(const Expr& e);
  std::string Collated(const Expr& e);
  // "(c LIKE p1) OR (c LIKE p2) OR ..." on one column with constant patterns
  // as tsql_like_any(c, p1, p2, ...); "" when e is not such a chain.
  std::string LikeAny(const Expr& e);
  // An ORDER BY term; items: the select list of a single-core SELECT.
  std::string OrderTerm(const Expr& e, bool compound, const std::vector<SelectItem>* items);
  // The cores of s joined by their UNIONs (each core's own TOP kept).
  std::string Cores(const struct Select& s, bool identity_as_null);
  // PostgreSQL: a DISTINCT or compound SELECT ordered by its output
  // columns, its rows sorted by their keys outside it (the server takes
  // only the output columns themselves in such an ORDER BY); "" when an
  // ORDER BY term is neither a position nor a column name.
  std::string SortedOutside(const struct Select& s, bool identity_as_null);
  // PostgreSQL: the ORDER BY key of sql, an expression of static type type
  // (kUnknown: the server decides by the operand's type).
  std::string SortKey(const std::string& sql, TypeClass type);
  // PostgreSQL, a single-core SELECT DISTINCT: true when every item is an
  // expression, those that are not constants translate without parameters
  // (one at least), and each ORDER BY term names an item (position, alias,
  // column); *out holds the named items that are not constants, in ORDER
  // BY order, each with whether it is DESC.
  bool DistinctOrderItems(const struct Select& s, std::vector<std::pair<size_t, bool>>* out);
  // The key of core's item i (translated anew).
  std::string ItemKey(const SelectCore& core, size_t i);
  // The SELECT DISTINCT as DISTINCT ON the keys of its items that are not
  // constants, ordered by the keys of order_items (see DistinctOrderItems)
  // and then the rest.
  std::string KeyedDistinct(const struct Select& s,
                            const std::vector<std::pair<size_t, bool>>& order_items,
                            bool identity_as_null);
  // The SQL of the planner's IndexedSelect plan for s; "" when s has none.
  std::string IndexedSelect(const struct Select& s, bool identity_as_null);
  static bool IsColumn(const Expr& e) { return e.kind == Expr::Kind::kColumn; }
  bool IsNumeric(const Expr& e) {
    TypeClass t = StaticType(e);
    return t == TypeClass::kInteger || t == TypeClass::kFloat;
  }

  // The WHERE of a core that walks walk's rowid up to TOP n: its OR terms
  // read the rowid as "+key" (no OR-by-ranges plan, which sorts every match)
  // and, when each branch bounds the rowid with BETWEEN, also the range
  // that covers them all (the walk starts there).
  std::string WalkingWhere(const Expr& where, const RowidTable& walk);
  // " LIMIT fetch OFFSET offset" of a SELECT with OFFSET (negative counts
  // read as 0), else "".
  std::string OffsetFetch(const struct Select& s);

  const TranslatorContext& context_;
  Planner planner_;
  bool inline_literals_;
  bool postgres_;                           // the PostgreSQL dialect (postgres_dialect.h)
  const RowidTable* plus_rowid_ = nullptr;  // set while WalkingWhere writes an OR
  // The ORDER BY of the single-core SELECT being written, for its core,
  // and whether that SELECT has FETCH.
  const std::vector<OrderItem>* order_by_ = nullptr;
  bool fetched_ = false;
  // Set while KeyedDistinct writes its core: the DISTINCT ON list.
  const std::string* distinct_on_ = nullptr;
  std::vector<BoundParam> params_;
};

}  // namespace tellwen::sqlserver
