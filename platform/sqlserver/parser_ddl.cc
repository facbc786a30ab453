// The parser's schema statements: CREATE TABLE (column definitions; table
// constraints are refused), CREATE INDEX, CREATE PROCEDURE (which must open
// its batch and keeps its text), CREATE DATABASE, DROP TABLE / PROCEDURE /
// INDEX, ALTER TABLE ADD / DROP COLUMN and ALTER LOGIN ... WITH PASSWORD.
// Filegroup clauses and index options are accepted and ignored.
#include "platform/sqlserver/parser_internal.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver::parser_internal {

void Parser::SkipOnFilegroup() {
  if (PeekWord("on")) {
    Next();
    if (PeekWord("primary")) {
      Next();
    } else {
      ExpectAnyName();
    }
  }
  if (PeekWord("textimage_on")) {
    Next();
    if (PeekWord("primary"))
      Next();
    else
      ExpectAnyName();
  }
}

ColumnDef Parser::ParseColumnDef() {
  ColumnDef def;
  def.name = ExpectName();
  def.type = ParseType();
  for (;;) {
    if (AcceptWord("identity")) {
      def.identity = true;
      if (AcceptOp("(")) {
        def.seed = ParseSignedInteger();
        ExpectOp(",");
        def.step = ParseSignedInteger();
        ExpectOp(")");
      }
    } else if (AcceptWord("null")) {
      def.not_null = false;
    } else if (PeekWord("not") && PeekWord("null", 1)) {
      Next();
      Next();
      def.not_null = true;
    } else if (PeekWord("primary") && PeekWord("key", 1)) {
      Next();
      Next();
      def.primary_key = true;
      if (!AcceptWord("clustered")) AcceptWord("nonclustered");
    } else if (AcceptWord("default")) {
      def.default_value = ParsePrimary();
    } else if (AcceptWord("collate")) {
      ExpectAnyName();
    } else if (AcceptWord("constraint")) {
      ExpectName();
    } else {
      return def;
    }
  }
}

StmtPtr Parser::ParseCreate(bool first_in_batch) {
  const size_t create_offset = Peek().offset;
  Next();
  if (AcceptWord("table")) {
    auto s = std::make_unique<Stmt>(Stmt::Kind::kCreateTable);
    s->table = ParseObjectName();
    ExpectOp("(");
    do {
      if (PeekWord("constraint") || PeekWord("primary") || PeekWord("unique")) {
        ThrowSql("Table constraints are not supported by this server.");
      }
      s->column_defs.push_back(ParseColumnDef());
    } while (AcceptOp(","));
    ExpectOp(")");
    SkipOnFilegroup();
    return s;
  }
  if (PeekWord("unique") || PeekWord("clustered") || PeekWord("nonclustered") ||
      PeekWord("index")) {
    auto s = std::make_unique<Stmt>(Stmt::Kind::kCreateIndex);
    if (AcceptWord("unique")) s->unique = true;
    if (!AcceptWord("clustered")) AcceptWord("nonclustered");
    ExpectWord("index");
    s->index_name = ExpectName();
    ExpectWord("on");
    s->table = ParseObjectName();
    ExpectOp("(");
    do {
      OrderItem item;
      auto col = MakeExpr(Expr::Kind::kColumn);
      col->parts.push_back(ExpectName());
      item.expr = std::move(col);
      if (AcceptWord("desc"))
        item.desc = true;
      else
        AcceptWord("asc");
      s->index_columns.push_back(std::move(item));
    } while (AcceptOp(","));
    ExpectOp(")");
    if (AcceptWord("with")) {
      if (AcceptOp("(")) {
        SkipToClosingParenthesis();
      } else {
        do {
          ExpectAnyName();
          if (AcceptOp("=")) Next();
        } while (AcceptOp(","));
      }
    }
    SkipOnFilegroup();
    return s;
  }
  if (PeekWord("procedure") || PeekWord("proc")) {
    if (!first_in_batch) {
      ThrowSql("'CREATE PROCEDURE' must be the first statement in a query batch.");
    }
    StmtPtr s = StartStatement(Stmt::Kind::kCreateProcedure);
    s->proc_name = ParseObjectName().name;
    if (AcceptOp(";")) ParseSignedInteger();
    bool paren = AcceptOp("(");
    if (Peek().kind == TokenKind::kVariable) {
      do {
        Stmt::ProcedureParam p;
        p.name = Lower(Next().text);
        AcceptWord("as");
        p.type = ParseType();
        if (AcceptOp("=")) p.default_value = ParseArgumentValue();
        if (AcceptWord("output") || AcceptWord("out")) p.output = true;
        s->params.push_back(std::move(p));
      } while (AcceptOp(","));
    }
    if (paren) ExpectOp(")");
    if (AcceptWord("with")) {
      do {
        ExpectAnyName();
      } while (AcceptOp(","));
    }
    ExpectWord("as");
    while (!AtEnd()) {
      if (AcceptOp(";")) continue;
      s->body.push_back(ParseStatement(false));
    }
    s->create_text = std::string(text_.substr(create_offset));
    return s;
  }
  if (AcceptWord("database")) {
    auto s = std::make_unique<Stmt>(Stmt::Kind::kCreateDatabase);
    s->database = ExpectName();
    return s;
  }
  if (PeekWord("view") || PeekWord("function") || PeekWord("trigger")) {
    ThrowSql("CREATE " + Peek().text + " is not supported by this server.");
  }
  SyntaxError();
}

StmtPtr Parser::ParseDrop() {
  Next();
  if (AcceptWord("table")) {
    auto s = std::make_unique<Stmt>(Stmt::Kind::kDropTable);
    do {
      s->tables.push_back(ParseObjectName());
    } while (AcceptOp(","));
    return s;
  }
  if (AcceptWord("procedure") || AcceptWord("proc")) {
    auto s = std::make_unique<Stmt>(Stmt::Kind::kDropProcedure);
    do {
      s->tables.push_back(ParseObjectName());
    } while (AcceptOp(","));
    return s;
  }
  if (AcceptWord("index")) {
    auto s = std::make_unique<Stmt>(Stmt::Kind::kDropIndex);
    // DROP INDEX table.index or DROP INDEX index ON table (one index).
    std::vector<std::string> parts;
    parts.push_back(ExpectName());
    while (AcceptOp(".")) parts.push_back(ExpectAnyName());
    if (AcceptWord("on")) {
      s->index_name = parts.back();
      s->table = ParseObjectName();
    } else {
      if (parts.size() < 2) SyntaxError();
      s->index_name = parts.back();
      s->table.name = parts[parts.size() - 2];
    }
    return s;
  }
  SyntaxError();
}

StmtPtr Parser::ParseAlter() {
  Next();
  if (AcceptWord("table")) {
    ObjectName table = ParseObjectName();
    if (AcceptWord("add")) {
      auto s = std::make_unique<Stmt>(Stmt::Kind::kAlterTableAdd);
      s->table = table;
      do {
        if (PeekWord("constraint") || PeekWord("primary")) {
          ThrowSql("Table constraints are not supported by this server.");
        }
        s->column_defs.push_back(ParseColumnDef());
      } while (AcceptOp(","));
      return s;
    }
    if (AcceptWord("drop")) {
      ExpectWord("column");
      auto s = std::make_unique<Stmt>(Stmt::Kind::kAlterTableDrop);
      s->table = table;
      do {
        s->columns.push_back(ExpectName());
      } while (AcceptOp(","));
      return s;
    }
    SyntaxError();
  }
  if (AcceptWord("login")) {
    auto s = std::make_unique<Stmt>(Stmt::Kind::kAlterLogin);
    s->login = ExpectName();
    ExpectWord("with");
    ExpectWord("password");
    ExpectOp("=");
    const Token& p = Peek();
    if (p.kind != TokenKind::kString && p.kind != TokenKind::kNString) SyntaxError();
    s->password = Next().text;
    if (AcceptOp(",") || PeekWord("old_password")) {
      ExpectWord("old_password");
      ExpectOp("=");
      Next();
    }
    return s;
  }
  SyntaxError();
}

}  // namespace tellwen::sqlserver::parser_internal
