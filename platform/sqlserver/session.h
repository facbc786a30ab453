// Session: the interpreter behind one Connection.
//
// Holds the database (SqliteDb: the SQLite handle and its prepared
// statements), the variables of the running batch or procedure, the
// transaction count and the deadline of the command timeout. Runs a parsed
// batch statement by statement: control flow, variables and the system
// procedures here, everything else through the translator.
//
// The class is defined across files, one stage each:
//   session.cc         batches, control flow, variables, transactions
//   session_query.cc   SELECT, SELECT INTO, UPDATE, DELETE
//   session_insert.cc  INSERT in its forms and the loader's batches
//   session_ddl.cc     tables, columns, indexes, procedures, databases, logins
//   session_exec.cc    EXEC of procedures and strings, the system procedures
//   session_substring.cc  the substring indexes of tables (substring_index.h)
//   session_native.cc  control flow's expressions evaluated without SQLite
// SQLite itself is reached only through sqlite_statement.h.
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
#include "platform/sqlserver/insert_target.h"
#include "platform/sqlserver/sql_server.h"
#include "platform/sqlserver/sqlite_statement.h"
#include "platform/sqlserver/translator.h"

namespace tellwen::sqlserver {

// The kind of a natively evaluated value by its static type (session_native.cc).
enum class NativeKind { kNone, kInt32, kInteger, kText };

class Session : public TranslatorContext {
 public:
  // Takes ownership of db. data_dir: where CREATE DATABASE puts files.
  Session(sqlite3* db, std::string database, std::string data_dir, std::string login);
  ~Session() override;

  bool RunBatch(std::string_view text, BatchResult* result, std::string* error);
  // See Connection::Reset.
  bool Reset();
  void set_command_timeout(int seconds) { command_timeout_seconds_ = seconds; }
  // Tables that CREATE TABLE puts in the log file (see ConnectOptions).
  void set_log_tables(std::vector<std::string> names) { log_tables_ = std::move(names); }
  const std::string& database() const { return database_; }
  // Columns that get a substring index with their CREATE INDEX, and whether
  // statements read the substring indexes (see ConnectOptions).
  void set_substring_columns(std::vector<std::string> names) {
    substring_columns_ = std::move(names);
  }
  void set_use_substring_indexes(bool use) { use_substring_indexes_ = use; }
  // Whether every SQLite statement compiled is written to stderr (see
  // ConnectOptions).
  void set_trace_statements(bool trace) { db_.set_trace_statements(trace); }

  // TranslatorContext
  const TypeSpec* VariableType(const std::string& name) const override;
  bool IsRowidColumn(const std::string& table, const std::string& column) const override;
  std::string SubstringIndex(const std::string& table, const std::string& column) const override;

  // Called by the progress handler: true when the command timeout expired.
  bool DeadlinePassed();

 private:
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
  // Where the rows of a SELECT go.
  using RowSink = std::function<void(sqlite3_stmt*)>;

  // session.cc: batches and control flow.
  Flow Run(const Stmt& s);
  Flow RunList(const std::vector<StmtPtr>& list);
  void CheckDeadline();
  // session.cc: variables.
  void RunDeclare(const Stmt& s);
  void Assign(const std::string& name, const Value& v);
  const Value& VariableValue(const std::string& name);
  Value Evaluate(const Expr& e);
  bool Condition(const Expr& e);
  // session_native.cc: the scalar expressions over constants and variables
  // evaluated without an SQLite statement, with the answer SQLite would give
  // their translation; false (nothing evaluated) for any other form, and
  // for one whose evaluation fails (SQLite then gives the error).
  bool EvaluateNatively(const Expr& e, Value* out, NativeKind* kind);
  // *truth: 1 true, 0 false, -1 unknown (a NULL compared).
  bool ConditionNatively(const Expr& e, int* truth);
  // session.cc: transactions.
  // BEGIN TRAN: takes the write locks of the files in writes at once (so
  // that the transaction never fails on upgrading a read to a write), and
  // only those: a transaction of the web on the log file does not wait for
  // the update's transaction on the catalog's file. Under SET TRANSACTION
  // ISOLATION LEVEL SNAPSHOT it takes no write lock and reads every
  // statement up to its COMMIT from one snapshot of the catalog's file,
  // whatever other connections commit meanwhile (a write to a file another
  // connection wrote after the snapshot fails, as an update conflict).
  void BeginTran(unsigned writes = kWritesAny);

  // session_writes.cc: the database files statements write, as bits.
  enum : unsigned { kWritesMain = 1, kWritesLogs = 2, kWritesAny = 3 };
  // The files written by the statements of list from first up to the COMMIT
  // that ends the transaction begun before first (kWritesAny when that
  // cannot be told: EXEC of a procedure or a string, no COMMIT in list).
  unsigned TransactionWrites(const std::vector<StmtPtr>& list, size_t first);
  unsigned StatementWrites(const Stmt& s);
  unsigned TableWrites(const std::string& table);
  void CommitTran();
  void RollbackTran();

  // session_query.cc
  void RunSelect(const Stmt& s);
  void RunSelectInto(const Select& select);
  void EmitRow(sqlite3_stmt* stmt, int columns);
  // Hands a row set to the INSERT ... EXEC being filled, else to the result
  // when it is the batch's first row set.
  void DeliverRow(std::vector<Value> row, const std::vector<std::string>& names);
  void RunUpdate(const Stmt& s);
  // "UPDATE t SET c = v1" directly followed by "UPDATE t SET c = v2 WHERE
  // cond" (cond not reading c) in one pass over t, as "SET c = CASE WHEN
  // cond THEN v2 ELSE v1 END"; @@ROWCOUNT is that of the second. false when
  // the pair is not of that form or the single pass failed (then nothing
  // changed and the caller runs the two statements as they are).
  bool RunClearThenSet(const Stmt& clear, const Stmt& set);
  void RunDelete(const Stmt& s);

  // session_insert.cc
  void RunInsert(const Stmt& s);
  void RunLiteralInsert(const Stmt& s, const InsertTarget& target);
  // Runs the loader's form (see loader_batch.h); false, having done
  // nothing, when text is not it or names a table the form does not serve.
  bool RunLoaderBatch(std::string_view text);
  // Numbers the rows a late identity column left NULL.
  void FinishIdentity(const std::string& table);

  // session_ddl.cc
  void RunCreateTable(const Stmt& s);
  void RunDropTable(const Stmt& s);
  void RunAlterTableAdd(const Stmt& s);
  void RunAlterTableDrop(const Stmt& s);
  void RunCreateIndex(const Stmt& s);
  void RunDropIndex(const Stmt& s);
  void RunCreateProcedure(const Stmt& s);
  void RunDropProcedure(const Stmt& s);
  void RunCreateDatabase(const Stmt& s);
  void RunAlterLogin(const Stmt& s);
  std::string ColumnDefinition(const ColumnDef& def, bool* rowid_identity, int* identities);
  const std::vector<ColumnInfo>& TableColumns(const std::string& table);
  // expr_sql converted to the column's type when the column needs it.
  std::string Converted(const std::string& table, const std::string& column,
                        const std::string& expr_sql);
  bool TableExists(const std::string& name);
  // The schema holding table ("temp", "main" or "logs"), or the one CREATE
  // TABLE puts it in when it does not exist yet.
  std::string SchemaOf(const std::string& table);
  bool IsLogTable(const std::string& table) const;
  bool ProcedureExists(const std::string& name);
  void SchemaChanged();
  // The same after a change of #temp tables only: the catalog's and the log
  // file's tables keep their cached columns.
  void TempSchemaChanged();

  // session_substring.cc
  bool HasSubstringRegistry();
  bool IsSubstringColumn(const std::string& column) const;
  // Builds the substring index of table's column anew (dropping an older
  // one); nothing when the table has no INTEGER PRIMARY KEY.
  void BuildSubstringIndex(const std::string& table, const std::string& column);
  // Drops table's substring indexes (of column only, when given).
  void DropSubstringIndexes(const std::string& table, const std::string& column = "");
  void RenameSubstringIndexes(const std::string& from, const std::string& to);

  // A statement that reads through substring indexes reads the registry
  // and the indexes as of one moment: another connection may swap the
  // table and drop its old index between the look-up and the statement.
  // Inside a ReadScope, the first index look-up of a session in autocommit
  // mode opens a deferred transaction (its snapshot starts with that
  // look-up); the scope that saw it open commits it at its end (rolls it
  // back when left by an exception). Only for statements that write no
  // file but temp: a deferred read cannot take a write lock once another
  // connection has written after its snapshot.
  class ReadScope {
   public:
    explicit ReadScope(Session& session);
    ~ReadScope();
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;

   private:
    Session& session_;
    bool outermost_;
    int exceptions_;
  };

  // session_exec.cc
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

  // session.cc: SQLite statements with parameters.
  // Runs sql to completion with params bound; rows go to sink when given,
  // the result's column names to *names when given. Returns the changes.
  int64_t RunSqlite(const std::string& sql, const std::vector<BoundParam>& params,
                    const RowSink& sink = nullptr, std::vector<std::string>* names = nullptr);

  SqliteDb db_;
  std::string database_;
  std::string data_dir_;
  std::string login_;
  int command_timeout_seconds_ = 0;
  std::chrono::steady_clock::time_point deadline_;

  std::vector<Scope> scopes_;
  int trancount_ = 0;
  // SET TRANSACTION ISOLATION LEVEL SNAPSHOT is in force: set for the rest
  // of the batch, or of the procedure or EXEC string that set it.
  bool snapshot_isolation_ = false;
  int64_t rowcount_ = 0;
  int64_t tally_ = 0;  // rows counted by tsql_tally() in the running statement
  BatchResult* result_ = nullptr;
  std::vector<std::vector<Value>>* insert_exec_rows_ = nullptr;  // INSERT ... EXEC capture
  int exec_depth_ = 0;
  std::vector<std::string> log_tables_;
  std::vector<std::string> substring_columns_;
  bool use_substring_indexes_ = true;
  int read_scopes_ = 0;         // ReadScopes open
  bool read_snapshot_ = false;  // the transaction a ReadScope's look-up opened

  // Drops the caches below when another connection committed to the
  // catalog's file since the last batch (PRAGMA data_version: procedures are
  // rows of it), or changed the log file's tables (its schema_version: the
  // log file holds only rows and the log tables, and the web writes rows to
  // it with every page, which must not empty every connection's caches).
  void CheckDataVersions();
  int64_t main_version_ = -1;
  int64_t logs_version_ = -1;

  // By lower-case table name: its columns, and the schema of an existing
  // table; both forgotten together (ForgetTables).
  std::unordered_map<std::string, std::vector<ColumnInfo>> columns_;
  std::unordered_map<std::string, std::string> schemas_;
  void ForgetTables();
  std::unordered_map<std::string, std::shared_ptr<Procedure>> procedures_;
  std::unordered_map<std::string, std::string> literal_insert_sql_;
};

}  // namespace tellwen::sqlserver
