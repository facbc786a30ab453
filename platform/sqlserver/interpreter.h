// Interpreter: the T-SQL of a batch run statement by statement, whatever
// engine stores the data.
//
// Holds the variables of the running batch or procedure, the transaction
// count, @@ROWCOUNT, the deadline of the command timeout and the cache of
// parsed procedures. Runs control flow (DECLARE, SET, IF, WHILE, blocks,
// RETURN, BREAK, CONTINUE), EXEC of procedures and strings, sp_executesql,
// and evaluates the expressions of control flow over constants and
// variables natively (interpreter_native.cc). Everything that reads or
// writes data goes to the engine's session, a subclass: Session on SQLite
// (session.h), PostgresSession on a PostgreSQL server (postgres_session.h).
//
// Defined across files:
//   interpreter.cc         batches, dispatch, control flow, variables
//   interpreter_exec.cc    EXEC of procedures and strings, the system procedures
//   interpreter_native.cc  control flow's expressions evaluated without the engine
//
// Thread safety: one thread at a time (the Connection's).
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/sqlserver/ast.h"
#include "platform/sqlserver/sql_server.h"
#include "platform/sqlserver/translator.h"

namespace tellwen::sqlserver {

// The kind of a natively evaluated value by its static type (interpreter_native.cc).
enum class NativeKind { kNone, kInt32, kInteger, kText };

class Interpreter : public TranslatorContext {
 public:
  explicit Interpreter(std::string database) : database_(std::move(database)) {}
  ~Interpreter() override = default;
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  bool RunBatch(std::string_view text, BatchResult* result, std::string* error);
  void set_command_timeout(int seconds) { command_timeout_seconds_ = seconds; }
  const std::string& database() const { return database_; }

  // TranslatorContext
  const TypeSpec* VariableType(const std::string& name) const override;

  // True when the command timeout expired (then OnTimeout has run).
  bool DeadlinePassed();

 protected:
  enum class Flow { kNormal, kBreak, kContinue, kReturn };
  struct Variable {
    TypeSpec type;
    Value value;
    // The DECLARE that made it (nullptr for a parameter): run again, as in
    // a loop, it re-runs its initialiser instead of declaring anew.
    const Stmt::Declaration* declared_by = nullptr;
  };
  struct Scope {
    std::unordered_map<std::string, Variable> vars;
    std::vector<std::string> temp_tables;  // created in this scope, dropped at its end
    Value return_value;
  };
  struct Procedure {
    Batch parsed;  // one kCreateProcedure statement
  };

  // ---- what the engine's session does ----
  // Each throws SqlException on an error.
  virtual void RunSelect(const Stmt& s) = 0;
  virtual void RunInsert(const Stmt& s) = 0;
  virtual void RunUpdate(const Stmt& s) = 0;
  virtual void RunDelete(const Stmt& s) = 0;
  virtual void RunTruncate(const Stmt& s) = 0;
  virtual void RunCreateTable(const Stmt& s) = 0;
  virtual void RunDropTable(const Stmt& s) = 0;
  virtual void RunAlterTableAdd(const Stmt& s) = 0;
  virtual void RunAlterTableDrop(const Stmt& s) = 0;
  virtual void RunCreateIndex(const Stmt& s) = 0;
  virtual void RunDropIndex(const Stmt& s) = 0;
  virtual void RunCreateProcedure(const Stmt& s) = 0;
  virtual void RunDropProcedure(const Stmt& s) = 0;
  virtual void RunCreateDatabase(const Stmt& s) = 0;
  virtual void RunAlterLogin(const Stmt& s) = 0;
  virtual void RunDbcc(const Stmt& s) = 0;
  // sp_rename's changes, its arguments checked (interpreter_exec.cc).
  virtual void RenameTable(const std::string& from, const std::string& to) = 0;
  virtual void RenameColumn(const std::string& table, const std::string& column,
                            const std::string& to) = 0;
  virtual bool TableExists(const std::string& name) = 0;
  virtual bool ProcedureExists(const std::string& name) = 0;
  // sp_spaceused's sizes in bytes: the database's, and a table's rows,
  // data and index sizes (the table exists).
  struct TableSpace {
    int64_t rows = 0, data = 0, index = 0;
  };
  virtual int64_t DatabaseBytes() = 0;
  virtual TableSpace TableBytes(const std::string& table) = 0;
  // BEGIN TRAN. list and next: the statements that follow it in its list
  // (nullptr when not known), for an engine that locks by what they write.
  virtual void BeginTran(const std::vector<StmtPtr>* list, size_t next) = 0;
  virtual void CommitTran() = 0;
  virtual void RollbackTran() = 0;
  // An expression (a condition) that native evaluation does not take,
  // evaluated by the engine as a one-row SELECT.
  virtual Value EvaluateOnEngine(const Expr& e) = 0;
  virtual bool ConditionOnEngine(const Expr& e) = 0;
  // The stored T-SQL text of a procedure, nullopt when there is none.
  virtual std::optional<std::string> ProcedureDefinition(const std::string& name) = 0;
  // Drops a #temp table a scope made, when it still exists.
  virtual void DropTempTable(const std::string& name) = 0;
  // Called before each batch (to drop caches that other connections' work
  // made stale), and after a batch failed, before its state is cleared
  // (to roll back what it left open and drop its nested scopes' temp
  // tables: the scopes are still there).
  virtual void BeforeBatch() {}
  virtual void AfterFailedBatch() = 0;
  // The engine's fast form of a whole batch (the loader's); false, having
  // done nothing, when text is not one.
  virtual bool RunFastBatch(std::string_view /*text*/) { return false; }
  // Two statements run as one, where the engine can (an UPDATE pair); false
  // when it did nothing.
  virtual bool RunPair(const Stmt& /*first*/, const Stmt& /*second*/) { return false; }
  // The command timeout expired: the engine stops what runs.
  virtual void OnTimeout() {}

  // ---- the interpreter's own ----
  Flow Run(const Stmt& s);
  Flow RunList(const std::vector<StmtPtr>& list);
  void CheckDeadline();
  void RunDeclare(const Stmt& s);
  void Assign(const std::string& name, const Value& v);
  const Value& VariableValue(const std::string& name);
  Value Evaluate(const Expr& e);
  bool Condition(const Expr& e);
  // interpreter_native.cc: the scalar expressions over constants and
  // variables evaluated without the engine, with the answer the engine
  // would give their translation; false (nothing evaluated) for any other
  // form, and for one whose evaluation fails (the engine then gives the
  // error).
  bool EvaluateNatively(const Expr& e, Value* out, NativeKind* kind);
  // *truth: 1 true, 0 false, -1 unknown (a NULL compared).
  bool ConditionNatively(const Expr& e, int* truth);
  // Hands a row set to the INSERT ... EXEC being filled, else to the result
  // when it is the batch's first row set.
  void DeliverRow(std::vector<Value> row, const std::vector<std::string>& names);
  // The value of @@ROWCOUNT, @@TRANCOUNT, @@SPID or another system variable.
  Value SystemValue(const std::string& name) const;

  // interpreter_exec.cc
  void RunExecProc(const Stmt& s);
  void RunExecString(const Stmt& s);
  // Parses and runs text (EXEC of a string, sp_executesql) in a scope of its own.
  void RunBatchText(const std::string& text);
  // Runs body in scope, one nesting level deeper; the scope comes back with
  // the values its statements left, and its temp tables are dropped.
  Scope RunNested(const std::vector<StmtPtr>& body, Scope scope);
  std::shared_ptr<Procedure> LoadProcedure(const std::string& name);
  void RunSystemProcedure(const std::string& name, const Stmt& s);
  void RunSpRename(const std::vector<Value>& args);
  void RunSpSpaceUsed(const std::vector<Value>& args);

  std::string database_;
  int command_timeout_seconds_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  std::vector<Scope> scopes_;
  int trancount_ = 0;
  // SET TRANSACTION ISOLATION LEVEL SNAPSHOT is in force: set for the rest
  // of the batch, or of the procedure or EXEC string that set it.
  bool snapshot_isolation_ = false;
  int64_t rowcount_ = 0;
  BatchResult* result_ = nullptr;
  std::vector<std::vector<Value>>* insert_exec_rows_ = nullptr;  // INSERT ... EXEC capture
  int exec_depth_ = 0;
  // Parsed procedures by lower-case name; the engine's session empties it
  // when the stored definitions may have changed.
  std::unordered_map<std::string, std::shared_ptr<Procedure>> procedures_;
};

}  // namespace tellwen::sqlserver
