// The interpreter itself: batches, the statement dispatch, control flow and
// variables.
#include "platform/sqlserver/interpreter.h"

#include <strings.h>

#include "platform/sqlserver/conversions.h"
#include "platform/sqlserver/parser.h"
#include "platform/sqlserver/sql_error.h"

namespace tellwen::sqlserver {

bool Interpreter::DeadlinePassed() {
  if (command_timeout_seconds_ <= 0) return false;
  if (std::chrono::steady_clock::now() < deadline_) return false;
  OnTimeout();
  return true;
}

void Interpreter::CheckDeadline() {
  if (DeadlinePassed()) ThrowSql("Query timeout expired");
}

const TypeSpec* Interpreter::VariableType(const std::string& name) const {
  if (scopes_.empty()) return nullptr;
  auto it = scopes_.back().vars.find(name);
  return it == scopes_.back().vars.end() ? nullptr : &it->second.type;
}

Value Interpreter::SystemValue(const std::string& name) const {
  return name == "@@rowcount"    ? Value::Int(rowcount_)
         : name == "@@trancount" ? Value::Int(trancount_)
         : name == "@@spid"      ? Value::Int(51)
                                 : Value::Int(0);
}

// ---- batch ----

bool Interpreter::RunBatch(std::string_view text, BatchResult* result, std::string* error) {
  result_ = result;
  deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(command_timeout_seconds_);
  try {
    BeforeBatch();
    scopes_.clear();
    scopes_.emplace_back();
    if (!RunFastBatch(text)) {
      Batch batch;
      std::string parse_error;
      if (!ParseBatch(text, &batch, &parse_error)) ThrowSql(parse_error);
      RunList(batch.statements);
    }
    scopes_.clear();
  } catch (const SqlException& e) {
    *error = e.description;
    AfterFailedBatch();
    trancount_ = 0;
    scopes_.clear();
    insert_exec_rows_ = nullptr;
    exec_depth_ = 0;
    result_ = nullptr;
    return false;
  }
  result_ = nullptr;
  return true;
}

void Interpreter::DeliverRow(std::vector<Value> row, const std::vector<std::string>& names) {
  if (insert_exec_rows_) {
    insert_exec_rows_->push_back(std::move(row));
  } else if (result_ && !result_->has_rowset) {
    result_->has_rowset = true;
    result_->column_names = names;
    result_->rows.push_back(std::move(row));
  }
}

Interpreter::Flow Interpreter::RunList(const std::vector<StmtPtr>& list) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (i + 1 < list.size() && RunPair(*list[i], *list[i + 1])) {
      ++i;
      continue;
    }
    if (list[i]->kind == Stmt::Kind::kBeginTran) {
      CheckDeadline();
      BeginTran(&list, i + 1);
      continue;
    }
    Flow f = Run(*list[i]);
    if (f != Flow::kNormal) return f;
  }
  return Flow::kNormal;
}

Interpreter::Flow Interpreter::Run(const Stmt& s) {
  CheckDeadline();
  switch (s.kind) {
    case Stmt::Kind::kSelect:
      RunSelect(s);
      break;
    case Stmt::Kind::kInsert:
      RunInsert(s);
      break;
    case Stmt::Kind::kUpdate:
      RunUpdate(s);
      break;
    case Stmt::Kind::kDelete:
      RunDelete(s);
      break;
    case Stmt::Kind::kTruncate:
      RunTruncate(s);
      break;
    case Stmt::Kind::kCreateTable:
      RunCreateTable(s);
      break;
    case Stmt::Kind::kDropTable:
      RunDropTable(s);
      break;
    case Stmt::Kind::kAlterTableAdd:
      RunAlterTableAdd(s);
      break;
    case Stmt::Kind::kAlterTableDrop:
      RunAlterTableDrop(s);
      break;
    case Stmt::Kind::kCreateIndex:
      RunCreateIndex(s);
      break;
    case Stmt::Kind::kDropIndex:
      RunDropIndex(s);
      break;
    case Stmt::Kind::kCreateProcedure:
      RunCreateProcedure(s);
      break;
    case Stmt::Kind::kDropProcedure:
      RunDropProcedure(s);
      break;
    case Stmt::Kind::kCreateDatabase:
      RunCreateDatabase(s);
      break;
    case Stmt::Kind::kAlterLogin:
      RunAlterLogin(s);
      break;
    case Stmt::Kind::kDeclare:
      RunDeclare(s);
      break;
    case Stmt::Kind::kSetVariable:
      if (!VariableType(s.variable)) {
        ThrowSql("Must declare the scalar variable \"" + s.variable + "\".");
      }
      Assign(s.variable, Evaluate(*s.expr));
      rowcount_ = 1;
      break;
    case Stmt::Kind::kSetOption:
      if (s.set_option == "rowcount" && s.set_value != "0") {
        ThrowSql("SET ROWCOUNT is not supported by this server.");
      }
      if (s.set_option == "transaction") snapshot_isolation_ = s.set_value == "snapshot";
      break;
    case Stmt::Kind::kIf:
      if (Condition(*s.expr)) return Run(*s.then_branch);
      if (s.else_branch) return Run(*s.else_branch);
      break;
    case Stmt::Kind::kWhile:
      while (Condition(*s.expr)) {
        Flow f = Run(*s.then_branch);
        if (f == Flow::kBreak) break;
        if (f == Flow::kReturn) return f;
        CheckDeadline();
      }
      break;
    case Stmt::Kind::kBlock:
      return RunList(s.body);
    case Stmt::Kind::kBeginTran:
      BeginTran(nullptr, 0);
      break;
    case Stmt::Kind::kCommitTran:
      CommitTran();
      break;
    case Stmt::Kind::kRollbackTran:
      RollbackTran();
      break;
    case Stmt::Kind::kReturn:
      if (s.expr) scopes_.back().return_value = Evaluate(*s.expr);
      return Flow::kReturn;
    case Stmt::Kind::kBreak:
      return Flow::kBreak;
    case Stmt::Kind::kContinue:
      return Flow::kContinue;
    case Stmt::Kind::kExecProc:
      RunExecProc(s);
      break;
    case Stmt::Kind::kExecString:
      RunExecString(s);
      break;
    case Stmt::Kind::kUse:
      if (strcasecmp(s.database.c_str(), database_.c_str()) != 0) {
        ThrowSql("USE of another database ('" + s.database +
                 "') is not supported inside a session of this server; connect to it.");
      }
      break;
    case Stmt::Kind::kDbcc:
      RunDbcc(s);
      break;
    case Stmt::Kind::kPrint:
      Evaluate(*s.expr);
      break;
  }
  return Flow::kNormal;
}

// ---- variables ----

const Value& Interpreter::VariableValue(const std::string& name) {
  auto it = scopes_.back().vars.find(name);
  if (it == scopes_.back().vars.end()) {
    ThrowSql("Must declare the scalar variable \"" + name + "\".");
  }
  return it->second.value;
}

Value Interpreter::Evaluate(const Expr& e) {
  if (e.kind == Expr::Kind::kLiteral) return e.value;
  if (e.kind == Expr::Kind::kVariable) return VariableValue(e.name);
  Value native;
  NativeKind kind;
  if (EvaluateNatively(e, &native, &kind)) return native;
  return EvaluateOnEngine(e);
}

bool Interpreter::Condition(const Expr& e) {
  int truth;
  if (ConditionNatively(e, &truth)) return truth == 1;
  return ConditionOnEngine(e);
}

void Interpreter::Assign(const std::string& name, const Value& v) {
  auto it = scopes_.back().vars.find(name);
  if (it == scopes_.back().vars.end()) {
    ThrowSql("Must declare the scalar variable \"" + name + "\".");
  }
  std::string error;
  Value converted;
  if (!ConvertValue(v, it->second.type, -1, true, &converted, &error)) ThrowSql(error);
  it->second.value = std::move(converted);
}

void Interpreter::RunDeclare(const Stmt& s) {
  for (const Stmt::Declaration& d : s.declarations) {
    auto it = scopes_.back().vars.find(d.name);
    if (it != scopes_.back().vars.end() && it->second.declared_by == &d) {
      // A DECLARE met again (inside WHILE): the variable keeps its value,
      // an initialiser is evaluated and assigned again, as in SQL Server.
      if (d.init) Assign(d.name, Evaluate(*d.init));
      continue;
    }
    if (it != scopes_.back().vars.end()) {
      ThrowSql("The variable name '" + d.name +
               "' has already been declared. Variable names must be unique within a query "
               "batch or stored procedure.");
    }
    if (d.type.Class() == TypeClass::kUnknown) {
      ThrowSql("Column, parameter, or variable: cannot find data type " + d.type.name + ".");
    }
    Value init;
    if (d.init) init = Evaluate(*d.init);
    scopes_.back().vars[d.name] = Variable{d.type, Value(), &d};
    if (d.init) Assign(d.name, init);
  }
}

}  // namespace tellwen::sqlserver
