// Request text in report lines: the one cut (LogSafe) and every page that
// writes a request text to a report going through it, so that long requests
// cannot grow a report by more than a bounded line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/kiv_registry.h"
#include "common/settings.h"
#include "query/query_server.h"
#include "query/report_text.h"
#include "tests/base/recording_messages.h"
#include "tests/query/charts/chart_clock.h"
#include "tests/query/extension_fixture.h"
#include "tests/query/fake_ecb.h"
#include "tests/support/fake_echo.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fake_sql.h"
#include "tests/support/file_text.h"
#include "tests/support/matchers.h"
#include "tests/support/temp_dir.h"

namespace tellwen::testing {
namespace {

TEST(LogSafe, CutsAfterTheLimitAndShowsControlBytesAsQuestionMarks) {
  EXPECT_EQ(query::LogSafe("a\r\nb\x7f"
                           "c\t"),
            "a??b?c?");
  EXPECT_EQ(query::LogSafe(std::string(query::kReportTextLimit, 'x')),
            std::string(query::kReportTextLimit, 'x'));
  EXPECT_TRUE(query::LogSafe(std::string(1 << 20, 'x')) ==
              std::string(query::kReportTextLimit, 'x'));
  // "é" (two bytes) across the limit is left out whole.
  const std::string accents = std::string(query::kReportTextLimit - 1, 'x') + "\xc3\xa9tail";
  EXPECT_TRUE(query::LogSafe(accents) == std::string(query::kReportTextLimit - 1, 'x'));
  // Bytes that are not UTF-8 are cut as bytes.
  EXPECT_EQ(query::LogSafe(std::string(1000, '\x80')).size(), query::kReportTextLimit);
}

class ReportLines : public ExtensionTest {
 protected:
  void SetUp() override {
    ExtensionTest::SetUp();
    Set("ShouldShortReport", "1");
    Set("ReportFileShort", dir_.path() + "/short.txt");
    Set("ShouldReport", "1");
    Set("ReportFile", dir_.path() + "/detail.txt");
    server_.SetEchoService(&echo_);
  }
  // Posts the form; long texts come as a body, as a browser sends them.
  void Post(const std::string& form) {
    FakeRequest request = Request("Command", "POST", form);
    request.vars["HTTP_REFERER"] = "http://x/" + Long('r');
    EXPECT_EQ(request.Run(server_), kHseStatusSuccess);
  }
  static std::string Long(char c) { return std::string(256 * 1024, c); }
  // The longest line of a report file.
  size_t LongestLine(const std::string& name) {
    std::istringstream in(Read(name));
    size_t longest = 0;
    for (std::string line; std::getline(in, line);) longest = std::max(longest, line.size());
    return longest;
  }

  FakeEcho echo_{{"127.0.0.1"}};
  FakeSql sql_;
  ChartClock clock_;
  query::CQueryServer server_{MachineSettings(), sql_, clock_};
};

TEST_F(ReportLines, LongRequestTextsAreCutInEveryLineOfBothReports) {
  Post("stats=chart&path=" + Long('p') + "&t=" + Long('t'));
  Post("stats=browse&t=a&path=" + Long('b'));
  Post("stats=browse&t=b&path=//" + Long('b'));
  Post("stats=ping&path=" + Long('n'));
  Post("search=abc&recordfrom=0&recordto=199&dirs=on&fromcategory=on&searchcategory=" + Long('c') +
       "&src=" + Long('s'));
  Post("search=" + Long('q') + "&recordfrom=0&recordto=199&dirs=on");
  Post("");
  const std::string short_report = Read("short.txt");
  EXPECT_THAT(short_report, HasSubstr(" chart  ["));
  EXPECT_THAT(short_report, HasSubstr(" browse [a - "));
  EXPECT_THAT(short_report, HasSubstr(" ping  ["));
  EXPECT_THAT(short_report, HasSubstr("\"abc\""));
  // Each line holds at most a few cut texts besides its fixed fields.
  EXPECT_LT(LongestLine("short.txt"), 5 * query::kReportTextLimit);
  EXPECT_LT(short_report.size(), 20 * 5 * query::kReportTextLimit);
  EXPECT_LT(LongestLine("detail.txt"), 5 * query::kReportTextLimit);
  EXPECT_LT(Read("detail.txt").size(), 1024u * 1024u);
}

TEST_F(ReportLines, AFullDiskIsReportedOnceWhileSearchesStillShowTheirResults) {
  std::atomic<bool> full{true};
  sql_.set_rule([&](const std::string& batch, int, SqlResult* result) {
    const bool search = batch.find("spSearch") != std::string::npos;
    const bool writes = batch.find("insert ") != std::string::npos ||
                        (search && batch.find(", 0;") == std::string::npos);
    if (full && writes) {
      FakeSql::Fail(result, "database or disk is full");
    } else if (search) {
      result->rows = {{"//PC1", "music", "", "", "found.mp3", "12", "2002-02-15 17:38:32", "7", "0",
                       "0,0,0,0,0,0"}};
    }
  });
  const std::string form = "search=found&recordfrom=0&recordto=199&dirs=on&files=on";
  for (int i = 0; i < 3; ++i) {
    FakeRequest request = Request("Command", "POST", form);
    request.Run(server_);
    EXPECT_THAT(request.body, HasSubstr(">found.mp3</a>"));
    EXPECT_THAT(request.body, Not(HasSubstr("fatal ERROR")));
  }
  full = false;
  Post(form);
  const std::string detail = Read("detail.txt");
  EXPECT_EQ(Occurrences(detail, "the log rows cannot be written"), 1u) << detail;
  EXPECT_EQ(Occurrences(detail, "disk is full"), 1u);
  EXPECT_EQ(Occurrences(detail, "the log rows can be written again"), 1u);
}

}  // namespace
}  // namespace tellwen::testing
