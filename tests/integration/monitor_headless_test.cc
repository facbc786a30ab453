// KIVMonitor --headless, run as a program over a catalog that the update job
// loaded: its computers are 127.0.0.1 and a name under the reserved "invalid"
// domain (answered by the look-up itself: no DNS query leaves the machine,
// and the only echo goes to the loopback).
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/tick_count.h"
#include "platform/desktop/display.h"
#include "platform/net/icmp_echo.h"
#include "tests/sql/catalog_fixture.h"
#include "tests/support/file_text.h"
#include "tests/support/matchers.h"

extern char** environ;

namespace tellwen::testing {
namespace {

using Clock = std::chrono::steady_clock;

class MonitorHeadless : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    WriteIndex({{"//127.0.0.1", "music", "", "", "song.mp3", 3},
                {"//nosuchhost.invalid", "docs", "", "", "notes.txt", 1}});
    MustUpdate();
    Set("WebStatus", "yes");
    Set("MonitorPingInterval", "0");
    Set("LastPingTime", "0");
    Set("KIVInstallPathExes", "/nowhere/");
  }
  void TearDown() override {
    for (pid_t pid : running_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  // Starts KIVMonitor (headless unless told) with its output in
  // <dir>/<name>.out.
  pid_t Start(const std::string& name, bool headless = true) {
    const std::string out = dir_.path() + "/" + name + ".out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string program = KIVMONITOR_PATH;
    std::string headless_switch = "--headless";
    char* argv[] = {program.data(), headless ? headless_switch.data() : nullptr, nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << std::strerror(rc);
    if (rc == 0) running_.push_back(pid);
    return pid;
  }
  // The exit code, or -1 when the program has not ended within the time.
  int WaitExit(pid_t pid, std::chrono::milliseconds within) {
    const auto deadline = Clock::now() + within;
    for (;;) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        std::erase(running_, pid);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (Clock::now() > deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  std::string Output(const std::string& name) {
    return FileText(dir_.path() + "/" + name + ".out");
  }
  // Waits until check() holds; false after the time.
  template <typename Check>
  bool WaitFor(Check check, std::chrono::milliseconds within) {
    const auto deadline = Clock::now() + within;
    while (!check()) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

  // Starts KIVMonitor, waits until it has recorded a round of pings, and
  // ends it with SIGTERM, which it must answer by exiting with 0 within
  // stop_within. Fatal failures (with the output) when it does not.
  void PingOneRoundAndStop(const std::string& name, bool headless,
                           std::chrono::seconds stop_within) {
    const pid_t pid = Start(name, headless);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return Setting("LastPingTime") != "0"; }, std::chrono::seconds(30)))
        << Output(name);
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    ASSERT_EQ(WaitExit(pid, stop_within), 0) << Output(name);
  }

  ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.path()};
  std::vector<pid_t> running_;
};

TEST_F(MonitorHeadless, OneRoundWritesBothStatusesAndSigtermEndsIt) {
  std::string why;
  if (net::ProbeEchoSocket(&why) == net::EchoSocketKind::kNone) {
    GTEST_SKIP() << "no ICMP socket can be opened on this machine (" << why
                 << "), so 127.0.0.1 cannot be seen alive: allow the group in "
                    "net.ipv4.ping_group_range or run with CAP_NET_RAW to run this test";
  }
  const uint64_t started = TickCount();
  ASSERT_NO_FATAL_FAILURE(
      PingOneRoundAndStop("monitor", /*headless=*/true, std::chrono::seconds(10)));

  const auto ping_time = MatchesRegex("[0-9]{4}, [0-9]{2}, [0-9]{2}, [0-9]{2}, [0-9]{2}, [0-9]{2}");
  EXPECT_THAT(Query("select name, status, ping_time from monitor_pings order by name", 3),
              ElementsAre(ElementsAre("//127.0.0.1", "1", ping_time),
                          ElementsAre("//nosuchhost.invalid", "2", ping_time)))
      << Output("monitor");
  const uint64_t last_ping = std::stoull(Setting("LastPingTime"));
  EXPECT_GE(last_ping, started);
  EXPECT_LE(last_ping, TickCount());

  const std::string output = Output("monitor");
  EXPECT_THAT(output, HasSubstr("last computer: 127.0.0.1 alive!"));
  EXPECT_THAT(output, HasSubstr("last computer: nosuchhost.invalid dead"));
  EXPECT_THAT(output, HasSubstr("KIVMonitor: stopped"));
  EXPECT_EQ(Setting("MonitorPingInterval"), "0");
  EXPECT_EQ(Setting("KIVInstallPathExes"),
            std::filesystem::path(KIVMONITOR_PATH).parent_path().string() + "/");
}

TEST_F(MonitorHeadless, WithItsWindowOnTheOffscreenPlatformItPingsTheLoopback) {
  if (!desktop::kWindowsBuiltIn) GTEST_SKIP() << "this build has no windows";
  std::string why;
  if (net::ProbeEchoSocket(&why) == net::EchoSocketKind::kNone) {
    GTEST_SKIP() << "no ICMP socket can be opened on this machine (" << why << ")";
  }
  ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
  ASSERT_NO_FATAL_FAILURE(
      PingOneRoundAndStop("window", /*headless=*/false, std::chrono::seconds(15)));

  const SqlRows pings = Query("select name, status from monitor_pings order by name", 2);
  ASSERT_EQ(pings.size(), 2u) << Output("window");
  EXPECT_THAT(pings[0], ElementsAre("//127.0.0.1", "1"));
  const std::string output = Output("window");
  // The window, not the headless status line, showed the progress.
  EXPECT_THAT(output, ::testing::Not(HasSubstr("last computer:")));
  EXPECT_THAT(output, HasSubstr("KIVMonitor: stopped"));
  EXPECT_EQ(Setting("MonitorPingInterval"), "0");
}

TEST_F(MonitorHeadless, WaitsWhileTheWebIsClosedAndKeepsOneInstance) {
  Set("WebStatus", "no");
  Set("MonitorPingInterval", "11");  // out of range: position 2, saved as such
  const pid_t first = Start("first");
  ASSERT_GT(first, 0);
  ASSERT_TRUE(WaitFor([&] { return Output("first").find("waiting...") != std::string::npos; },
                      std::chrono::seconds(20)))
      << Output("first");

  const pid_t second = Start("second");
  EXPECT_EQ(WaitExit(second, std::chrono::seconds(10)), 1);
  EXPECT_THAT(Output("second"), HasSubstr("KIVMonitor already running!"));

  ASSERT_EQ(kill(first, SIGINT), 0);
  EXPECT_EQ(WaitExit(first, std::chrono::seconds(10)), 0) << Output("first");
  EXPECT_EQ(Setting("LastPingTime"), "0");
  EXPECT_EQ(Query("select name from monitor_pings", 1).size(), 0u);
  EXPECT_EQ(Setting("MonitorPingInterval"), "2");
}

}  // namespace
}  // namespace tellwen::testing
