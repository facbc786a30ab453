#include "platform/sqlserver/planner.h"

#include <strings.h>

#include <algorithm>

#include "platform/sqlserver/substring_index.h"
#include "platform/sqlserver/translator.h"

namespace tellwen::sqlserver {
namespace {

bool EqualsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

void BaseTables(const TableRef& ref, std::vector<const TableRef*>* out) {
  if (ref.kind == TableRef::Kind::kTable) {
    if (!EqualsNoCase(ref.table.name, "sysobjects")) out->push_back(&ref);
  } else if (ref.kind == TableRef::Kind::kJoin) {
    BaseTables(*ref.left, out);
    BaseTables(*ref.right, out);
  }
}

bool IsIntConversion(const Expr& e) {
  return e.kind == Expr::Kind::kCast && e.args.size() == 1 &&
         (e.type.name == "int" || e.type.name == "bigint");
}

bool IsConstant(const Expr& e) {
  return e.kind == Expr::Kind::kLiteral || e.kind == Expr::Kind::kVariable;
}

}  // namespace

void LogicalTerms(const Expr& e, const std::string& op, std::vector<const Expr*>* out) {
  std::vector<const Expr*> stack{&e};
  while (!stack.empty()) {
    const Expr* n = stack.back();
    stack.pop_back();
    if (n->kind == Expr::Kind::kBinary && n->op == op) {
      stack.push_back(n->args[1].get());
      stack.push_back(n->args[0].get());
    } else {
      out->push_back(n);
    }
  }
}

bool IsRowidRef(const Expr& e, const RowidTable& t) {
  if (e.kind != Expr::Kind::kColumn || e.parts.empty() || e.parts.size() > 2) return false;
  if (!EqualsNoCase(e.parts.back(), t.column.c_str())) return false;
  return e.parts.size() == 1 || EqualsNoCase(e.parts[0], t.qualifier.c_str());
}

bool Planner::RowidOrder(const Expr& e, const SelectCore& core, RowidTable* out) const {
  if (core.distinct || !core.group_by.empty() || core.having) return false;
  if (e.kind != Expr::Kind::kColumn || e.parts.empty() || e.parts.size() > 2) return false;
  const Expr* column = &e;
  if (e.parts.size() == 1) {
    // ORDER BY names the select list's alias first, as in SQL Server; the
    // conversion of an integer key to int keeps its order.
    for (const SelectItem& item : core.items) {
      if (item.kind != SelectItem::Kind::kExpr || item.alias.empty() ||
          !EqualsNoCase(item.alias, e.parts[0].c_str())) {
        continue;
      }
      const Expr* x = item.expr.get();
      if (IsIntConversion(*x)) x = x->args[0].get();
      if (x->kind != Expr::Kind::kColumn || x->parts.empty() || x->parts.size() > 2) return false;
      column = x;
      break;
    }
  }
  const std::string& name = column->parts.back();
  const std::string qualifier = column->parts.size() == 2 ? column->parts[0] : "";
  std::vector<const TableRef*> tables;
  for (const auto& ref : core.from) BaseTables(*ref, &tables);
  const TableRef* found = nullptr;
  for (const TableRef* t : tables) {
    const std::string& q = t->alias.empty() ? t->table.name : t->alias;
    if (!qualifier.empty() && !EqualsNoCase(q, qualifier.c_str())) continue;
    if (!context_.IsRowidColumn(t->table.name, name)) continue;
    if (found) return false;
    found = t;
  }
  if (!found) return false;
  out->table = found->table.name;
  out->qualifier = found->alias.empty() ? found->table.name : found->alias;
  out->column = name;
  return true;
}

bool Planner::RowidWalk(const SelectCore& core, const std::vector<OrderItem>* order_by,
                        bool fetched, RowidTable* walk) const {
  return (core.top || fetched) && order_by && order_by->size() == 1 &&
         RowidOrder(*(*order_by)[0].expr, core, walk);
}

bool Planner::CoveringRange(const Expr& or_term, const RowidTable& walk,
                            std::vector<const Expr*>* lows, std::vector<const Expr*>* highs) const {
  std::vector<const Expr*> branches;
  LogicalTerms(or_term, "or", &branches);
  for (const Expr* branch : branches) {
    std::vector<const Expr*> parts;
    LogicalTerms(*branch, "and", &parts);
    for (const Expr* part : parts) {
      if (part->kind == Expr::Kind::kBetween && !part->negated &&
          part->args[0]->kind == Expr::Kind::kColumn && IsRowidRef(*part->args[0], walk) &&
          IsConstant(*part->args[1]) && IsConstant(*part->args[2])) {
        lows->push_back(part->args[1].get());
        highs->push_back(part->args[2].get());
        break;
      }
    }
  }
  return lows->size() == branches.size() && branches.size() > 1;
}

bool Planner::IsIntConstant(const Expr& e) const {
  if (e.kind == Expr::Kind::kLiteral) return e.value.type == Value::Type::kInt;
  if (e.kind != Expr::Kind::kVariable) return false;
  const TypeSpec* type = context_.VariableType(e.name);
  return type && type->Class() == TypeClass::kInteger;
}

bool Planner::Candidates(const Expr& e, const RowidTable& t,
                         std::vector<CandidateRead>* out) const {
  if (e.kind == Expr::Kind::kLike) {
    if (e.negated || e.args.size() != 2) return false;
    const Expr& subject = *e.args[0];
    const Expr& pattern = *e.args[1];
    if (subject.kind != Expr::Kind::kColumn || subject.parts.empty() || subject.parts.size() > 2) {
      return false;
    }
    if (subject.parts.size() == 2 && !EqualsNoCase(subject.parts[0], t.qualifier.c_str())) {
      return false;
    }
    if (pattern.kind != Expr::Kind::kLiteral || pattern.value.type != Value::Type::kText) {
      return false;
    }
    const std::string index = context_.SubstringIndex(t.table, subject.parts.back());
    if (index.empty()) return false;
    std::string query = SubstringMatchQuery(pattern.value.s);
    if (query.empty()) return false;
    out->push_back({index, std::move(query)});
    return true;
  }
  if (e.kind != Expr::Kind::kBinary || (e.op != "and" && e.op != "or")) return false;
  std::vector<const Expr*> terms;
  LogicalTerms(e, e.op, &terms);
  std::vector<CandidateRead> result;
  if (e.op == "or") {
    // Every branch must be narrowed; the candidates are their union. Reads
    // of one index over one range are one read of the OR of their queries.
    for (const Expr* term : terms) {
      std::vector<CandidateRead> branch;
      if (!Candidates(*term, t, &branch)) return false;
      for (CandidateRead& read : branch) {
        auto same = std::find_if(result.begin(), result.end(), [&](const CandidateRead& r) {
          return r.index == read.index && r.low == read.low && r.high == read.high;
        });
        if (same == result.end()) {
          result.push_back(std::move(read));
        } else {
          same->query = "(" + same->query + ") OR (" + read.query + ")";
        }
      }
    }
  } else {
    // One narrowed term is enough: the fewest reads, and the terms on that
    // same single index together.
    bool have = false;
    const Expr* low = nullptr;
    const Expr* high = nullptr;
    for (const Expr* term : terms) {
      if (!low && term->kind == Expr::Kind::kBetween && !term->negated &&
          IsRowidRef(*term->args[0], t) && IsIntConstant(*term->args[1]) &&
          IsIntConstant(*term->args[2])) {
        low = term->args[1].get();
        high = term->args[2].get();
      }
      std::vector<CandidateRead> narrowed;
      if (!Candidates(*term, t, &narrowed)) continue;
      if (!have || narrowed.size() < result.size()) {
        result = std::move(narrowed);
        have = true;
      } else if (narrowed.size() == 1 && result.size() == 1 &&
                 narrowed[0].index == result[0].index && narrowed[0].low == result[0].low &&
                 narrowed[0].high == result[0].high) {
        result[0].query = "(" + result[0].query + ") AND (" + narrowed[0].query + ")";
      }
    }
    if (!have) return false;
    // The conjunction's rows lie in its range, whatever its narrowed term
    // reads; a read bounded already (by a nested conjunction) keeps its own.
    if (low) {
      for (CandidateRead& read : result) {
        if (!read.low) {
          read.low = low;
          read.high = high;
        }
      }
    }
  }
  *out = std::move(result);
  return true;
}

bool Planner::IndexedSelect(const Select& s, IndexedSelectPlan* plan) const {
  if (s.cores.size() != 1 || s.order_by.size() != 1 || s.order_by[0].desc) return false;
  const SelectCore& core = s.cores[0];
  if (!core.where) return false;
  if (!RowidOrder(*s.order_by[0].expr, core, &plan->key)) return false;
  return Candidates(*core.where, plan->key, &plan->reads) && !plan->reads.empty();
}

}  // namespace tellwen::sqlserver
