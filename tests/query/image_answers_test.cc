// The image answers of the extension on a fake control block: the on-demand
// ping (through a recording echo and through the real ICMP echo of the
// local host) and the chart request over fixed chart rows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "common/kiv_registry.h"
#include "common/settings.h"
#include "query/download.h"
#include "query/ping_page.h"
#include "query/query_server.h"
#include "tests/base/recording_messages.h"
#include "tests/query/charts/chart_clock.h"
#include "tests/query/charts/chart_rows.h"
#include "tests/query/extension_fixture.h"
#include "tests/query/fake_ecb.h"
#include "tests/support/fake_echo.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fake_sql.h"
#include "tests/support/file_text.h"
#include "tests/support/local_time.h"
#include "tests/support/matchers.h"
#include "tests/support/temp_dir.h"

namespace tellwen::testing {
namespace {

class ImageAnswers : public ExtensionTest {
 protected:
  void SetUp() override {
    ExtensionTest::SetUp();
    Set("ShouldShortReport", "1");
    Set("ReportFileShort", dir_.path() + "/short.txt");
    server_.SetEchoService(&echo_);
  }
  FakeRequest Get(const std::string& query) {
    FakeRequest request = Request(query);
    EXPECT_EQ(request.Run(server_), kHseStatusSuccess);
    return request;
  }
  std::string Short() const { return Read("short.txt"); }

  FakeEcho echo_{{"127.0.0.1"}};
  FakeSql sql_;
  ChartClock clock_;
  query::CQueryServer server_{MachineSettings(), sql_, clock_};
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
  ASSERT_EQ(echo_.calls.size(), 1u);
  EXPECT_EQ(echo_.calls[0], std::make_pair(std::string("127.0.0.1"), 1000));
  EXPECT_THAT(Short(), HasSubstr("       127.0.0.1 ping  [127.0.0.1]:  alive  (ip: 127.0.0.1)"));
}

TEST_F(ImageAnswers, NamesThatDoNotResolveOrAreNotNamesAreDeadAndNothingIsSent) {
  for (const char* path : {"nobody.invalid", "%27%3Bdrop", "", "a%20b"}) {
    FakeRequest r = Get(std::string("Command?stats=ping&path=") + path);
    EXPECT_EQ(r.transmitted, "GIF89a-no") << path;
  }
  EXPECT_TRUE(echo_.calls.empty());
  EXPECT_THAT(Short(), HasSubstr("ping  [nobody.invalid]:  dead  (ip: 0.0.0.0)"));
  EXPECT_THAT(Short(), HasSubstr("ping  [';drop]:  dead"));
}

// Run by tests/platform/net/silent-resolver-check, whose name server never
// answers: the ping's look-up ends within PingTimeout, so a ping holds its
// request thread no longer than that (skipped elsewhere).
TEST_F(ImageAnswers, SilentResolverPingOfAHungNameIsDeadWithinThePingTimeout) {
  if (std::getenv("TELLWEN_SILENT_RESOLVER") == nullptr) {
    GTEST_SKIP() << "runs under tests/platform/net/silent-resolver-check only";
  }
  CKIVRegistry().SetValue("PingTimeout", "300");
  std::vector<std::thread> pings;
  std::atomic<int> late{0}, alive{0};
  for (int i = 0; i < 12; ++i) {
    pings.emplace_back([&, i] {
      const auto start = std::chrono::steady_clock::now();
      FakeRequest r = Get("Command?stats=ping&path=hung-" + std::to_string(i) + ".example");
      if (std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(1300)) ++late;
      if (r.transmitted != "GIF89a-no") ++alive;
    });
  }
  for (std::thread& ping : pings) ping.join();
  EXPECT_EQ(late.load(), 0);
  EXPECT_EQ(alive.load(), 0);
  EXPECT_TRUE(echo_.calls.empty());
  EXPECT_THAT(Short(), HasSubstr("ping  [hung-3.example]:  dead  (ip: 0.0.0.0)"));
}

// An echo that holds its callers until released: computers that never
// answer.
class HeldEcho : public net::EchoService {
 public:
  net::EchoReply Echo(const std::string&, int) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waiting_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    return {net::EchoStatus::kDead, true, ""};
  }
  bool WaitForCallers(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return waiting_ >= count; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t waiting_ = 0;
  bool released_ = false;
};

TEST_F(ImageAnswers, PingsPastTheCapAreAnsweredBusyAtOnceAndThePlacesComeBack) {
  HeldEcho held;
  server_.SetEchoService(&held);
  std::vector<std::string> answers(query::kMaxPings);
  std::vector<std::thread> pings;
  for (size_t i = 0; i < query::kMaxPings; ++i) {
    pings.emplace_back(
        [&, i] { answers[i] = Get("Command?stats=ping&path=127.0.0.1").transmitted; });
  }
  ASSERT_TRUE(held.WaitForCallers(query::kMaxPings));
  const FakeRequest busy = Get("Command?stats=ping&path=127.0.0.1");
  EXPECT_EQ(busy.status, "503 Service Unavailable");
  EXPECT_THAT(busy.headers, HasSubstr("Retry-After: 5"));
  EXPECT_THAT(busy.body, HasSubstr(query::kPingsBusyText));
  held.Release();
  for (std::thread& ping : pings) ping.join();
  for (const std::string& answer : answers) EXPECT_EQ(answer, "GIF89a-no");
  server_.SetEchoService(&echo_);
  EXPECT_EQ(Get("Command?stats=ping&path=127.0.0.1").transmitted, "GIF89a-yes");
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
  clock_.local_time = LocalTime(2002, 5, 6, 14, 30);
  sql_.set_rule([&runs](const std::string& statement, int, SqlResult* result) {
    ++runs;
    EXPECT_THAT(statement, StartsWith("spStatCharts 2, '2002-05-06 14:30:00'"));
    *result = RowsResult(StatRows(
        8, [](int i) { return i; }, [](int i, int) { return i * 3; }));
  });
  FakeRequest first = Get("Command?stats=chart&path=2&t=3&src=1");
  ASSERT_THAT(first.transmitted, StartsWith("\x89PNG"));
  EXPECT_THAT(first.headers, HasSubstr("Content-Type: image/png"));
  EXPECT_TRUE(std::filesystem::exists(Scripts() + "kiv_chart_weekly_03_2002-05-06.png"));
  FakeRequest second = Get("Command?stats=chart&path=2&t=4&src=2");
  EXPECT_THAT(second.transmitted, StartsWith("\x89PNG"));
  EXPECT_EQ(runs, 1);
  EXPECT_THAT(Short(), HasSubstr("127.0.0.1 chart  ["));
}

TEST_F(ImageAnswers, AChartThatCannotBeCachedIsSentAllTheSame) {
  sql_.set_rule([](const std::string&, int, SqlResult* result) {
    *result = RowsResult(StatRows(
        8, [](int i) { return i; }, [](int i, int) { return i; }));
  });
  FakeRequest request = Request("Command?stats=chart&path=2&t=3");
  request.scripts_folder = dir_.path() + "/full/";  // nothing can be written there
  EXPECT_EQ(request.Run(server_), kHseStatusSuccess);
  EXPECT_EQ(request.status, "200 OK");
  EXPECT_THAT(request.headers, HasSubstr("Content-Type: image/png"));
  EXPECT_THAT(request.body, StartsWith("\x89PNG"));
}

TEST_F(ImageAnswers, ChartWithoutRowsGivesTheFileOpenPage) {
  FakeRequest r = Get("Command?stats=chart&path=1&t=1");
  EXPECT_TRUE(r.transmitted.empty());
  EXPECT_THAT(r.body, HasSubstr("FileOpen&nbsp;failed"));
}

}  // namespace
}  // namespace tellwen::testing

namespace tellwen::testing {
namespace {

// A network whose one file is served in blocks, recording the largest read.
class OneFileNetwork : public net::Network {
 public:
  net::NetStatus AddConnection(const net::NetResource&, const net::NetAccount&) override {
    return net::NetStatus::kOk;
  }
  net::NetStatus CancelConnection(const std::string&, bool) override { return net::NetStatus::kOk; }
  std::unique_ptr<net::ResourceEnumeration> OpenEnum(const net::NetResource*,
                                                     net::NetStatus* status) override {
    *status = net::NetStatus::kError;
    return nullptr;
  }
  net::NetStatus ShareList(const std::string&, std::vector<std::string>*) override {
    return net::NetStatus::kError;
  }
  std::unique_ptr<net::FolderListing> FindFirst(const std::string&,
                                                net::NetStatus* status) override {
    *status = net::NetStatus::kError;
    return nullptr;
  }
  net::NetStatus GetFileAttributes(const std::string&, net::FileAttributes*) override {
    return net::NetStatus::kError;
  }
  std::unique_ptr<net::FileReader> OpenFile(const std::string& path,
                                            net::NetStatus* status) override {
    opened.push_back(path);
    *status = net::NetStatus::kNotFound;
    return nullptr;
  }
  std::vector<std::string> opened;
};

class Downloads : public ImageAnswers {
 protected:
  void SetUp() override {
    ImageAnswers::SetUp();
    server_.SetNetwork(&network_);
  }
  OneFileNetwork network_;
};

TEST(DownloadRules, NobodyUnlessTheProxyIsOnThenMembersOnly) {
  FakeSettings settings;
  auto permitted = [&](const std::string& address) {
    return query::DownloadPermitted(address, query::ReadSiteSettings(settings).download);
  };
  settings.SetValue("WebProxyEnabled", "0");
  settings.SetValue("SecurityAllAreMembers", "1");
  EXPECT_FALSE(permitted("10.0.0.1"));
  settings.SetValue("WebProxyEnabled", "1");
  EXPECT_TRUE(permitted("10.0.0.1"));
  settings.SetValue("SecurityAllAreMembers", "0");
  settings.SetValue("WebMembersList", "0|10.0.0.1|10.0.0.22");
  EXPECT_TRUE(permitted("10.0.0.1"));
  EXPECT_TRUE(permitted("10.0.0.22"));
  EXPECT_FALSE(permitted("10.0.0.2"));  // exact text only
  EXPECT_FALSE(permitted("10.0.0.11"));
  EXPECT_FALSE(permitted("0"));  // the placeholder
  EXPECT_FALSE(permitted(""));
  settings.SetValue("WebMembersList", "10.0.0.1");
  EXPECT_FALSE(permitted("10.0.0.1"));
}

TEST(DownloadRules, IdsNamesAndPaths) {
  long long id = 0;
  EXPECT_TRUE(query::ParseCatalogId("123", &id));
  EXPECT_EQ(id, 123);
  EXPECT_FALSE(query::ParseCatalogId("1; drop table aall", &id));
  EXPECT_FALSE(query::ParseCatalogId("-1", &id));
  EXPECT_FALSE(query::ParseCatalogId("", &id));
  EXPECT_FALSE(query::ParseCatalogId("1234567890123456789", &id));
  EXPECT_EQ(query::ContentDisposition("a b.txt"),
            "attachment; filename=\"a b.txt\"; filename*=UTF-8''a%20b.txt");
  EXPECT_EQ(query::ContentDisposition("x\"\r\nSet-Cookie: a;b.txt"),
            "attachment; filename=\"x___Set-Cookie: a_b.txt\"; "
            "filename*=UTF-8''x%22%0D%0ASet-Cookie%3A%20a%3Bb.txt");
  EXPECT_EQ(query::ShareFilePath("//PC1/share///f.txt"), "\\\\PC1\\share\\f.txt");
  EXPECT_EQ(query::ShareFilePath("//PC1/share/d/e/f.txt"), "\\\\PC1\\share\\d\\e\\f.txt");
  EXPECT_EQ(query::ShareFilePath("//PC1/share/../f"), "");
  EXPECT_EQ(query::ShareFilePath("//PC1/share/d/*"), "");
  EXPECT_EQ(query::ShareFilePath("//PC1"), "");
}

TEST_F(Downloads, WithoutThePermissionTheAnswerIsEmpty) {
  CKIVRegistry().SetValue("WebProxyEnabled", "0");
  FakeRequest r = Get("Command?proxy=12");
  EXPECT_EQ(r.body, "");
  EXPECT_EQ(r.header_count, 0);
  EXPECT_TRUE(network_.opened.empty());
}

TEST_F(Downloads, AnIdNotInTheCatalogOrNotANumberIsAnInvalidFile) {
  CKIVRegistry settings;
  settings.SetValue("WebProxyEnabled", "1");
  settings.SetValue("SecurityAllAreMembers", "1");
  for (const char* proxy : {"12", "12%3B%20drop%20table%20aall", "abc"}) {
    FakeRequest r = Get(std::string("Command?proxy=") + proxy);
    EXPECT_THAT(r.body, HasSubstr("Error: Invalid file")) << proxy;
  }
  EXPECT_TRUE(network_.opened.empty());
}

}  // namespace
}  // namespace tellwen::testing
