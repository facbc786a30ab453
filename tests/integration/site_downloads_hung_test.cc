// Downloads through kivweb when computers accept SMB connections and never
// answer (listeners on 127.0.0.2 and up at the private smbd's port): each
// such download ends within the SMB timeout with the open's error page, on a
// freshly started kivweb as on one that has served downloads; one such
// computer holds at most its own places, so a download from the healthy
// smbd on 127.0.0.1 is served meanwhile; downloads past the cap get the busy
// page at once while the site's pages and files stay served.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "query/download.h"
#include "tests/integration/search_site.h"
#include "tests/integration/silent_listener.h"
#include "tests/integration/smbd_server.h"
#include "tests/support/matchers.h"

namespace tellwen::testing {
namespace {

using Steady = std::chrono::steady_clock;

double SecondsSince(Steady::time_point start) {
  return std::chrono::duration<double>(Steady::now() - start).count();
}

class SiteDownloadsHungHost : public SearchSiteTest {
 protected:
  void SetUp() override {
    SearchSiteTest::SetUp();
    const std::string files = dir_.path() + "/tree/files";
    std::filesystem::create_directories(files);
    healthy_bytes_ = std::string(100 * 1024 + 7, 'h');
    std::ofstream(files + "/healthy.bin", std::ios::binary) << healthy_bytes_;
    std::string error;
    ASSERT_TRUE(smbd_.Start(
        dir_.path(), "[files]\n  path = " + files + "\n  guest ok = yes\n  read only = yes\n",
        &error))
        << error;
    std::vector<Entry> entries = {{"//127.0.0.1", "files", "", "", "*", 0},
                                  {"//127.0.0.1", "files", "", "", "healthy.bin", 101}};
    for (int host = 0; host < kHungHosts; ++host) {
      ASSERT_TRUE(hung_[host].Start(HungAddress(host), smbd_.port(), &error)) << error;
      entries.push_back({"//" + HungAddress(host), "files", "", "", "*", 0});
      for (int i = 0; i < kHungFiles; ++i) {
        entries.push_back({"//" + HungAddress(host), "files", "", "", HungFile(host, i), 1});
      }
    }
    ServeCatalog(entries, {"TELLWEN_SMB_PORT=" + std::to_string(smbd_.port()),
                           "TELLWEN_SMB_CONF=" + SmbdServer::ClientConfig()});
    Set("WebProxyEnabled", "1");
    Set("SecurityAllAreMembers", "1");
  }
  static std::string HungAddress(int host) { return "127.0.0." + std::to_string(2 + host); }
  static std::string HungFile(int host, int i) {
    return "hung" + std::to_string(host) + "_" + std::to_string(i) + ".bin";
  }
  std::string IdOf(const std::string& file) {
    return One("select id from aall where fn = '" + file + "'");
  }
  HttpResponse Download(const std::string& file) { return Page("Command?proxy=" + IdOf(file)); }

  // Downloads of hung files at once on threads of their own (per_host from
  // each of the first hosts); each one's answer and the seconds it took.
  struct Hung {
    std::vector<std::thread> threads;
    std::vector<HttpResponse> answers;
    std::vector<double> seconds;
    std::atomic<int> finished{0};
  };
  void StartHung(int hosts, int per_host, Hung* hung) {
    std::vector<std::string> ids;
    for (int i = 0; i < per_host; ++i) {
      for (int host = 0; host < hosts; ++host) ids.push_back(IdOf(HungFile(host, i)));
    }
    hung->answers.resize(ids.size());
    hung->seconds.resize(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
      hung->threads.emplace_back([this, hung, i, id = ids[i]] {
        const Steady::time_point start = Steady::now();
        hung->answers[i] = Page("Command?proxy=" + id);
        hung->seconds[i] = SecondsSince(start);
        ++hung->finished;
      });
    }
  }
  // Waits until count downloads hang at the silent computers (each probes
  // its computer with one connection, then opens its session on another).
  void WaitUntilHanging(int count) {
    for (int i = 0; i < 200; ++i) {
      int accepted = 0;
      for (const SilentListener& host : hung_) accepted += host.accepted();
      if (accepted >= 2 * count) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // Waits until count of the hung downloads have their answer.
  static void WaitUntilFinished(int count, const Hung* hung) {
    for (int i = 0; i < 200 && hung->finished < count; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // The healthy download, served within 5 s.
  void ExpectHealthyServedAtOnce() {
    const Steady::time_point start = Steady::now();
    const HttpResponse healthy = Download("healthy.bin");
    EXPECT_EQ(healthy.status, 200);
    EXPECT_TRUE(healthy.body == healthy_bytes_) << healthy.body.substr(0, 300);
    EXPECT_LT(SecondsSince(start), 5.0) << "the healthy download waited behind the hung ones";
  }

  static constexpr int kHungHosts = 5;
  static constexpr int kHungFiles = 16;
  // The web extension's SMB timeout (SmbOptions' default) and some slack.
  static constexpr double kBound = 20.0 + 8.0;
  SmbdServer smbd_;
  SilentListener hung_[kHungHosts];
  std::string healthy_bytes_;
};

TEST_F(SiteDownloadsHungHost, OnAFreshServerHungDownloadsEndSideBySideWithinTheTimeout) {
  // No SMB call of the process has succeeded yet.
  const int count = static_cast<int>(query::kMaxDownloadsPerComputer);
  Hung hung;
  StartHung(1, count, &hung);
  WaitUntilHanging(1);
  ExpectHealthyServedAtOnce();
  for (std::thread& thread : hung.threads) thread.join();
  for (int i = 0; i < count; ++i) {
    EXPECT_THAT(hung.answers[i].body, HasSubstr("FileOpen&nbsp;failed&nbsp;on&nbsp;")) << i;
    EXPECT_LT(hung.seconds[i], kBound) << "download " << i;
  }
}

TEST_F(SiteDownloadsHungHost, OneHungComputerHoldsOnlyItsOwnPlacesAndHealthyOnesAreServed) {
  ASSERT_TRUE(Download("healthy.bin").body == healthy_bytes_);
  Hung hung;
  const int count = static_cast<int>(query::kMaxDownloads);
  StartHung(1, count, &hung);
  const int held = static_cast<int>(query::kMaxDownloadsPerComputer);
  WaitUntilHanging(held);
  // A refused download holds a place of the cap until its busy page is out;
  // the healthy one comes once they are all answered.
  WaitUntilFinished(count - held, &hung);
  ExpectHealthyServedAtOnce();
  for (std::thread& thread : hung.threads) thread.join();
  int busy = 0;
  for (int i = 0; i < count; ++i) {
    if (hung.answers[i].status == 503) {
      ++busy;
      EXPECT_THAT(hung.answers[i].body, HasSubstr(query::kComputerBusyText)) << i;
      EXPECT_LT(hung.seconds[i], 5.0) << "a refused download " << i << " waited";
    } else {
      EXPECT_THAT(hung.answers[i].body, HasSubstr("FileOpen&nbsp;failed&nbsp;on&nbsp;")) << i;
      EXPECT_LT(hung.seconds[i], kBound) << "download " << i;
    }
  }
  EXPECT_EQ(busy, count - held);
}

TEST_F(SiteDownloadsHungHost, DownloadsPastTheCapGetTheBusyPageAndTheSiteStaysServed) {
  ASSERT_TRUE(Download("healthy.bin").body == healthy_bytes_);
  Hung hung;
  // Every computer within its own places, all of them past the cap.
  const int per_host = static_cast<int>(query::kMaxDownloadsPerComputer);
  const int count = kHungHosts * per_host;
  ASSERT_GT(count, static_cast<int>(query::kMaxDownloads));
  StartHung(kHungHosts, per_host, &hung);
  // The downloads past the cap are answered at once; then every slot is held
  // by a download that hangs.
  const int past_cap = count - static_cast<int>(query::kMaxDownloads);
  WaitUntilFinished(past_cap, &hung);
  ASSERT_GE(hung.finished.load(), past_cap) << "downloads past the cap were not answered at once";
  // With every download slot taken the site's files and pages still answer.
  Steady::time_point start = Steady::now();
  EXPECT_EQ(Get(kivweb_.port(), "/kiv/default.htm").status, 200);
  const HttpResponse home = Page("Command");
  EXPECT_THAT(home.body, HasSubstr("name=search"));
  EXPECT_LT(SecondsSince(start), 5.0);
  const HttpResponse refused = Download("healthy.bin");
  EXPECT_EQ(refused.status, 503);
  EXPECT_THAT(refused.body, HasSubstr(query::kDownloadsBusyText));
  for (std::thread& thread : hung.threads) thread.join();
  int busy = 0;
  for (int i = 0; i < count; ++i) {
    EXPECT_LT(hung.seconds[i], kBound) << "download " << i;
    if (hung.answers[i].status == 503) {
      ++busy;
      EXPECT_THAT(hung.answers[i].body, HasSubstr(query::kDownloadsBusyText)) << i;
      EXPECT_LT(hung.seconds[i], 5.0) << "a refused download " << i << " waited";
    } else {
      EXPECT_THAT(hung.answers[i].body, HasSubstr("FileOpen&nbsp;failed")) << i;
    }
  }
  EXPECT_EQ(busy, past_cap);
  // The slots come back: the healthy file is served again.
  EXPECT_TRUE(Download("healthy.bin").body == healthy_bytes_);
}

}  // namespace
}  // namespace tellwen::testing
