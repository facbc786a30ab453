// The interpreter's EXEC: stored procedures (their stored text parsed once,
// interpreted with their parameters in a scope of their own), EXEC of a
// string, and the system procedures (sp_executesql, sp_rename and
// sp_spaceused, whose changes and sizes are the engine's). Every nested run goes through RunNested,
// which holds the nesting limit.
#include <strings.h>

#include <cstdio>

#include "platform/sqlserver/conversions.h"
#include "platform/sqlserver/interpreter.h"
#include "platform/sqlserver/parser.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver {
namespace {

// SQL Server's limit on procedures and dynamic SQL calling each other.
constexpr int kMaxNesting = 32;

}  // namespace

Interpreter::Scope Interpreter::RunNested(const std::vector<StmtPtr>& body, Scope scope) {
  if (exec_depth_ + 1 > kMaxNesting) {
    ThrowSql(
        "Maximum stored procedure, function, trigger, or view nesting level exceeded "
        "(limit 32).");
  }
  ++exec_depth_;
  scopes_.push_back(std::move(scope));
  {
    // A SET TRANSACTION ISOLATION LEVEL inside ends with the body, error or not.
    struct Restore {
      bool& flag;
      bool saved;
      ~Restore() { flag = saved; }
    } restore{snapshot_isolation_, snapshot_isolation_};
    RunList(body);
  }
  Scope done = std::move(scopes_.back());
  scopes_.pop_back();
  --exec_depth_;
  for (const std::string& t : done.temp_tables) DropTempTable(t);
  return done;
}

void Interpreter::RunBatchText(const std::string& text) {
  Batch batch;
  std::string error;
  if (!ParseBatch(text, &batch, &error)) ThrowSql(error);
  RunNested(batch.statements, Scope());
}

void Interpreter::RunExecString(const Stmt& s) { RunBatchText(Evaluate(*s.expr).ToText()); }

std::shared_ptr<Interpreter::Procedure> Interpreter::LoadProcedure(const std::string& name) {
  const std::string key = Lower(name);
  auto it = procedures_.find(key);
  if (it != procedures_.end()) return it->second;
  const std::optional<std::string> text = ProcedureDefinition(name);
  if (!text) ThrowSql("Could not find stored procedure '" + name + "'.");
  auto proc = std::make_shared<Procedure>();
  std::string error;
  if (!ParseBatch(*text, &proc->parsed, &error)) ThrowSql(error);
  if (proc->parsed.statements.size() != 1 ||
      proc->parsed.statements[0]->kind != Stmt::Kind::kCreateProcedure) {
    ThrowSql("The definition of procedure '" + name + "' is damaged.");
  }
  procedures_[key] = proc;
  return proc;
}

void Interpreter::RunExecProc(const Stmt& s) {
  const std::string key = Lower(s.proc_name);
  if (StartsWith(key, "sp_")) {
    RunSystemProcedure(key, s);
    return;
  }
  // Held for the call: a procedure that drops and re-creates itself does not
  // pull its definition from under the running body.
  const std::shared_ptr<Procedure> proc = LoadProcedure(s.proc_name);
  const Stmt& def = *proc->parsed.statements[0];
  // Bind the arguments in the caller's scope.
  std::vector<std::optional<Value>> values(def.params.size());
  std::vector<std::string> output_targets(def.params.size());
  size_t position = 0;
  bool named_seen = false;
  for (size_t ordinal = 0; ordinal < s.args.size(); ++ordinal) {
    const ExecArg& arg = s.args[ordinal];
    size_t index;
    if (!arg.name.empty()) {
      named_seen = true;
      index = def.params.size();
      for (size_t i = 0; i < def.params.size(); ++i) {
        if (def.params[i].name == arg.name) index = i;
      }
      if (index == def.params.size()) {
        ThrowSql("@" + arg.name.substr(1) + " is not a parameter for procedure " + def.proc_name +
                 ".");
      }
    } else {
      if (named_seen) {
        ThrowSql("Must pass parameter number " + std::to_string(ordinal + 1) +
                 " and subsequent parameters as '@name = value'.");
      }
      index = position++;
      if (index >= def.params.size()) {
        ThrowSql("Procedure or function " + def.proc_name + " has too many arguments specified.");
      }
    }
    if (arg.value) values[index] = Evaluate(*arg.value);
    if (arg.output && arg.value && arg.value->kind == Expr::Kind::kVariable) {
      output_targets[index] = arg.value->name;
    }
  }
  Scope scope;
  for (size_t i = 0; i < def.params.size(); ++i) {
    const Stmt::ProcedureParam& p = def.params[i];
    Value v;
    if (values[i]) {
      v = *values[i];
    } else if (p.default_value) {
      v = p.default_value->value;
    } else {
      ThrowSql("Procedure or function '" + def.proc_name + "' expects parameter '" + p.name +
               "', which was not supplied.");
    }
    Value converted;
    std::string error;
    if (!ConvertValue(v, p.type, -1, true, &converted, &error)) ThrowSql(error);
    scope.vars[p.name] = Variable{p.type, converted};
  }
  Scope done = RunNested(def.body, std::move(scope));
  for (size_t i = 0; i < def.params.size(); ++i) {
    if (!output_targets[i].empty()) Assign(output_targets[i], done.vars[def.params[i].name].value);
  }
  if (!s.return_variable.empty()) {
    Assign(s.return_variable, done.return_value.IsNull() ? Value::Int(0) : done.return_value);
  }
}

// ---- system procedures ----

void Interpreter::RunSystemProcedure(const std::string& name, const Stmt& s) {
  std::vector<Value> args;
  std::vector<std::string> names;
  for (const ExecArg& arg : s.args) {
    args.push_back(arg.value ? Evaluate(*arg.value) : Value::Null());
    names.push_back(arg.name);
  }
  if (name == "sp_rename") {
    RunSpRename(args);
    return;
  }
  if (name == "sp_spaceused") {
    // Named @objname / @updateusage, or positional.
    std::vector<Value> ordered(2);
    size_t pos = 0;
    for (size_t i = 0; i < args.size(); ++i) {
      if (names[i] == "@objname")
        ordered[0] = args[i];
      else if (names[i] == "@updateusage")
        ordered[1] = args[i];
      else if (names[i].empty() && pos < 2)
        ordered[pos++] = args[i];
    }
    RunSpSpaceUsed(ordered);
    return;
  }
  if (name == "sp_executesql") {
    if (args.empty()) ThrowSql("Procedure expects parameter '@statement'.");
    if (args.size() > 1) ThrowSql("sp_executesql with parameters is not supported by this server.");
    RunBatchText(args[0].ToText());
    return;
  }
  ThrowSql("Could not find stored procedure '" + s.proc_name + "'.");
}

void Interpreter::RunSpRename(const std::vector<Value>& args) {
  if (args.size() < 2)
    ThrowSql(
        "Procedure or function 'sp_rename' expects parameter '@newname', which was not supplied.");
  std::string from = args[0].ToText();
  const std::string to = args[1].ToText();
  const std::string kind = args.size() > 2 ? Lower(args[2].ToText()) : "";
  // Drop brackets and schema: '[dbo].[temp_aall]' -> temp_aall.
  auto strip = [](std::string n) {
    std::string out;
    for (char c : n) {
      if (c != '[' && c != ']') out.push_back(c);
    }
    if (strncasecmp(out.c_str(), "dbo.", 4) == 0) out = out.substr(4);
    return out;
  };
  from = strip(from);
  if (kind == "column") {
    const size_t dot = from.rfind('.');
    if (dot == std::string::npos)
      ThrowSql(
          "Either the parameter @objname is ambiguous or the claimed @objtype (column) is wrong.");
    RenameColumn(from.substr(0, dot), from.substr(dot + 1), to);
    return;
  }
  if (!kind.empty() && kind != "object") {
    ThrowSql("sp_rename of an " + kind + " is not supported by this server.");
  }
  if (!TableExists(from)) {
    ThrowSql("Either the parameter @objname is ambiguous or the claimed @objtype (" + kind +
             ") is wrong.");
  }
  if (TableExists(to) || ProcedureExists(to)) {
    ThrowSql("Error: The new name '" + to +
             "' is already in use as a object name and would cause a duplicate that is not "
             "permitted.");
  }
  RenameTable(from, to);
}

void Interpreter::RunSpSpaceUsed(const std::vector<Value>& args) {
  const std::string table = args[0].IsNull() ? "" : args[0].ToText();
  auto kb = [](int64_t bytes) { return std::to_string((bytes + 1023) / 1024) + " KB"; };
  if (table.empty()) {
    char mb[40];
    snprintf(mb, sizeof mb, "%.2f MB", static_cast<double>(DatabaseBytes()) / (1024.0 * 1024.0));
    DeliverRow({Value::Text(database_), Value::Text(mb), Value::Text("0.00 MB")},
               {"database_name", "database_size", "unallocated space"});
    return;
  }
  if (!TableExists(table)) {
    ThrowSql("The object '" + table + "' does not exist in database '" + database_ +
             "' or is invalid for this operation.");
  }
  const TableSpace space = TableBytes(table);
  DeliverRow({Value::Text(table), Value::Text(std::to_string(space.rows)),
              Value::Text(kb(space.data + space.index)), Value::Text(kb(space.data)),
              Value::Text(kb(space.index)), Value::Text("0 KB")},
             {"name", "rows", "reserved", "data", "index_size", "unused"});
}

}  // namespace tellwen::sqlserver
