// Which database files a transaction writes: the catalog's file (main), the
// log file (logs) or both. BEGIN TRAN takes the write locks of those files
// only, so the statements after it are read before they run: the tables
// they name, where those tables live, and EXEC (which could write anything).
#include <strings.h>

#include "platform/sqlserver/master.h"
#include "platform/sqlserver/session.h"
#include "platform/sqlserver/statement_rules.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver {

unsigned Session::TableWrites(const std::string& table) {
  const std::string schema = SchemaOf(table);
  if (schema == "temp") return 0;  // the connection's own file
  return schema == kLogSchema ? kWritesLogs : kWritesMain;
}

unsigned Session::StatementWrites(const Stmt& s) {
  switch (s.kind) {
    case Stmt::Kind::kInsert:
      return TableWrites(s.table.name) | (s.exec ? StatementWrites(*s.exec) : 0);
    case Stmt::Kind::kUpdate:
      return TableWrites(UpdatedTable(s));
    case Stmt::Kind::kDelete:
    case Stmt::Kind::kTruncate:
    case Stmt::Kind::kCreateTable:
    case Stmt::Kind::kAlterTableAdd:
    case Stmt::Kind::kAlterTableDrop:
    case Stmt::Kind::kCreateIndex:
    case Stmt::Kind::kDropIndex:
      return TableWrites(s.table.name);
    case Stmt::Kind::kDropTable: {
      unsigned w = 0;
      for (const ObjectName& t : s.tables) w |= TableWrites(t.name);
      return w;
    }
    case Stmt::Kind::kSelect:
      return s.select && s.select->cores[0].has_into ? TableWrites(s.select->cores[0].into.name)
                                                     : 0;
    case Stmt::Kind::kCreateProcedure:
    case Stmt::Kind::kDropProcedure:
      return kWritesMain;
    case Stmt::Kind::kIf:
      return (s.then_branch ? StatementWrites(*s.then_branch) : 0) |
             (s.else_branch ? StatementWrites(*s.else_branch) : 0);
    case Stmt::Kind::kWhile:
      return s.then_branch ? StatementWrites(*s.then_branch) : 0;
    case Stmt::Kind::kBlock: {
      unsigned w = 0;
      for (const StmtPtr& b : s.body) w |= StatementWrites(*b);
      return w;
    }
    case Stmt::Kind::kExecProc: {
      const std::string name = Lower(s.proc_name);
      if (name == "sp_spaceused") return 0;
      if (name == "sp_rename" && !s.args.empty() && s.args[0].value &&
          s.args[0].value->kind == Expr::Kind::kLiteral) {
        // '[dbo].[t]' or 't.column': the table t.
        std::string table;
        for (char c : s.args[0].value->value.ToText()) {
          if (c != '[' && c != ']') table.push_back(c);
        }
        if (strncasecmp(table.c_str(), "dbo.", 4) == 0) table = table.substr(4);
        const size_t dot = table.rfind('.');
        return TableWrites(dot == std::string::npos ? table : table.substr(0, dot));
      }
      return kWritesAny;
    }
    case Stmt::Kind::kExecString:
      return kWritesAny;
    default:
      return 0;  // control flow, variables, reads
  }
}

unsigned Session::TransactionWrites(const std::vector<StmtPtr>& list, size_t first) {
  unsigned writes = 0;
  int nesting = 0;
  for (size_t i = first; i < list.size(); ++i) {
    const Stmt& s = *list[i];
    if (s.kind == Stmt::Kind::kBeginTran) ++nesting;
    if (s.kind == Stmt::Kind::kRollbackTran) return writes;
    if (s.kind == Stmt::Kind::kCommitTran && nesting-- == 0) return writes;
    writes |= StatementWrites(s);
    if (writes == kWritesAny) return writes;
  }
  return kWritesAny;  // the transaction outlives the list
}

}  // namespace tellwen::sqlserver
