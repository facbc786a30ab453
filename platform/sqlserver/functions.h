// The SQL Server functions, the collation and the LIKE operator, registered
// on every SQLite connection the server opens.
//
// "TSQL" is the collation of every text column: case-insensitive, trailing
// blanks ignored. like() is replaced by SQL Server's LIKE. tsql_add is "+"
// when the operand types are only known at run time. The rest are the
// built-in functions the translator maps T-SQL calls to (tsql_left,
// tsql_convert, tsql_dateadd, tsql_object_id, ...).
//
// Thread safety: registration is per connection; the functions keep no
// shared state.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "base/clock.h"
#include "platform/sqlserver/value.h"

namespace tellwen::sqlserver {

// Registers everything on db; returns SQLITE_OK or the first failure.
int RegisterFunctions(sqlite3* db);
// GETDATE() of the connection reads clock from now on (not owned; outlives
// the connection).
int UseClockForGetDate(sqlite3* db, Clock* clock);

// The object id SQL Server would give a table or procedure name (stable
// across sessions: a hash of the lower-case name).
int64_t ObjectIdForName(const std::string& name);

// This machine's name, as @@SERVERNAME reports it.
std::string ServerName();

Value ValueFromSqlite(sqlite3_value* v);
void ResultValue(sqlite3_context* ctx, const Value& v);
// Reads column i of a stepped statement.
Value ColumnValue(sqlite3_stmt* stmt, int i);
// Binds v to parameter index (1-based).
int BindValue(sqlite3_stmt* stmt, int index, const Value& v);

}  // namespace tellwen::sqlserver
