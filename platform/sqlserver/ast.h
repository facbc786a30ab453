// Statement and expression trees of the T-SQL dialect the server accepts.
//
// The parser builds them, the translator turns the query parts into SQLite
// SQL and the interpreter walks the procedural parts. Nodes own their
// children through unique_ptr; a tree is immutable once parsed.
//
// Thread safety: trees are plain data; share them read-only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sqlserver/value.h"

namespace tellwen::sqlserver {

// A T-SQL data type as written: varchar(255), decimal(18, 2), int.
struct TypeSpec {
  std::string name;  // lower case base name
  int length = -1;   // first argument (-2 for max), -1 when absent
  int scale = -1;    // second argument, -1 when absent
  TypeClass Class() const;
  std::string ToString() const;
};

struct Select;

struct Expr {
  enum class Kind {
    kLiteral,         // value
    kVariable,        // name (with @)
    kSystemVariable,  // name (with @@, lower case)
    kColumn,          // parts: [table.]column
    kStar,            // * inside count(*)
    kUnary,           // op ("-", "+", "~", "not"), args[0]
    kBinary,          // op, args[0], args[1]
    kFunction,        // name (lower case), args, distinct
    kCast,            // CAST(args[0] AS type) / CONVERT(type, args[0] [, args[1]])
    kDatePart,        // name: dateadd/datediff/datepart, part, args
    kIdentity,        // IDENTITY(type, seed, step) in a select list
    kCase,            // args[0] optional operand (nullptr), then when/then pairs, else
    kSubquery,        // subquery
    kExists,          // subquery
    kInList,          // args[0] IN (args[1..]), negated
    kInSubquery,      // args[0] IN (subquery), negated
    kBetween,         // args[0] BETWEEN args[1] AND args[2], negated
    kLike,            // args[0] LIKE args[1] [ESCAPE args[2]], negated
    kIsNull,          // args[0] IS [NOT] NULL, negated
  };
  Kind kind = Kind::kLiteral;
  Value value;
  std::string name;
  std::string op;
  std::string part;  // canonical date part for kDatePart
  std::vector<std::string> parts;
  std::vector<std::unique_ptr<Expr>> args;
  std::unique_ptr<Select> subquery;
  TypeSpec type;
  int64_t seed = 1, step = 1;
  bool distinct = false;
  bool negated = false;
  bool has_operand = false;  // kCase: args[0] is the operand
  bool has_else = false;     // kCase: last arg is the else branch
};
using ExprPtr = std::unique_ptr<Expr>;

struct SelectItem {
  enum class Kind { kExpr, kStar, kAssign };
  Kind kind = Kind::kExpr;
  ExprPtr expr;
  std::string alias;      // kExpr
  std::string qualifier;  // kStar: t.* (empty for *)
  std::string variable;   // kAssign
};

// A multi-part object name; the last part is the object, leading database
// and schema parts ("kiv.dbo.") are dropped by the parser.
struct ObjectName {
  std::string name;  // #t for temp tables
  bool IsTemp() const { return !name.empty() && name[0] == '#'; }
};

struct TableRef {
  enum class Kind { kTable, kSubquery, kJoin };
  Kind kind = Kind::kTable;
  ObjectName table;
  std::string alias;
  bool exclusive_lock = false;  // WITH (TABLOCKX)
  std::unique_ptr<Select> subquery;
  std::string join_type;  // "inner", "left", "right", "full", "cross"
  std::unique_ptr<TableRef> left, right;
  ExprPtr on;
};

struct OrderItem {
  ExprPtr expr;
  bool desc = false;
};

struct SelectCore {
  bool distinct = false;
  ExprPtr top;
  std::vector<SelectItem> items;
  bool has_into = false;
  ObjectName into;
  std::vector<std::unique_ptr<TableRef>> from;  // comma-separated sources
  ExprPtr where;
  std::vector<ExprPtr> group_by;
  ExprPtr having;
};

struct Select {
  std::vector<SelectCore> cores;    // joined by UNION
  std::vector<bool> union_all;      // size cores - 1
  std::vector<OrderItem> order_by;  // applies to the whole
  // ORDER BY ... OFFSET offset ROWS [FETCH NEXT fetch ROWS ONLY]: the rows
  // skipped and the rows kept (null: all); never together with TOP.
  ExprPtr offset, fetch;
};

struct ColumnDef {
  std::string name;
  TypeSpec type;
  bool identity = false;
  int64_t seed = 1, step = 1;
  bool not_null = false;
  bool primary_key = false;
  ExprPtr default_value;
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;

struct ExecArg {
  std::string name;  // @param when named
  ExprPtr value;     // nullptr for DEFAULT
  bool output = false;
};

struct Stmt {
  enum class Kind {
    kSelect,
    kInsert,
    kUpdate,
    kDelete,
    kCreateTable,
    kDropTable,
    kAlterTableAdd,
    kAlterTableDrop,
    kCreateIndex,
    kDropIndex,
    kCreateProcedure,
    kDropProcedure,
    kCreateDatabase,
    kAlterLogin,
    kDeclare,
    kSetVariable,
    kSetOption,
    kIf,
    kWhile,
    kBlock,
    kBeginTran,
    kCommitTran,
    kRollbackTran,
    kReturn,
    kBreak,
    kContinue,
    kExecProc,
    kExecString,
    kUse,
    kDbcc,
    kPrint,
    kTruncate,
  };
  Kind kind;
  explicit Stmt(Kind k) : kind(k) {}

  // kSelect; kInsert from SELECT
  std::unique_ptr<Select> select;
  // kInsert, kUpdate, kDelete, tables
  ObjectName table;
  std::vector<ObjectName> tables;  // kDropTable, kDropProcedure
  std::vector<std::string> columns;
  std::vector<std::vector<ExprPtr>> values_rows;
  // INSERT ... VALUES whose every value is a constant (the loader's form):
  // the values themselves, without expression trees.
  std::vector<std::vector<Value>> literal_rows;
  std::unique_ptr<Stmt> exec;  // kInsert from EXEC
  // kUpdate: SET col = expr; FROM; WHERE
  std::vector<std::pair<std::string, ExprPtr>> assignments;
  std::vector<std::unique_ptr<TableRef>> from;
  ExprPtr where;
  std::string target_alias;  // UPDATE alias SET ... FROM t alias
  // kCreateTable, kAlterTableAdd
  std::vector<ColumnDef> column_defs;
  // kCreateIndex / kDropIndex
  std::string index_name;
  bool unique = false;
  std::vector<OrderItem> index_columns;
  // kCreateProcedure
  std::string create_text;  // the whole CREATE PROCEDURE statement
  struct ProcedureParam {
    std::string name;
    TypeSpec type;
    ExprPtr default_value;
    bool output = false;
  };
  std::vector<ProcedureParam> params;
  std::vector<StmtPtr> body;  // kBlock, procedure body, kIf (then/else), kWhile
  // kDeclare
  struct Declaration {
    std::string name;
    TypeSpec type;
    ExprPtr init;
  };
  std::vector<Declaration> declarations;
  // kSetVariable, kIf, kWhile, kReturn, kExecString, kPrint
  std::string variable;
  ExprPtr expr;
  StmtPtr then_branch, else_branch;
  // kExecProc
  std::string proc_name;
  std::string return_variable;
  std::vector<ExecArg> args;
  // kSetOption: SET set_option set_value ("nocount" "on", "rowcount" "0")
  std::string set_option;
  std::string set_value;
  std::string database;      // kUse, kCreateDatabase
  std::string dbcc_command;  // kDbcc: "shrinkdatabase", ...
  std::string login;         // kAlterLogin
  std::string password;      // kAlterLogin: the new password
};

// A parsed batch.
struct Batch {
  std::vector<StmtPtr> statements;
};

}  // namespace tellwen::sqlserver
