// The translator's PostgreSQL dialect: what differs from SQLite's in the
// text the translator writes, applied to that text, and T-SQL types as
// PostgreSQL names them.
//
// In the PostgreSQL dialect (TranslatorContext::PostgresDialect) the
// translator itself writes literals into the text (the server then gives
// them the type their context asks for, as SQL Server converts constants),
// variables as parameters cast to their declared types, LIKE as
// tsql.like(), "=" and "<>" of a column and a text through tsql.eq_low,
// eq_high, eq_check and ne (trailing blanks do not count), and ORDER BY
// terms as their keys (tsql.sort_key: texts by their folds in code-point
// order, as the embedded engine sorts them; a SELECT DISTINCT so ordered
// is DISTINCT ON those keys, a compound SELECT is sorted outside).
// PostgresText does the rest on the finished text: quoted names are
// written in lower case (T-SQL's names ignore letter case, the server's
// quoted ones do not); outside literals and names, "?" parameters become
// $1, $2, ...; the functions of the tsql_ family become those of the tsql
// schema (postgres_functions.h); ifnull() becomes coalesce(), max(0, ...)
// greatest(0, ...), last_insert_rowid() lastval().
//
// Thread safety: pure functions.
#pragma once

#include <string>

#include "platform/sqlserver/ast.h"

namespace tellwen::sqlserver {

std::string PostgresText(const std::string& text);

// The PostgreSQL type of a T-SQL type: integer, bigint, smallint (tinyint
// and bit too), varchar(n) (text for max, and for the text types),
// timestamp(3) (datetime, smalldatetime, date), double precision, real,
// numeric(p, s) (decimal, numeric, money); "" for a type the engine does
// not take.
std::string PostgresType(const TypeSpec& type);

}  // namespace tellwen::sqlserver
