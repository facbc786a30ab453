// The T-SQL function library of the PostgreSQL engine: schema "tsql", the
// server-side functions that translated statements call. Each gives the
// answers of the embedded engine's SQLite function of the same name
// (functions.cc), with the same error texts (raised as errors whose message
// is that text). The SQL is postgres_functions.sql, compiled in.
//
// InstallPostgresFunctions puts the library on a database, with the
// engine's own objects (postgres_session.h): the collation "tsql" and the
// table tsql_procedures. It is cheap when
// the library is there already: tsql.library_version() names the installed
// version (a hash of the library's text), and everything is re-created only
// when it differs. The installation runs in one transaction (the caller's,
// when one is open) under an advisory lock, so connections that install at
// once wait for one another. Functions are replaced in place
// (CREATE OR REPLACE), so indexes on them stay; an index on tsql.fold
// needs a REINDEX when FoldCase changes.
//
// Functions (NULL in gives NULL out, unless said otherwise):
//   Text and comparison
//     fold(text) -> text                 the TSQL collation's key: trailing
//         blanks removed, each code point folded by FoldCase. CompareText(a,
//         b) == 0 exactly when fold(a) = fold(b), and fold(a) COLLATE "C"
//         sorts as CompareText does. Pure ASCII takes a fast path.
//     fold_chars(text) -> text           each code point folded (no trim).
//     eq_low(c, v text), eq_high(c, v text), eq_check(c, v text) -> the
//     ne(c, v text) -> boolean              type of c, boolean, boolean:
//         "c = v" as SQL Server compares a column c with a text v (trailing
//         blanks do not count) written as "c >= eq_low(c, v) AND c <=
//         eq_high(c, v) AND eq_check(c, v)", an index range on c; ne is
//         "c <> v". For c of a number or timestamp type, v is read as that
//         type. Inlined by the planner: the bounds do not read c.
//     sort_key(x, c text)                ORDER BY's key in the embedded
//         engine's order: for text, fold(x), in the collation of c (called
//         with '' COLLATE ucs_basic it sorts as CompareText); a number,
//         timestamp or boolean as it is (inlined by the planner, so an
//         index on the column still gives the order).
//     like(value, pattern) -> boolean    SQL Server's LIKE: %, _, [set],
//     like(value, pattern, escape)         [a-z], [^set], case by FoldCase,
//         the value's trailing blanks ignored. An escape that is not one
//         character: "Invalid escape character specified in the LIKE
//         predicate.".
//     like_prefilter(pattern) -> text    an ILIKE pattern (escape "\") that
//     like_prefilter(pattern, escape)      matches a superset of what
//         like() matches: for "col ILIKE tsql.like_prefilter(p) AND
//         tsql.like(col, p)" with a trigram index on col.
//     patindex(pattern, value) -> bigint     1-based, 0 when none.
//     charindex(needle, haystack [, start bigint]) -> bigint   by FoldCase;
//         a NULL start is 1.
//     replace(value, search, replacement) -> text   search by FoldCase.
//     left(text, bigint), right(text, bigint), substring(text, bigint,
//         bigint) -> text; a negative length is SQL Server's error.
//     len(text) -> bigint                trailing blanks not counted.
//     replicate(text, bigint), space(bigint) -> text   NULL for a negative
//         count; about 8000 bytes at most.
//     reverse, ltrim, rtrim (text) -> text   ltrim/rtrim remove blanks only.
//     fit(text, n bigint) -> text        a value for varchar(n).
//     objid(name text) -> bigint         ObjectIdForName.
//   Numbers
//     int(bigint) -> bigint              overflow error outside 32 bits.
//     div(bigint, bigint), mod(bigint, bigint) -> bigint;
//     div(double precision, double precision) -> double precision
//         with SQL Server's divide-by-zero and overflow errors.
//     div(integer, integer) -> bigint    the same (for int operands).
//     add(a, b): "+" by SQL Server's type precedence, for text, bigint and
//         double precision operands (text + text concatenates, text + a
//         number converts the text).
//     round(bigint, digits bigint) -> bigint; round(double precision,
//         digits bigint) -> double precision   halves away from zero.
//   Dates (part: year, quarter, month, dayofyear, day, week, weekday, hour,
//   minute, second, millisecond; whole seconds, a fraction is dropped)
//     dateadd(part, amount bigint, d timestamp|text) -> timestamp   month
//         ends clamp; outside 1753..9999 or an unknown part: "Adding a value
//         to a 'datetime' column caused an overflow.".
//     datediff(part, a, b) (both timestamp or both text) -> bigint
//         boundaries crossed; 0 for an unknown part.
//     datepart(part, d timestamp|text) -> bigint   Sunday is weekday 1.
//     datename(part, d timestamp|text) -> text     month and day names.
//     to_datetime(text) -> timestamp     the date texts SQL Server reads
//         (ParseDateTime); none: "Conversion failed when converting
//         datetime from character string.".
//     to_datetime(double precision) -> timestamp   days since 1900-01-01.
//     Text arguments are read by to_datetime.
//   CONVERT and CAST: type is the T-SQL type as TypeSpec::ToString writes
//   it ("int", "varchar(20)", "decimal(18, 2)"); value is text, integer,
//   bigint, double precision or timestamp; style is CONVERT's (NULL: none).
//     convert_int(type, value) -> bigint          int, bigint, smallint,
//         tinyint, bit, decimal/numeric without scale.
//     convert_float(type, value) -> double precision   float, real, money,
//         decimal/numeric with a scale.
//     convert_text(type, value [, style]) -> text   char, varchar, text...;
//         a style formats a text or timestamp that reads as a date.
//     convert_datetime(type, value) -> timestamp     datetime, date...
//     convert(type, value [, style]) -> text   any of them, the result as
//         the embedded engine writes it.
//     A type of another kind than the function's is an error.
//   Objects (the tables and procedures of the database)
//     objects() -> (name, type 'U' or 'P', temp)   what dbo.sysobjects lists.
//     object_id(name) -> bigint          OBJECT_ID: objid of the object the
//         (bracketed, dotted) name names, NULL when there is none.
//     objectproperty(id, property) -> integer   IsUserTable, IsTable,
//         IsProcedure; NULL for another property or an unknown id.
//   servername() -> text                @@SERVERNAME: the cluster name, else
//       the server's address ("localhost" over a local socket).
//   getdate() -> timestamp               the server's local time, whole seconds.
//   library_version() -> text
//
// Thread safety: InstallPostgresFunctions uses the link as the link allows
// (one thread at a time); the library's text is built once, thread-safely.
#pragma once

#include <string>
#include <vector>

#include "platform/sqlserver/postgres_link.h"

namespace tellwen::sqlserver {

// Installs or updates schema tsql on link's database; throws SqlException
// when the server refuses it (the transaction is rolled back when it is
// its own).
void InstallPostgresFunctions(PostgresLink& link);

// The library's statements, in order, ready to run; and its version.
const std::vector<std::string>& PostgresFunctionStatements();
const std::string& PostgresFunctionsVersion();

}  // namespace tellwen::sqlserver
