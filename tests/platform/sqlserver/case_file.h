// Test support: the SQL server's case tables.
//
// A case file (cases/*.cases) holds cases, each a stable id and steps run in
// order on one session of a fresh database. A step is a batch and what it
// must give:
//
//   # a comment
//   case insert_counts_values            the id: letters, digits, "_"
//   sql create table t (a int)           a one-line batch ...
//   ok                                   ... that must succeed
//   sql                                  a batch of several lines, each
//     insert t values (1)                indented by two blanks
//     select a, 'x ' from t
//   rows                                 its first row set, one row a line,
//     1 | "x "                           fields between " | "
//   sql select * from nothere
//   error Invalid object name 'nothere'.       the exact description
//   error-prefix There are more columns        or its beginning
//   embedded-only no identity yet        (after "case") not run on the
//                                        PostgreSQL engine, and why
//
// A field shows NULL as NULL; one that is empty, has blanks at either end or
// holds "|" or a quote is written in double quotes ("" for a quote inside).
// "rows" without row lines expects an empty row set.
//
// Thread safety: plain data and pure functions.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tellwen::sqlserver {

struct CaseStep {
  enum class Expect { kOk, kRows, kError, kErrorPrefix };
  std::string batch;
  Expect expect = Expect::kOk;
  std::vector<std::string> rows;  // kRows: each row as FormatCaseRow writes it
  std::string error;              // kError, kErrorPrefix
  int line = 0;                   // of the step's "sql" line
};

struct Case {
  std::string id;
  std::string file;
  int line = 0;
  std::vector<CaseStep> steps;
  // "embedded-only <why>" after the case line: the case is not run on the
  // PostgreSQL engine, for the reason given.
  std::string embedded_only;
};

// Names a case in test listings by its file and line (so that the listed
// names stay the same from one build to the next).
inline void PrintTo(const Case& c, std::ostream* out) { *out << c.file << ":" << c.line; }

// Reads one case file's text; false with *error ("file:line: why") when it
// is malformed.
bool ParseCaseFile(const std::string& file, const std::string& text, std::vector<Case>* cases,
                   std::string* error);

// Every case of the *.cases files in folder, in file order. A malformed
// file comes back as one case that fails (its first step holds no batch and
// the error); a repeated id gets "_DUPLICATE_ID" appended.
std::vector<Case> LoadCaseFiles(const std::string& folder);

// A row as the case files write it.
std::string FormatCaseRow(const std::vector<std::string>& fields);

}  // namespace tellwen::sqlserver
