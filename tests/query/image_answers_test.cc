// The image answers of the extension on a fake control block: the on-demand
// ping (through a recording echo and through the real ICMP echo of the
// local host) and the chart request over fixed chart rows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "common/kiv_registry.h"
#include "query/ping_page.h"
#include "query/query_server.h"
#include "tests/common/recording_messages.h"
#include "tests/query/charts/chart_rows.h"
#include "tests/query/fake_ecb.h"
#include "tests/support/temp_dir.h"

namespace tellwen::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Records every host it is asked to echo; answers alive for the hosts given.
class RecordingEcho : public net::EchoService {
 public:
  net::EchoReply Echo(const std::string& host, int timeout_ms) override {
    std::lock_guard<std::mutex> lock(mutex_);
    hosts.push_back(host);
    timeouts.push_back(timeout_ms);
    net::EchoReply reply;
    reply.sent = true;
    reply.status = host == alive_host ? net::EchoStatus::kAlive : net::EchoStatus::kDead;
    return reply;
  }
  std::string alive_host = "127.0.0.1";
  std::vector<std::string> hosts;
  std::vector<int> timeouts;

 private:
  std::mutex mutex_;
};

class ImageAnswers : public ::testing::Test {
 protected:
  void SetUp() override {
    CKIVRegistry settings;
    settings.SetValue("WebStatus", "yes");
    settings.SetValue("SqlServer", "localhost");
    settings.SetValue("SqlDatabase", "nothere");
    settings.SetValue("ShouldShortReport", "1");
    settings.SetValue("ReportFileShort", dir_.path() + "/short.txt");
    settings.SetValue("ReportFileShortDaily", "0");
    std::filesystem::create_directories(Scripts());
    std::ofstream(Scripts() + "pingyes.gif") << "GIF89a-yes";
    std::ofstream(Scripts() + "pingno.gif") << "GIF89a-no";
    server_.SetEchoService(&echo_);
  }
  std::string Scripts() const { return dir_.path() + "/scripts/"; }
  FakeRequest Get(const std::string& query) {
    FakeRequest request(query);
    request.scripts_folder = Scripts();
    EXPECT_EQ(request.Run(server_), kHseStatusSuccess);
    return request;
  }
  std::string Short() {
    std::ifstream in(dir_.path() + "/short.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempDir dir_;
  ScopedEnv registry_root_{"TELLWEN_REGISTRY", dir_.path() + "/registry"};
  ScopedRecordingMessages messages_;
  RecordingEcho echo_;
  query::CQueryServer server_;
};

TEST(PingRules, TimeoutOutsideItsBoundsIsOneSecond) {
  EXPECT_EQ(query::PingTimeoutMs("20"), 1000);
  EXPECT_EQ(query::PingTimeoutMs("20000"), 1000);
  EXPECT_EQ(query::PingTimeoutMs(""), 1000);
  EXPECT_EQ(query::PingTimeoutMs("50"), 50);
  EXPECT_EQ(query::PingTimeoutMs("10000"), 10000);
  EXPECT_EQ(query::PingTimeoutMs("-300"), 1000);
}

TEST(PingRules, OnlyComputerNamesReachTheResolver) {
  EXPECT_EQ(query::PingTargetName("PC-1"), "PC-1");
  EXPECT_EQ(query::PingTargetName("//PC1"), "PC1");
  EXPECT_EQ(query::PingTargetName("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(query::PingTargetName(""), "");
  EXPECT_EQ(query::PingTargetName("//"), "");
  EXPECT_EQ(query::PingTargetName("a b"), "");
  EXPECT_EQ(query::PingTargetName("x'; drop table aall --"), "");
  EXPECT_EQ(query::PingTargetName(std::string("pc\0x", 4)), "");
  EXPECT_EQ(query::PingTargetName(std::string(256, 'a')), "");
}

TEST(PingRules, StatPingRowDoublesQuotes) {
  EXPECT_EQ(query::StatPingStatement("2002-06-13 10:00:00", "10.0.0.1", true, "PC1"),
            "insert stat_ping values ('2002-06-13 10:00:00', '10.0.0.1', 1, 'PC1')");
  EXPECT_EQ(query::StatPingStatement("t", "a", false, "x'); drop table aall --"),
            "insert stat_ping values ('t', 'a', 2, 'x''); drop table aall --')");
}

TEST_F(ImageAnswers, PingOfTheLocalHostAnswersPingYes) {
  CKIVRegistry().SetValue("PingTimeout", "20");
  FakeRequest r = Get("Command?stats=ping&path=127.0.0.1&t=5");
  EXPECT_EQ(r.transmitted, "GIF89a-yes");
  EXPECT_THAT(r.headers, HasSubstr("Content-Type: image/gif"));
  EXPECT_THAT(r.headers, HasSubstr("Content-length: 10"));
  ASSERT_EQ(echo_.hosts.size(), 1u);
  EXPECT_EQ(echo_.hosts[0], "127.0.0.1");
  EXPECT_EQ(echo_.timeouts[0], 1000);
  EXPECT_THAT(Short(), HasSubstr("       127.0.0.1 ping  [127.0.0.1]:  alive  (ip: 127.0.0.1)"));
}

TEST_F(ImageAnswers, NamesThatDoNotResolveOrAreNotNamesAreDeadAndNothingIsSent) {
  for (const char* path : {"nobody.invalid", "%27%3Bdrop", "", "a%20b"}) {
    FakeRequest r = Get(std::string("Command?stats=ping&path=") + path);
    EXPECT_EQ(r.transmitted, "GIF89a-no") << path;
  }
  EXPECT_TRUE(echo_.hosts.empty());
  EXPECT_THAT(Short(), HasSubstr("ping  [nobody.invalid]:  dead  (ip: 0.0.0.0)"));
  EXPECT_THAT(Short(), HasSubstr("ping  [';drop]:  dead"));
}

TEST_F(ImageAnswers, PingIsAnsweredForARestrictedCaller) {
  CKIVRegistry().SetValue("SecurityAllowAllIPs", "0");
  CKIVRegistry().SetValue("WebGrantList", "0|10.1.1.1");
  FakeRequest r = Get("Command?stats=ping&path=127.0.0.1");
  EXPECT_EQ(r.transmitted, "GIF89a-yes");
}

TEST_F(ImageAnswers, MissingIconGivesTheFileOpenPage) {
  std::filesystem::remove(Scripts() + "pingno.gif");
  FakeRequest r = Get("Command?stats=ping&path=nobody.invalid");
  EXPECT_THAT(r.body, HasSubstr("FileOpen&nbsp;failed&nbsp;on&nbsp;'"));
  EXPECT_THAT(r.body, HasSubstr("pingno.gif"));
  EXPECT_TRUE(r.transmitted.empty());
}

TEST_F(ImageAnswers, UrlWithoutSlashGivesTheWeirdResponsePage) {
  FakeRequest r("Command?stats=ping&path=x");
  r.vars["URL"] = "KIVQuery.so";
  r.scripts_folder = Scripts();
  r.Run(server_);
  EXPECT_THAT(r.body, HasSubstr("Weird response from GetServerVariable: KIVQuery.so<br>"));
}

TEST(RealEcho, TheLocalHostAnswersAndAnInvalidNameSendsNothing) {
  net::IcmpEcho echo([](const std::string&) {});
  const net::EchoReply local = echo.Echo("127.0.0.1", 1000);
  if (local.status == net::EchoStatus::kError)
    GTEST_SKIP() << "no ICMP socket: " << local.error_text;
  EXPECT_EQ(local.status, net::EchoStatus::kAlive);
  const net::EchoReply invalid = echo.Echo("nobody.invalid", 1000);
  EXPECT_EQ(invalid.status, net::EchoStatus::kDead);
  EXPECT_FALSE(invalid.sent);
}

TEST_F(ImageAnswers, ChartRequestDrawsOnceAndSendsThePng) {
  int runs = 0;
  query::ChartServices services;
  services.local_now = [] {
    std::tm t{};
    t.tm_year = 102;
    t.tm_mon = 4;
    t.tm_mday = 6;
    t.tm_hour = 14;
    t.tm_min = 30;
    return t;
  };
  services.run_statement = [&runs](const std::string& statement) {
    ++runs;
    EXPECT_THAT(statement, StartsWith("spStatCharts 2, '2002-05-06 14:30:00'"));
    return RowsResult(StatRows(
        8, [](int i) { return i; }, [](int i, int) { return i * 3; }));
  };
  server_.SetChartServices(services);
  FakeRequest first = Get("Command?stats=chart&path=2&t=3&src=1");
  ASSERT_THAT(first.transmitted, StartsWith("\x89PNG"));
  EXPECT_THAT(first.headers, HasSubstr("Content-Type: image/png"));
  EXPECT_TRUE(std::filesystem::exists(Scripts() + "kiv_chart_weekly_03_2002-05-06.png"));
  FakeRequest second = Get("Command?stats=chart&path=2&t=4&src=2");
  EXPECT_THAT(second.transmitted, StartsWith("\x89PNG"));
  EXPECT_EQ(runs, 1);
  EXPECT_THAT(Short(), HasSubstr("127.0.0.1 chart  ["));
}

TEST_F(ImageAnswers, ChartWithoutRowsGivesTheFileOpenPage) {
  query::ChartServices services;
  services.local_now = [] { return std::tm{}; };
  services.run_statement = [](const std::string&) { return RowsResult({}); };
  server_.SetChartServices(services);
  FakeRequest r = Get("Command?stats=chart&path=1&t=1");
  EXPECT_TRUE(r.transmitted.empty());
  EXPECT_THAT(r.body, HasSubstr("FileOpen&nbsp;failed"));
}

}  // namespace
}  // namespace tellwen::testing
