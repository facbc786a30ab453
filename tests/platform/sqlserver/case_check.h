// Test support: whether a case step's batch gave what the step expects
// (case_file.h), on any engine's connection.
//
// Thread safety: pure function.
#pragma once

#include <string>
#include <vector>

#include "platform/sqlserver/sql_server.h"
#include "tests/platform/sqlserver/case_file.h"

namespace tellwen::sqlserver {

// "" when the outcome matches the step, else what differs.
inline std::string StepMismatch(const CaseStep& step, bool ok, const BatchResult& result,
                                const SqlError& error) {
  const bool wants_error =
      step.expect == CaseStep::Expect::kError || step.expect == CaseStep::Expect::kErrorPrefix;
  if (!wants_error && !ok) return "failed: " + error.description;
  if (wants_error && ok) return "succeeded, expected the error: " + step.error;
  switch (step.expect) {
    case CaseStep::Expect::kOk:
      return "";
    case CaseStep::Expect::kRows: {
      std::vector<std::string> rows;
      for (const auto& row : result.rows) {
        std::vector<std::string> fields;
        for (const Value& v : row) fields.push_back(v.IsNull() ? "NULL" : v.ToText());
        rows.push_back(FormatCaseRow(fields));
      }
      if (rows == step.rows) return "";
      std::string text = "rows:";
      for (const std::string& r : rows) text += "\n  " + r;
      text += "\nexpected:";
      for (const std::string& r : step.rows) text += "\n  " + r;
      return text;
    }
    case CaseStep::Expect::kError:
      return error.description == step.error ? "" : "error: " + error.description;
    case CaseStep::Expect::kErrorPrefix:
      return error.description.rfind(step.error, 0) == 0 ? "" : "error: " + error.description;
  }
  return "";
}

}  // namespace tellwen::sqlserver
