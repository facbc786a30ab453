// Substring indexes: a trigram index over one text column of a table, kept
// by the server beside the table, so that "column LIKE '%text%'" reads the
// rows holding the pattern's literal text instead of the whole table.
//
// An index is an SQLite FTS5 table (trigram tokenizer, contentless, no
// positions) named "_tsql_sub$<random>" holding, per row of the table (by
// rowid), the column's value folded to lower case as the TSQL collation
// folds it (FoldedText). The registry table "_tsql_substring" says which
// index belongs to which table and column, and whether it is still valid:
// triggers on the table mark it invalid at the first INSERT, DELETE or
// UPDATE of the column after it was built, so a stale index is never read.
// The server builds one when CREATE INDEX names a single column listed in
// ConnectOptions::substring_columns of a table with an INTEGER PRIMARY KEY
// in the database's main file, drops it with its table and follows
// sp_rename of the table (the registry is updated in the same transaction).
//
// The index only narrows the candidates: the planner (planner.h) ANDs
// the candidate filter to the statement's own condition, so every row is
// checked with the server's LIKE and the answer is that of a scan. FTS5
// never sees a T-SQL pattern: only trigrams of its literal runs, each a
// quoted token (FTS5 would read "[" and "_" by its own rules otherwise).
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace tellwen::sqlserver {

// The registry of substring indexes in a database's main file.
inline constexpr const char* kSubstringRegistry = "_tsql_substring";
inline constexpr const char* kSubstringRegistryDdl =
    "CREATE TABLE IF NOT EXISTS main._tsql_substring (fts TEXT PRIMARY KEY, tbl TEXT NOT NULL "
    "COLLATE NOCASE, col TEXT NOT NULL COLLATE NOCASE, valid INT NOT NULL)";

// Shortest literal run worth an index look-up (one trigram).
inline constexpr size_t kMinLiteralRun = 3;

// The FTS5 query that every value matching the T-SQL LIKE pattern (no
// escape character) satisfies: the AND of the trigrams of its literal runs
// of kMinLiteralRun or more characters, each as a quoted token. "" when the
// pattern has no such run (the index cannot narrow it).
std::string SubstringMatchQuery(std::string_view like_pattern);

}  // namespace tellwen::sqlserver
