// Runs the case tables under cases/: every case of every file is one test
// (Cases/<id>), its steps run in order on one session of a fresh database.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "tests/platform/sqlserver/case_check.h"
#include "tests/platform/sqlserver/case_file.h"
#include "tests/platform/sqlserver/server_fixture.h"

namespace tellwen::sqlserver {
namespace {

class Cases : public ServerTest, public ::testing::WithParamInterface<Case> {};

TEST_P(Cases, Run) {
  const Case& c = GetParam();
  ASSERT_FALSE(c.steps.empty());
  if (c.steps[0].batch.empty()) FAIL() << "case file " << c.file << ": " << c.steps[0].error;
  ASSERT_EQ(c.id.find("_DUPLICATE_ID"), std::string::npos) << "ids must be unique";
  for (const CaseStep& step : c.steps) {
    SCOPED_TRACE(c.file + ":" + std::to_string(step.line) + ": " + step.batch);
    BatchResult result;
    SqlError error;
    const bool ok = conn_->Execute(step.batch, &result, &error);
    EXPECT_EQ(StepMismatch(step, ok, result, error), "");
    if (::testing::Test::HasFailure()) return;  // later steps build on this one
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, Cases, ::testing::ValuesIn(LoadCaseFiles(TELLWEN_SQL_CASES)),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.id; });

// The case files themselves: a mistake in one must fail, never pass quietly.
TEST(CaseFile, ReadsStepsRowsAndErrors) {
  std::vector<Case> cases;
  std::string error;
  ASSERT_TRUE(ParseCaseFile("f.cases",
                            "# comment\n"
                            "case one\n"
                            "sql create table t (a int)\n"
                            "ok\n"
                            "sql\n"
                            "  insert t values (1)\n"
                            "  select a, '' from t\n"
                            "rows\n"
                            "  1 | \"\"\n"
                            "\n"
                            "case two\n"
                            "embedded-only the other engine says it otherwise\n"
                            "sql select * from x\n"
                            "error-prefix Invalid\n",
                            &cases, &error))
      << error;
  ASSERT_EQ(cases.size(), 2u);
  ASSERT_EQ(cases[0].steps.size(), 2u);
  EXPECT_EQ(cases[0].steps[1].batch, "insert t values (1)\nselect a, '' from t");
  EXPECT_EQ(cases[0].steps[1].rows, (std::vector<std::string>{"1 | \"\""}));
  EXPECT_EQ(cases[1].steps[0].expect, CaseStep::Expect::kErrorPrefix);
  EXPECT_EQ(cases[1].steps[0].error, "Invalid");
  EXPECT_EQ(cases[0].embedded_only, "");
  EXPECT_EQ(cases[1].embedded_only, "the other engine says it otherwise");
}

TEST(CaseFile, RefusesWhatItCannotCheck) {
  for (const char* text : {
           "sql select 1\nok\n",                                    // before the first case
           "case a\nsql select 1\n",                                // no expectation
           "case a\n",                                              // no step
           "case a-b\nsql select 1\nok\n",                          // id with "-"
           "case a\nsql select 1\nok\ncase a\nsql select 1\nok\n",  // id twice
           "case a\nsql select 1\nrowz\n",                          // unknown keyword
           "case a\nsql select 1\nok\n  stray\n",                   // indented line after ok
           "case a\nok\n",                                          // expectation without sql
           "case a\nsql select 1\nok\nembedded-only why\n",         // after a step
           "case a\nembedded-only\nsql select 1\nok\n",             // without a reason
       }) {
    std::vector<Case> cases;
    std::string error;
    EXPECT_FALSE(ParseCaseFile("f.cases", text, &cases, &error)) << text;
    EXPECT_THAT(error, ::testing::StartsWith("f.cases:")) << text;
  }
}

TEST(CaseFile, RowsQuoteWhatWouldBeAmbiguous) {
  EXPECT_EQ(FormatCaseRow({"a", "", " x", "y ", "p|q", "say \"hi\"", "NULL"}),
            "a | \"\" | \" x\" | \"y \" | \"p|q\" | \"say \"\"hi\"\"\" | NULL");
}

}  // namespace
}  // namespace tellwen::sqlserver
