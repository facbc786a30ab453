// The session's inserts: INSERT ... VALUES with expressions, with constants
// only (the loader's form inside a general batch), from a SELECT, from an
// EXEC, DEFAULT VALUES, and the loader's own batches. All of them take
// their columns, conversions and count check from one InsertTarget.
#include "platform/sqlserver/loader_batch.h"
#include "platform/sqlserver/session.h"
#include "platform/sqlserver/sql_error.h"

namespace tellwen::sqlserver {

void Session::FinishIdentity(const std::string& table) {
  for (const ColumnInfo& c : TableColumns(table)) {
    if (c.identity && !c.rowid_identity) {
      RunSqlite("UPDATE " + QuoteName(table) + " SET " + QuoteName(c.name) + " = " +
                    std::to_string(c.seed) + " + (rowid - 1) * " + std::to_string(c.step) +
                    " WHERE " + QuoteName(c.name) + " IS NULL",
                {});
    }
  }
}

void Session::RunInsert(const Stmt& s) {
  const InsertTarget target =
      MakeInsertTarget(s.table.name, TableName(s.table), TableColumns(s.table.name), s.columns);
  if (!s.literal_rows.empty()) {
    RunLiteralInsert(s, target);
  } else if (!s.values_rows.empty()) {
    Translator t(*this);
    std::string sql = target.head + " VALUES ";
    for (size_t r = 0; r < s.values_rows.size(); ++r) {
      const auto& row = s.values_rows[r];
      target.CheckCount(row.size());
      if (r) sql += ", ";
      sql += "(";
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) sql += ", ";
        sql += target.Value(i, t.Expression(*row[i]));
      }
      sql += ")";
    }
    rowcount_ = RunSqlite(sql, t.params());
  } else if (s.select) {
    Translator t(*this);
    const std::string query = t.Select(*s.select);
    rowcount_ = RunSqlite(target.head + " " + query, t.params());
  } else if (s.exec) {
    std::vector<std::vector<Value>> rows;
    auto* saved = insert_exec_rows_;
    insert_exec_rows_ = &rows;
    try {
      Run(*s.exec);
    } catch (...) {
      insert_exec_rows_ = saved;
      throw;
    }
    insert_exec_rows_ = saved;
    const std::string sql = target.head + " VALUES " + target.ParameterRow();
    int64_t count = 0;
    for (const auto& row : rows) {
      target.CheckCount(row.size(), InsertTarget::Source::kExec);
      std::vector<BoundParam> params(row.size());
      for (size_t i = 0; i < row.size(); ++i) params[i].value = row[i];
      RunSqlite(sql, params);
      ++count;
    }
    rowcount_ = count;
  } else {
    rowcount_ = RunSqlite(target.head, {});
  }
  if (target.late_identity) FinishIdentity(s.table.name);
}

// The loader's form: constants only. The SQLite text depends only on the
// table, the column list and the number of rows, so it is built once per
// shape and the values are bound straight from the statement.
void Session::RunLiteralInsert(const Stmt& s, const InsertTarget& target) {
  for (const auto& row : s.literal_rows) target.CheckCount(row.size());
  std::string key = target.head;
  key += '#';
  key += std::to_string(s.literal_rows.size());
  auto it = literal_insert_sql_.find(key);
  if (it == literal_insert_sql_.end()) {
    const std::string row = target.ParameterRow();
    std::string sql = target.head + " VALUES ";
    for (size_t r = 0; r < s.literal_rows.size(); ++r) sql += r ? ", " + row : row;
    if (literal_insert_sql_.size() > 200) literal_insert_sql_.clear();
    it = literal_insert_sql_.emplace(std::move(key), std::move(sql)).first;
  }
  CheckDeadline();
  Statement stmt = db_.Prepare(it->second);
  int index = 1;
  for (const auto& row : s.literal_rows) {
    for (const Value& v : row) stmt.Bind(index++, v);
  }
  rowcount_ = stmt.StepWrite();
}

bool Session::RunLoaderBatch(std::string_view text) {
  std::vector<LoaderOp> ops;
  std::vector<Value> values;
  if (text.size() < 64 || !ScanLoaderBatch(text, &ops, &values)) return false;
  struct Target {
    InsertTarget target;
    std::string sql;
  };
  // Every table first: one this form does not serve (missing, or with an
  // identity column the server numbers) sends the whole batch, untouched so
  // far, down the general path, whose rules then apply.
  std::unordered_map<std::string, Target> targets;
  for (const LoaderOp& op : ops) {
    if (op.kind != LoaderOp::Kind::kInsert || targets.count(op.table)) continue;
    try {
      Target t{MakeInsertTarget(op.table, QuoteName(op.table), TableColumns(op.table), {}), ""};
      if (t.target.late_identity) return false;
      t.sql = t.target.head + " VALUES " + t.target.ParameterRow();
      targets.emplace(op.table, std::move(t));
    } catch (const SqlException&) {
      return false;
    }
  }
  for (size_t k = 0; k < ops.size(); ++k) {
    const LoaderOp& op = ops[k];
    CheckDeadline();
    if (op.kind == LoaderOp::Kind::kBegin) {
      // The transaction takes the locks of the files its inserts write.
      unsigned writes = 0;
      size_t end = k + 1;
      for (; end < ops.size() && ops[end].kind == LoaderOp::Kind::kInsert; ++end) {
        if (end == k + 1 || ops[end].table != ops[end - 1].table) {
          writes |= TableWrites(ops[end].table);
        }
      }
      const bool ends = end < ops.size() && ops[end].kind == LoaderOp::Kind::kCommit;
      BeginTranWriting(ends ? writes : kWritesAny);
      continue;
    }
    if (op.kind == LoaderOp::Kind::kCommit) {
      CommitTran();
      continue;
    }
    const Target& target = targets.at(op.table);
    target.target.CheckCount(op.count);
    Statement stmt = db_.Prepare(target.sql);
    for (size_t i = 0; i < op.count; ++i) stmt.Bind(static_cast<int>(i) + 1, values[op.first + i]);
    rowcount_ = stmt.StepWrite();
  }
  return true;
}

}  // namespace tellwen::sqlserver
