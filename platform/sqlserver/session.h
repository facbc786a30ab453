// Session: the interpreter (interpreter.h) on SQLite, behind one
// Connection of the embedded engine.
//
// Holds the database (SqliteDb: the SQLite handle and its prepared
// statements) and runs every statement that reads or writes data through
// the translator, with the transactions, locks and caches of SQLite files.
//
// The class is defined across files, one stage each:
//   session.cc         the interpreter's hooks, transactions, the SQLite path
//   session_query.cc   SELECT, SELECT INTO, UPDATE, DELETE
//   session_insert.cc  INSERT in its forms and the loader's batches
//   session_ddl.cc     tables, columns, indexes, procedures, databases, logins
//   session_exec.cc    the system procedures and the stored procedures' text
//   session_substring.cc  the substring indexes of tables (substring_index.h)
//   session_writes.cc  the files a transaction writes
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
#include "platform/sqlserver/interpreter.h"
#include "platform/sqlserver/sql_server.h"
#include "platform/sqlserver/sqlite_statement.h"
#include "platform/sqlserver/translator.h"

namespace tellwen::sqlserver {

class Session : public Interpreter {
 public:
  // Takes ownership of db. data_dir: where CREATE DATABASE puts files.
  Session(sqlite3* db, std::string database, std::string data_dir, std::string login);
  ~Session() override;

  // See Connection::Reset.
  bool Reset();
  // Tables that CREATE TABLE puts in the log file (see ConnectOptions).
  void set_log_tables(std::vector<std::string> names) { log_tables_ = std::move(names); }
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
  bool IsRowidColumn(const std::string& table, const std::string& column) const override;
  std::string SubstringIndex(const std::string& table, const std::string& column) const override;

 private:
  // Where the rows of a SELECT go.
  using RowSink = std::function<void(sqlite3_stmt*)>;

  // The interpreter's hooks (interpreter.h).
  void RunSelect(const Stmt& s) override;
  void RunInsert(const Stmt& s) override;
  void RunUpdate(const Stmt& s) override;
  void RunDelete(const Stmt& s) override;
  void RunTruncate(const Stmt& s) override;
  void RunCreateTable(const Stmt& s) override;
  void RunDropTable(const Stmt& s) override;
  void RunAlterTableAdd(const Stmt& s) override;
  void RunAlterTableDrop(const Stmt& s) override;
  void RunCreateIndex(const Stmt& s) override;
  void RunDropIndex(const Stmt& s) override;
  void RunCreateProcedure(const Stmt& s) override;
  void RunDropProcedure(const Stmt& s) override;
  void RunCreateDatabase(const Stmt& s) override;
  void RunAlterLogin(const Stmt& s) override;
  void RunDbcc(const Stmt& s) override;
  void RenameTable(const std::string& from, const std::string& to) override;
  void RenameColumn(const std::string& table, const std::string& column,
                    const std::string& to) override;
  int64_t DatabaseBytes() override;
  TableSpace TableBytes(const std::string& table) override;
  void BeginTran(const std::vector<StmtPtr>* list, size_t next) override;
  void CommitTran() override;
  void RollbackTran() override;
  Value EvaluateOnEngine(const Expr& e) override;
  bool ConditionOnEngine(const Expr& e) override;
  std::optional<std::string> ProcedureDefinition(const std::string& name) override;
  void DropTempTable(const std::string& name) override;
  void BeforeBatch() override;
  void AfterFailedBatch() override;
  // Runs the loader's form (see loader_batch.h); false, having done
  // nothing, when text is not it or names a table the form does not serve.
  bool RunFastBatch(std::string_view text) override { return RunLoaderBatch(text); }
  bool RunPair(const Stmt& first, const Stmt& second) override {
    return RunClearThenSet(first, second);
  }
  void OnTimeout() override;

  // session.cc: transactions.
  // BEGIN TRAN: takes the write locks of the files in writes at once (so
  // that the transaction never fails on upgrading a read to a write), and
  // only those: a transaction of the web on the log file does not wait for
  // the update's transaction on the catalog's file. Under SET TRANSACTION
  // ISOLATION LEVEL SNAPSHOT it takes no write lock and reads every
  // statement up to its COMMIT from one snapshot of the catalog's file,
  // whatever other connections commit meanwhile (a write to a file another
  // connection wrote after the snapshot fails, as an update conflict).
  void BeginTranWriting(unsigned writes);

  // session_writes.cc: the database files statements write, as bits.
  enum : unsigned { kWritesMain = 1, kWritesLogs = 2, kWritesAny = 3 };
  // The files written by the statements of list from first up to the COMMIT
  // that ends the transaction begun before first (kWritesAny when that
  // cannot be told: EXEC of a procedure or a string, no COMMIT in list).
  unsigned TransactionWrites(const std::vector<StmtPtr>& list, size_t first);
  unsigned StatementWrites(const Stmt& s);
  unsigned TableWrites(const std::string& table);

  // session_query.cc
  void RunSelectInto(const Select& select);
  void EmitRow(sqlite3_stmt* stmt, int columns);
  // "UPDATE t SET c = v1" directly followed by "UPDATE t SET c = v2 WHERE
  // cond" (cond not reading c) in one pass over t, as "SET c = CASE WHEN
  // cond THEN v2 ELSE v1 END"; @@ROWCOUNT is that of the second. false when
  // the pair is not of that form or the single pass failed (then nothing
  // changed and the caller runs the two statements as they are).
  bool RunClearThenSet(const Stmt& clear, const Stmt& set);

  // session_insert.cc
  void RunLiteralInsert(const Stmt& s, const InsertTarget& target);
  bool RunLoaderBatch(std::string_view text);
  // Numbers the rows a late identity column left NULL.
  void FinishIdentity(const std::string& table);

  // session_ddl.cc
  std::string ColumnDefinition(const ColumnDef& def, bool* rowid_identity, int* identities);
  const std::vector<ColumnInfo>& TableColumns(const std::string& table);
  // expr_sql converted to the column's type when the column needs it.
  std::string Converted(const std::string& table, const std::string& column,
                        const std::string& expr_sql);
  bool TableExists(const std::string& name) override;
  // The schema holding table ("temp", "main" or "logs"), or the one CREATE
  // TABLE puts it in when it does not exist yet.
  std::string SchemaOf(const std::string& table);
  bool IsLogTable(const std::string& table) const;
  bool ProcedureExists(const std::string& name) override;
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

  // session.cc: SQLite statements with parameters.
  // Runs sql to completion with params bound; rows go to sink when given,
  // the result's column names to *names when given. Returns the changes.
  int64_t RunSqlite(const std::string& sql, const std::vector<BoundParam>& params,
                    const RowSink& sink = nullptr, std::vector<std::string>* names = nullptr);

  SqliteDb db_;
  std::string data_dir_;
  std::string login_;
  int64_t tally_ = 0;  // rows counted by tsql_tally() in the running statement
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
  std::unordered_map<std::string, std::string> literal_insert_sql_;
};

}  // namespace tellwen::sqlserver
