// The extension on a fake control block, without a catalog: dispatch order,
// the page frame, the access gates, the home page and the pages that need no
// database.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "base/clock.h"
#include "common/kiv_registry.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "common/update_state.h"
#include "query/access.h"
#include "query/query_server.h"
#include "tests/base/recording_messages.h"
#include "tests/query/extension_fixture.h"
#include "tests/query/fake_ecb.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fake_sql.h"
#include "tests/support/file_text.h"
#include "tests/support/matchers.h"

namespace tellwen::testing {
namespace {

class ServerTest : public ExtensionTest {
 protected:
  void SetUp() override {
    ExtensionTest::SetUp();
    Set("ShouldReport", "1");
    Set("ReportFile", dir_.path() + "/reports/report.txt");
    Set("ReportFileShort", dir_.path() + "/reports/short.txt");
  }
  FakeRequest Get(const std::string& query) {
    FakeRequest request(query);
    EXPECT_EQ(request.Run(server_), kHseStatusSuccess);
    return request;
  }

  query::CQueryServer server_{MachineSettings(), MachineSql(), MachineClock()};
};

TEST_F(ServerTest, NoQueryStringAnswersTheDefaultPage) {
  const FakeRequest r = Get("");
  EXPECT_THAT(r.body, StartsWith("<html><head>"));
  EXPECT_THAT(r.body, HasSubstr("yoooooooo</body></html>"));
  EXPECT_THAT(r.body, EndsWith("<title>execution results</title></head><body>"));
  EXPECT_THAT(Read("reports/report.txt"), HasSubstr("[!]yoooooooo"));
}

TEST_F(ServerTest, ALoneQuoteAnswersTheMinimalPageAndLogsItsCause) {
  const FakeRequest r = Get("Command?search=%22abc");
  EXPECT_EQ(r.headers, "Content-Type: text/html\r\n");
  EXPECT_EQ(r.body, "<html><head><title>execution results</title></head><body></body></html>");
  const std::string report = Read("reports/report.txt");
  EXPECT_THAT(report, HasSubstr("[!]Parse Error"));
  EXPECT_THAT(report, HasSubstr("cause: 8"));
  EXPECT_THAT(report, HasSubstr("A parameter had a bad format (ie, only one quote)"));
  EXPECT_EQ(server_.buffers().Size(), 0u);
}

TEST_F(ServerTest, PingIsAnsweredWithAnImageEvenForARestrictedCaller) {
  Set("SecurityAllowAllIPs", "0");
  FakeRequest r = Request("Command?search=&recordfrom=&recordto=&dowait=&stats=ping&path=PC1&t=1");
  r.Run(server_);
  EXPECT_EQ(r.transmitted, "GIF89a-no");
  EXPECT_EQ(r.headers, "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-length: 9\r\n\r\n");
  EXPECT_EQ(r.body, "");
  EXPECT_EQ(server_.buffers().Size(), 0u);
}

TEST_F(ServerTest, RequestsWithoutAPageAnswerEmpty) {
  for (const char* query :
       {"Command?proxy=12", "Command?page=suggestions", "Command?suggestions_name=x",
        "Command?suggestions_message=hi&search=abc", "Command?proxy=1&page=faq"}) {
    const FakeRequest r = Get(query);
    EXPECT_EQ(r.body, "") << query;
    EXPECT_EQ(r.header_count, 0) << query;
  }
  EXPECT_EQ(server_.buffers().Size(), 0u);
}

TEST_F(ServerTest, DispatchRulesApplyInTheirOrder) {
  FakeRequest ping = Request("Command?stats=ping&proxy=7&page=faq&path=PC1");
  ping.Run(server_);
  EXPECT_EQ(ping.transmitted, "GIF89a-no");                         // ping before download
  EXPECT_EQ(Get("Command?proxy=7&stats=chart&page=faq").body, "");  // download before all pages
  // chart before the pages: no chart can be drawn here, so the file sender's error page
  EXPECT_THAT(Get("Command?stats=chart&page=faq").body, HasSubstr("FileOpen&nbsp;failed"));
  EXPECT_EQ(Get("Command?page=suggestions&stats=yes").body, "");
  EXPECT_THAT(Get("Command?page=faq&stats=yes&search=abc").body,
              HasSubstr("Frequently Asked Questions"));
  EXPECT_EQ(Get("Command?suggestions_subject=x&stats=yes").body, "");  // before statistics
  EXPECT_THAT(Get("Command?stats=yes&search=abc&dirs=on").body,
              HasSubstr("Statistics - Miscellaneous"));
  EXPECT_THAT(Get("Command?stats=browse&search=abc").body, HasSubstr("<title>Tellwen - Browser"));
  // Frame pages (t = a, b or c) stop after the body tag: no logo bar.
  const std::string frame = Get("Command?stats=browse&t=a").body;
  EXPECT_THAT(frame, HasSubstr("/kiv/backsmall.gif"));
  EXPECT_THAT(frame, Not(HasSubstr("logo")));
  EXPECT_EQ(server_.buffers().Size(), 0u);
}

TEST_F(ServerTest, ConcurrentRequestsEachGetTheirWholePage) {
  std::vector<std::thread> threads;
  std::atomic<int> whole{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 15; ++i) {
        FakeRequest r(i % 2 ? "Command" : "Command?search=abc&recordfrom=0&t=" + std::to_string(t));
        r.Run(server_);
        if (r.body.size() > 500 && r.body.rfind("</html>") == r.body.size() - 7) ++whole;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(whole.load(), 8 * 15);
  EXPECT_EQ(server_.buffers().Size(), 0u);
}

TEST_F(ServerTest, AnUnknownPageIsAnEmptyFramedPage) {
  const FakeRequest r = Get("Command?page=whatever&search=abc");
  EXPECT_THAT(r.body, StartsWith("<html><head>"));
  EXPECT_THAT(r.body, EndsWith("</body></html>"));
  EXPECT_THAT(r.body, Not(HasSubstr("<form")));
  EXPECT_THAT(r.body, Not(HasSubstr("<TABLE ID=tdDisp")));
}

TEST_F(ServerTest, TheFaqPageDisablesItsOwnLink) {
  const FakeRequest r = Get("Command?page=faq");
  EXPECT_THAT(r.body,
              HasSubstrings({"<title>Tellwen - Frequently Asked Questions</title>",
                             "What characters may I use in the search box?",
                             "<a disabled style=\"text-decoration:none; color:#808080;\">faq",
                             "?Command?\">&lt;&lt;&nbsp;home</a>"}));
}

TEST_F(ServerTest, StatisticsPagesAreTitledByPathAndMarkTheirLink) {
  EXPECT_THAT(Get("Command?stats=yes&path=files").body,
              HasSubstr("<title>Tellwen - Statistics - Files</title>"));
  EXPECT_THAT(Get("Command?stats=yes&path=topshares&t=1").body,
              HasSubstr("Statistics - Top category shares"));
  EXPECT_THAT(Get("Command?stats=yes&path=topshares").body, HasSubstr("Statistics - Top shares"));
  const FakeRequest r = Get("Command?stats=yes&path=zzz");
  EXPECT_THAT(r.body, HasSubstr("Statistics - Miscellaneous"));
  EXPECT_THAT(r.body, HasSubstr("<a disabled style=\"text-decoration:none; "
                                "color:#808080;\">statistics</a>"));
  EXPECT_THAT(r.body, HasSubstr("&lt;&lt;&nbsp;home</a>"));
  EXPECT_THAT(r.body, HasSubstr("p.gtitlu"));
}

TEST_F(ServerTest, CommandWithoutParametersIsTheHomePage) {
  for (const char* query : {"Command", "Command?", "Command?search=%20%20%20",
                            "Command?search=default&recordfrom=0&recordto=5"}) {
    const FakeRequest r = Get(query);
    EXPECT_EQ(r.status, "200 OK");
    EXPECT_THAT(r.headers, HasSubstr("text/html"));
    EXPECT_THAT(r.body, HasSubstr("<form id=kivform name=kivform "
                                  "action='/scripts/KIVQuery.so?Command' method=post"))
        << query;
    EXPECT_THAT(r.body, HasSubstr("onload=\"LoadSettings();  toggleSize(); checkstuff();"));
    EXPECT_THAT(r.body, HasSubstr("/kiv/logo.gif"));
    EXPECT_THAT(r.body, Not(HasSubstr("tdDisp")));
    EXPECT_THAT(r.body, EndsWith("</body></html>"));
  }
  EXPECT_EQ(Setting("WebCounter"), "4");
}

TEST_F(ServerTest, TheHomePageShowsTheIndexDateAndAllThreeLinks) {
  Set("DataOfTheIndex", "last index on 07-Dec-2026");
  const FakeRequest r = Get("Command");
  EXPECT_THAT(
      r.body,
      HasSubstrings({"last index on 07-Dec-2026 <br>", "?Command?page=faq\">faq</a>",
                     "?Command?stats=yes\">statistics</a>", "?Command?stats=browse\">browse</a>"}));
  EXPECT_THAT(r.body, Not(HasSubstr("home</a>")));
}

TEST_F(ServerTest, VisitorCounterWrapsAndIgnoresBadValues) {
  Set("WebCounter", "9999999");
  EXPECT_THAT(Get("Command").body, HasSubstr(">0000000</p>"));
  EXPECT_EQ(Setting("WebCounter"), "0");
  Set("WebCounter", "-5");
  EXPECT_THAT(Get("Command").body, HasSubstr(">0000001</p>"));
  Set("WebCounter", "41");
  EXPECT_THAT(Get("Command").body, HasSubstr("title='number of visitors'"));
  EXPECT_EQ(Setting("WebCounter"), "42");
  EXPECT_EQ(query::NextVisitorNumber(10000000), 1);
  EXPECT_EQ(query::NextVisitorNumber(0), 1);
}

TEST_F(ServerTest, BannerByTextAndSeverity) {
  Set("FirstPageInfo", "N/A");
  EXPECT_THAT(Get("Command").body, Not(HasSubstr("&nbsp;&nbsp;&nbsp;N/A")));
  Set("FirstPageInfo", "Update running");
  Set("FirstPageInfoSeverity", "high");
  const std::string high = Get("Command").body;
  EXPECT_THAT(high, HasSubstr("color:#ee1122;\">&nbsp;&nbsp;&nbsp;Update "
                              "running&nbsp;&nbsp;&nbsp;</p>"));
  Set("FirstPageInfoSeverity", "medium");
  EXPECT_THAT(Get("Command").body, HasSubstr("color:#117733;"));
  Set("FirstPageInfoSeverity", "other");
  EXPECT_THAT(Get("Command").body, HasSubstr("color:#445077;"));
}

TEST_F(ServerTest, CategoriesFillTheListOrHideItsRow) {
  Set("CategoriesEditForWeb", "0");
  EXPECT_THAT(Get("Command").body,
              HasSubstr("document.getElementById('cat').style.display='none'"));
  Set("CategoriesEditForWeb", "0|Audio/*.mp3|broken|Movies/*.avi|<x>/*.y");
  const std::string body = Get("Command").body;
  EXPECT_THAT(body, HasSubstr("<option>Audio</option>\n<option>Movies</option>\n"
                              "<option>&lt;x&gt;</option>\n</select>"));
  EXPECT_THAT(body, Not(HasSubstr("style.display='none'")));
}

TEST_F(ServerTest, NoAllowAllAndAnEmptyGrantListForbidsEveryone) {
  Set("SecurityAllowAllIPs", "0");
  Set("WebGrantList", "0");
  const FakeRequest r = Get("Command?search=abc");
  EXPECT_THAT(r.body, HasSubstr("Access is FORBIDDEN from your address."));
  EXPECT_THAT(r.body, HasSubstr("If you feel that was a mistake please contact your"));
  EXPECT_THAT(r.body, Not(HasSubstr("LoadSettings")));
  EXPECT_THAT(r.body, Not(HasSubstr("<TABLE ID=tdDisp")));
  EXPECT_THAT(r.body, EndsWith("</html>"));
  Set("WebGrantList", "0|127.0.0.1");
  EXPECT_THAT(Get("Command").body, HasSubstr("kivform"));
}

TEST_F(ServerTest, BanListMatchesWholeAddressesOnly) {
  Settings& settings = MachineSettings();
  auto restricted = [&](const std::string& address) {
    return query::IsRestricted(address, query::ReadSiteSettings(settings).access);
  };
  settings.SetValue("WebBanList", "0|127.0.0.1 |10.0.0.1");
  EXPECT_FALSE(restricted("127.0.0.1"));
  EXPECT_TRUE(restricted("10.0.0.1"));
  EXPECT_FALSE(restricted("10.0.0.10"));
  // Every field is an entry, the leading one included.
  EXPECT_TRUE(restricted("0"));
  settings.SetValue("SecurityAllowAllIPs", "0");
  settings.SetValue("WebGrantList", "127.0.0.1|10.0.0.2");
  EXPECT_FALSE(restricted("127.0.0.1"));
  EXPECT_TRUE(restricted("127.0.0.2"));
}

TEST_F(ServerTest, UpdatingServiceReloadsAfterFiveMinutes) {
  Set("WebStatus", "updating");
  const FakeRequest r = Get("Command?search=abc");
  EXPECT_THAT(r.body, HasSubstrings({"Service is UPDATING...", "Please try again later.",
                                     "var min = '05';", "document.location.reload()",
                                     "onload=\"setInterval('clock()', 1000);\"",
                                     "automatic page refresh in <b id=ceasu>"}));
  EXPECT_THAT(Read("reports/short.txt"), HasSubstr("127.0.0.1 updating"));
}

// What an update job left when it died (the lock free): the next request
// puts the saved values back and is served. While the job runs (it holds the
// lock) the site shows the updating page and writes nothing back.
TEST_F(ServerTest, UpdatingLeftByADeadUpdateIsPutBackButNeverWhileOneRuns) {
  const std::string folder = dir_.path() + "/data";
  Set("WebStatus", "updating");
  Set("FirstPageInfo", kUpdateBanner);
  Set("FirstPageInfoSeverity", "high");
  {
    UpdateLock job;
    ASSERT_TRUE(job.Acquire(folder, std::chrono::milliseconds(0)).ok());
    ASSERT_TRUE(WriteUpdateStateFile(folder, {"yes", "Welcome", "low"}).ok());
    EXPECT_THAT(Get("Command?search=abc").body, HasSubstr("Service is UPDATING..."));
    EXPECT_EQ(Setting("WebStatus"), "updating");
    EXPECT_EQ(Setting("FirstPageInfo"), kUpdateBanner);
  }  // the job dies
  const FakeRequest r = Get("Command?search=abc");
  EXPECT_THAT(r.body, Not(HasSubstr("UPDATING")));
  EXPECT_EQ(Setting("WebStatus"), "yes");
  EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
  EXPECT_EQ(Setting("FirstPageInfoSeverity"), "low");
}

TEST_F(ServerTest, ClosedServiceIsDownAndARestrictedCallerStillSeesForbidden) {
  Set("WebStatus", "no");
  const std::string down = Get("Command").body;
  EXPECT_THAT(down, HasSubstr("Service is temporary DOWN."));
  EXPECT_THAT(down, HasSubstr("Sorry for inconvenience."));
  EXPECT_THAT(down, Not(HasSubstr("ceasu")));
  Set("WebStatus", "updating");
  Set("WebBanList", "0|127.0.0.1");
  const std::string forbidden = Get("Command").body;
  EXPECT_THAT(forbidden, HasSubstr("Access is FORBIDDEN from your address."));
  EXPECT_THAT(forbidden, Not(HasSubstr("UPDATING")));
  EXPECT_THAT(forbidden, Not(HasSubstr("ceasu")));
  EXPECT_THAT(Read("reports/short.txt"), HasSubstr("127.0.0.1 restricted"));
}

TEST_F(ServerTest, InvalidCharactersShowTheInvalidStringPageWithoutWaiting) {
  const FakeRequest r = Get("Command?search=a%2Fb&recordfrom=0&recordto=199&dirs=on");
  EXPECT_THAT(r.body,
              HasSubstrings({"You have entered an <b style=\"color:red;\">invalid string</b>",
                             "document.title='KIV - You have entered an invalid string';",
                             "<title>Tellwen - Searching...&nbsp;&nbsp;&nbsp;please wait!"}));
  EXPECT_THAT(r.body, Not(HasSubstr("<TABLE ID=tdDisp")));
  EXPECT_THAT(Read("reports/report.txt"), HasSubstr("invalid string OK"));
}

TEST_F(ServerTest, OutOfRangeNumbersGetTheRefusalText) {
  const FakeRequest r = Get("Command?search=abc&recordfrom=0&recordto=2900&dirs=on");
  EXPECT_THAT(r.body, HasSubstr("yooo man, what the heck r u doing??"));
  EXPECT_THAT(r.body, Not(HasSubstr("<TABLE ID=tdDisp")));
  EXPECT_THAT(Read("reports/report.txt"), HasSubstr("[!]SHIT HAPPENS"));
}

TEST_F(ServerTest, ADatabaseFailureShowsTheFatalBlockAndEndsThePage) {
  const FakeRequest r = Get("Command?search=abc&recordfrom=0&recordto=199&dirs=on&files=on");
  ASSERT_GE(r.writes.size(), 3u);
  // Head, then the wait block before the search ran, then the page.
  EXPECT_THAT(r.writes[1], StartsWith("<TABLE ID=tdDisp"));
  EXPECT_THAT(r.writes[1], HasSubstr("var timpullaserver = new Date("));
  EXPECT_THAT(r.body, HasSubstrings({"KIVQuery fatal ERROR", "type: <span style=\"color:red;\">\"",
                                     "kivw.style.display = 'none'"}));
  EXPECT_THAT(r.body, EndsWith("</html>"));
  EXPECT_THAT(Read("reports/report.txt"), HasSubstr("unexpected error: "));
  EXPECT_THAT(Read("reports/short.txt"), HasSubstr(";  ERR/ 200]"));
  EXPECT_THAT(Read("reports/short.txt"), HasSubstr("  --:--  ["));
}

TEST_F(ServerTest, NoScopeGivesZeroResultsWithoutTheDatabase) {
  const FakeRequest r = Get("Command?search=abc&recordfrom=0&recordto=199");
  EXPECT_THAT(r.body, HasSubstrings({"no records found", "inside nothing", "no more results",
                                     "id=tablenav1"}));
  EXPECT_THAT(r.body, Not(HasSubstr("id=tablenav2")));
  EXPECT_THAT(r.body, Not(HasSubstr("&amp;recordfrom=")));
  EXPECT_THAT(r.body, HasSubstr("kivShow('tablenav1', '');"));
  EXPECT_THAT(r.body, HasSubstr("document.title='KIV - Search results for \\'abc\\'';"));
  EXPECT_THAT(r.body, Not(HasSubstr("fatal")));
}

TEST_F(ServerTest, ShortReportSplitsPerDayBeforeAThreeLetterExtension) {
  EXPECT_EQ(query::ShortReportPath("/r/short.txt", false, 0), "/r/short.txt");
  const std::string daily = query::ShortReportPath("/r/short.txt", true, 86400 * 200);
  EXPECT_THAT(daily, StartsWith("/r/short - 1970-"));
  EXPECT_THAT(daily, EndsWith(".txt"));
  EXPECT_EQ(query::ShortReportPath("/r/short.text", true, 0), "/r/short.text");
}

TEST_F(ServerTest, RequestIdsAreTenDigitsWithAWrappingCounter) {
  std::set<std::string> counters;
  for (int i = 0; i < 150; ++i) {
    const std::string id = query::MakeRequestId(1796633640);
    ASSERT_EQ(id.size(), 10u);
    EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos);
    counters.insert(id.substr(8));
  }
  EXPECT_EQ(counters.size(), 100u);
}

TEST(Exports, VersionDescriptionAndTermination) {
  FakeSettings settings;
  FakeSql sql;
  FakeClock clock;
  query::CQueryServer server(settings, sql, clock);
  HseVersionInfo version{};
  EXPECT_TRUE(server.GetExtensionVersion(&version));
  EXPECT_STREQ(version.lpszExtensionDesc, "KIVQuery Extension");
  EXPECT_EQ(version.dwExtensionVersion, kHseVersion);
  EXPECT_TRUE(server.TerminateExtension(kHseTermMustUnload));
  EXPECT_EQ(server.GetTitle(), "execution results");
}

}  // namespace
}  // namespace tellwen::testing
