// Planner: the query plans the translator writes. The planner decides from
// the query tree and the session's schema (TranslatorContext); the
// translator (translator.h) writes the SQLite SQL of its decisions.
//
// Plans it chooses: an ORDER BY that names a table's rowid (directly or as
// the alias of its conversion to int) is written as that column, so SQLite
// walks the rowid order and stops at TOP n; the WHERE of such a walk reads
// the rowid of its OR terms as "+key" and, when every branch bounds it with
// BETWEEN, also gets the range that covers them all. A SELECT ordered so
// whose condition implies, in every branch, a LIKE with a literal run on a
// column with a substring index (substring_index.h) reads its candidates
// from those indexes in rowid order (merged, so TOP n stops early there
// too) and still tests the whole condition on every candidate row.
//
// Thread safety: a Planner is used by one thread (its translator's).
#pragma once

#include <string>
#include <vector>

#include "platform/sqlserver/ast.h"

namespace tellwen::sqlserver {

class TranslatorContext;

// The terms of a chain of one logical operator ("a and b and c"), in text
// order, without recursion; e itself when it is not such a chain.
void LogicalTerms(const Expr& e, const std::string& op, std::vector<const Expr*>* out);

// The base table whose rowid an ORDER BY term of a single core names.
struct RowidTable {
  std::string table;      // its name
  std::string qualifier;  // its alias, else its name
  std::string column;     // its rowid column
};

// True when e names t's rowid column, bare or qualified by t's qualifier.
bool IsRowidRef(const Expr& e, const RowidTable& t);

// One read of a substring index: the rows of index (the name of its FTS5
// table) that match query, and, when low and high are set, only those whose
// rowid lies between them (constants of the statement: literals or
// variables).
struct CandidateRead {
  std::string index;
  std::string query;
  const Expr* low = nullptr;
  const Expr* high = nullptr;
};

// A single-core SELECT ordered by a table's rowid whose condition substring
// indexes narrow.
struct IndexedSelectPlan {
  RowidTable key;
  // Every row satisfying the condition is among the rows these reads give.
  std::vector<CandidateRead> reads;
};

class Planner {
 public:
  // context: REQUIRES: outlives the planner.
  explicit Planner(const TranslatorContext& context) : context_(context) {}

  // True when the ORDER BY term e of core names the rowid of exactly one of
  // its base tables (directly, or through a select-list alias of the column
  // or of its conversion to int), and core has no DISTINCT, GROUP BY or
  // HAVING; *out is that table.
  bool RowidOrder(const Expr& e, const SelectCore& core, RowidTable* out) const;
  // True when core walks a rowid up to a row limit: it has TOP or its
  // SELECT has FETCH (fetched), and its SELECT's one ORDER BY term
  // (order_by, nullptr for a compound SELECT) names a rowid; *walk is that
  // table.
  bool RowidWalk(const SelectCore& core, const std::vector<OrderItem>* order_by, bool fetched,
                 RowidTable* walk) const;
  // For an OR term of a walk's WHERE: true when each of its two or more
  // branches bounds walk's rowid with "key BETWEEN lo AND hi" of constants
  // (literals or variables); *lows and *highs are those bounds, one per
  // branch in text order.
  bool CoveringRange(const Expr& or_term, const RowidTable& walk, std::vector<const Expr*>* lows,
                     std::vector<const Expr*>* highs) const;
  // The reads of substring indexes that narrow e's rows on t: every row
  // satisfying e is among the rows they give. A conjunction that bounds the
  // rowid with "key BETWEEN lo AND hi" of constants reads its indexes in
  // that range only (so a branch of an OR over one kind of rows reads only
  // the rows of its kind). false when e cannot be narrowed.
  bool Candidates(const Expr& e, const RowidTable& t, std::vector<CandidateRead>* out) const;
  // True when s is a single-core SELECT ordered (ascending) by a table's
  // rowid whose WHERE the substring indexes narrow; *plan says how.
  bool IndexedSelect(const Select& s, IndexedSelectPlan* plan) const;

 private:
  // A literal integer, or a variable of an integer type: a bound FTS5 reads
  // as its rowid range exactly as the statement compares it.
  bool IsIntConstant(const Expr& e) const;

  const TranslatorContext& context_;
};

}  // namespace tellwen::sqlserver
