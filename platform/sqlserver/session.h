// Session: the interpreter behind one Connection.
//
// Holds the SQLite handle of the database, the variables of the running
// batch or procedure, the transaction count, the prepared statements (keyed
// by their SQLite text) and the deadline of the command timeout. Runs a
// parsed batch statement by statement: control flow, variables and the
// system procedures here, everything else through the translator.
//
// Thread safety: one thread at a time (the Connection's).
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sqlserver/ast.h"
#include "platform/sqlserver/sql_server.h"
#include "platform/sqlserver/translator.h"

namespace tellwen::sqlserver {

class Session : public TranslatorContext {
 public:
  // Takes ownership of db. data_dir: where CREATE DATABASE puts files.
  Session(sqlite3* db, std::string database, std::string data_dir, std::string login);
  ~Session() override;

  bool ExecuteBatch(std::string_view text, BatchResult* result, std::string* error);
  void set_command_timeout(int seconds) { command_timeout_seconds_ = seconds; }
  // Tables that CREATE TABLE puts in the log file (see ConnectOptions).
  void set_log_tables(std::vector<std::string> names) { log_tables_ = std::move(names); }
  const std::string& database() const { return database_; }

  // TranslatorContext
  const TypeSpec* VariableType(const std::string& name) const override;

  // Called by the progress handler: true when the command timeout expired.
  bool DeadlinePassed() const;

 private:
  enum class Flow { kNormal, kBreak, kContinue, kReturn };
  struct Variable {
    TypeSpec type;
    Value value;
  };
  struct Scope {
    std::unordered_map<std::string, Variable> vars;
    std::vector<std::string> temp_tables;  // created in this scope, dropped at its end
    bool drop_temp_tables = false;
    Value return_value;
  };
  struct ColumnInfo {
    std::string name;
    bool identity = false;
    bool rowid_identity = false;  // INTEGER PRIMARY KEY: SQLite numbers it
    int64_t seed = 1, step = 1;
    // Numeric and date columns: the type values are converted to on INSERT
    // VALUES and UPDATE SET, as SQL Server converts them ("" for others).
    std::string convert_type;
  };
  struct Procedure {
    Batch parsed;  // one kCreateProcedure statement
  };
  // Where the rows of a SELECT go.
  using RowSink = std::function<void(sqlite3_stmt*)>;

  Flow Run(const Stmt& s);
  Flow RunList(const std::vector<StmtPtr>& list);
  void RunBatchText(const std::string& text, bool own_scope);
  // Runs the loader's form (see loader_batch.h); false when text is not it.
  bool RunLoaderBatch(std::string_view text);

  // Statements.
  void RunSelect(const Stmt& s);
  void RunSelectInto(const Select& select);
  void RunInsert(const Stmt& s);
  void RunLiteralInsert(const Stmt& s, const std::string& head,
                        const std::vector<std::string>& names, const std::vector<ColumnInfo>& cols);
  void RunUpdate(const Stmt& s);
  // "UPDATE t SET c = v1" directly followed by "UPDATE t SET c = v2 WHERE
  // cond" (cond not reading c) in one pass over t, as "SET c = CASE WHEN
  // cond THEN v2 ELSE v1 END"; @@ROWCOUNT is that of the second. false when
  // the pair is not of that form or the single pass failed (then nothing
  // changed and the caller runs the two statements as they are).
  bool RunClearThenSet(const Stmt& clear, const Stmt& set);
  void RunDelete(const Stmt& s);
  void RunCreateTable(const Stmt& s);
  void RunDropTable(const Stmt& s);
  void RunAlterTableAdd(const Stmt& s);
  void RunCreateIndex(const Stmt& s);
  void RunDropIndex(const Stmt& s);
  void RunCreateProcedure(const Stmt& s);
  void RunDropProcedure(const Stmt& s);
  void RunCreateDatabase(const Stmt& s);
  void RunAlterLogin(const Stmt& s);
  void RunDeclare(const Stmt& s);
  void RunExecProc(const Stmt& s);
  void RunExecString(const Stmt& s);
  void RunSystemProcedure(const std::string& name, const Stmt& s);
  void RunSpRename(const std::vector<Value>& args);
  void RunSpSpaceUsed(const std::vector<Value>& args);
  // Databases a statement may write, as bits.
  enum : unsigned { kWritesMain = 1, kWritesLogs = 2, kWritesAny = 3 };
  // The databases written by the statements of list from first up to the
  // COMMIT that ends the transaction begun before first (kWritesAny when
  // that cannot be told: EXEC of a procedure or a string, no COMMIT).
  unsigned TransactionWrites(const std::vector<StmtPtr>& list, size_t first);
  unsigned StatementWrites(const Stmt& s);
  unsigned TableWrites(const std::string& table);
  // The schema holding table ("temp", "main" or "logs"), or where CREATE
  // TABLE puts it when it does not exist yet.
  std::string SchemaOf(const std::string& table);
  bool IsLogTable(const std::string& table) const;
  // BEGIN TRAN: takes the write locks of the databases in writes at once
  // (so that the transaction never fails on upgrading a read to a write),
  // and only those: a transaction of the web on the log file does not wait
  // for the update's transaction on the catalog's file.
  void BeginTran(unsigned writes = kWritesAny);
  void CommitTran();
  void RollbackTran();

  // Helpers.
  void Assign(const std::string& name, const Value& v);
  Value Evaluate(const Expr& e);
  bool Condition(const Expr& e);
  std::string ColumnDefinition(const ColumnDef& def, bool* rowid_identity, int* identities);
  const std::vector<ColumnInfo>& TableColumns(const std::string& table);
  // expr_sql converted to the column's type when the column needs it.
  std::string Converted(const std::string& table, const std::string& column,
                        const std::string& expr_sql);
  bool TableExists(const std::string& name);
  bool ProcedureExists(const std::string& name);
  void FinishIdentity(const std::string& table);
  void SchemaChanged();
  void EmitRows(sqlite3_stmt* stmt, int columns);

  // SQLite access.
  // A prepared statement for sql, from the cache when possible; *cached
  // tells whether the cache owns it (otherwise the caller finalizes it).
  sqlite3_stmt* Prepare(const std::string& sql, bool* cached = nullptr);
  void Bind(sqlite3_stmt* stmt, const std::vector<Param>& params);
  Value ParamValue(const Param& p);
  // Runs sql to completion; rows go to sink when given. Returns changes.
  int64_t Execute(const std::string& sql, const std::vector<Param>& params,
                  const RowSink& sink = nullptr);
  [[noreturn]] void ThrowSqlite(int rc);
  // Steps a statement that returns no rows, records its change count as
  // @@ROWCOUNT and resets it (finalising it when it is not cached); throws the
  // SQLite error when the step fails.
  void StepWrite(sqlite3_stmt* stmt, bool cached);

  sqlite3* db_;
  std::string database_;
  std::string data_dir_;
  std::string login_;
  int command_timeout_seconds_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  bool timed_out_ = false;

  std::vector<Scope> scopes_;
  int trancount_ = 0;
  int64_t rowcount_ = 0;
  int64_t tally_ = 0;  // rows counted by tsql_tally() in the running statement
  BatchResult* result_ = nullptr;
  std::vector<std::vector<Value>>* insert_exec_rows_ = nullptr;  // INSERT ... EXEC capture
  int insert_exec_columns_ = 0;
  int exec_depth_ = 0;
  std::vector<std::string> log_tables_;

  std::unordered_map<std::string, sqlite3_stmt*> statements_;
  std::unordered_map<std::string, std::vector<ColumnInfo>> columns_;
  std::unordered_map<std::string, std::shared_ptr<Procedure>> procedures_;
  std::unordered_map<std::string, std::string> literal_insert_sql_;
};

}  // namespace tellwen::sqlserver
