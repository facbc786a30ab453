// PostgresSession: the interpreter (interpreter.h) on a PostgreSQL server,
// behind one Connection of the PostgreSQL engine (SqlEngine "postgresql").
//
// Every statement that reads or writes data is translated in the
// PostgreSQL dialect (postgres_dialect.h) and run on the server through the
// session's PostgresLink. What the engine keeps in a database of its own:
//   - the collation "tsql" of every text column: case-insensitive (ICU,
//     level 2). Trailing blanks count in it, unlike SQL Server's: "=" and
//     "<>" of a column and a text are written to ignore them (an index
//     range for "="; postgres_functions.h), other comparisons count them
//     when a column takes part (IN lists, <, >, BETWEEN). ORDER BY
//     sorts texts by their fold keys instead (tsql.sort_key), in the
//     embedded engine's order, and a SELECT DISTINCT with ORDER BY finds
//     its distinct rows by those keys too (one sort for both);
//   - the table tsql_procedures (lower-case name, the CREATE PROCEDURE
//     text, the name as written): procedures stay T-SQL and are
//     interpreted here;
//   - the functions of the tsql schema.
// postgres_functions.h makes them when a connection first opens the
// database (not in the maintenance database, "master").
//
// Names: the server's names are case-sensitive where T-SQL's are not, so
// every quoted name is written in lower case (result columns too). #temp
// tables are the session's temporary tables. Index names are per table, as
// in SQL Server: the server's name is "<index>$<suffix>", found by its table.
//
// Substring search: an index on one of the substring columns gets a trigram
// GIN index beside it (pg_trgm, made in the database when the role may),
// and LIKE over a column with a constant pattern adds an ILIKE prefilter the
// server can answer from it; every row is still checked by tsql.like.
//
// Not built yet: dbo.sysobjects.
//
// Thread safety: one thread at a time (the Connection's).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/sqlserver/insert_target.h"
#include "platform/sqlserver/interpreter.h"
#include "platform/sqlserver/postgres_link.h"

namespace tellwen::sqlserver {

class PostgresSession : public Interpreter {
 public:
  // database: as the connection names it ("master" for the maintenance
  // database). Makes the engine's own objects in it (throws SqlException
  // when that fails).
  PostgresSession(std::unique_ptr<PostgresLink> link, std::string database);
  ~PostgresSession() override;

  // See Connection::Reset.
  bool Reset();

  // The columns whose indexes get a substring index beside them: a trigram
  // (pg_trgm) GIN index named "<index>_trgm$<suffix>" (see ConnectOptions).
  void set_substring_columns(std::vector<std::string> names) {
    substring_columns_ = std::move(names);
  }

  // Whether every statement sent to the server is written to stderr
  // ("postgres: <text>"; see ConnectOptions).
  void set_trace_statements(bool trace) { trace_statements_ = trace; }

  // Off: no statement reads the substring indexes (they still get built).
  void set_use_substring_indexes(bool use) { use_substring_indexes_ = use; }

  // TranslatorContext
  bool PostgresDialect() const override { return true; }
  bool LikePrefilters() const override { return use_substring_indexes_; }

 private:
  void RunSelect(const Stmt& s) override;
  // SELECT ... INTO: CREATE TABLE AS, with IDENTITY() numbering the rows
  // in the query's order.
  void RunSelectInto(const Select& select);
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
  // The loader's batches (loader_batch.h): each run of inserts into one
  // table is one COPY. false (nothing done) for a batch of another form or
  // for a table with a column COPY would not fill as INSERT does (an
  // identity, a date read by SQL Server's rules).
  bool RunFastBatch(std::string_view text) override;
  void AfterFailedBatch() override;

  // The tables' ACCESS EXCLUSIVE locks for the rest of the transaction (a
  // SELECT's TABLOCKX hints there), taken in one LOCK TABLE. While another
  // session holds one of them the attempt gives back every lock it took
  // and comes again shortly, until the command timeout: a reader that holds
  // one of the tables and waits for another (a search's snapshot
  // transaction during the catalog's swap) is waited for, never deadlocked.
  void LockExclusively(const std::vector<std::string>& tables);
  // Runs translated text with the translator's parameters bound; rows
  // (when given) receive its row set. Returns the rows it changed.
  int64_t RunTranslated(const std::string& sql, const std::vector<BoundParam>& params,
                        PostgresRows* rows = nullptr);
  // Runs text as it is (no parameters), for the engine's own statements.
  void RunPlain(const std::string& sql, PostgresRows* rows = nullptr);
  bool TableExists(const std::string& name) override;
  // The columns of table as inserts see them; throws when there is no such table.
  std::vector<ColumnInfo> TableColumns(const std::string& table);
  // The server's name of table's index, "" when there is none.
  std::string IndexName(const std::string& table, const std::string& index);
  bool ProcedureExists(const std::string& name) override;
  std::string ColumnDefinition(const ColumnDef& def);
  // The first row set of the batch, or the INSERT ... EXEC being filled.
  void Deliver(PostgresRows rows);
  // Makes the collation, tsql_procedures and the functions when missing
  // (postgres_functions.h).
  void PrepareDatabase();

  bool IsSubstringColumn(const std::string& column) const;

  static constexpr const char* kTrigramSuffix = "_trgm";
  std::unique_ptr<PostgresLink> link_;
  bool trace_statements_ = false;
  std::vector<std::string> substring_columns_;
  bool use_substring_indexes_ = true;
};

}  // namespace tellwen::sqlserver
