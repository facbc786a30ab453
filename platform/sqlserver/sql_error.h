// The error that stops a batch inside the embedded server.
//
// Inside platform/sqlserver the stages throw SqlException; the session
// (session.h) catches it at the end of the batch and the Connection
// (sql_server.h) hands the caller a description and a source
// as values. Nothing outside this folder sees the exception.
#pragma once

#include <string>
#include <utility>

namespace tellwen::sqlserver {

// The source that every error of the server carries, as the programs expect
// it from their database provider.
inline constexpr const char* kErrorSource = "Microsoft OLE DB Provider for SQL Server";

// SQL Server's texts for a statement beyond the server's limits: nesting
// (parentheses, subqueries, blocks) deeper than the parser and SQLite take,
// and an operator chain longer than one statement may hold.
inline constexpr const char* kNestedTooDeeply =
    "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up "
    "into smaller queries.";
inline constexpr const char* kExpressionTooLong =
    "The query processor ran out of stack space during query optimization. Please simplify the "
    "query.";

// SQL Server's text for a lock not granted within the lock timeout.
inline constexpr const char* kLockTimeoutText = "Lock request time out period exceeded.";

struct SqlException {
  explicit SqlException(std::string d) : description(std::move(d)) {}
  std::string description;
};

[[noreturn]] inline void ThrowSql(std::string description) {
  throw SqlException(std::move(description));
}

}  // namespace tellwen::sqlserver
