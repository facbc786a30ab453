// The ICMP echo and its host look-up. Echoes go to 127.0.0.0/8 only; names
// that must not resolve are under the reserved "invalid" domain, which the
// look-up answers itself, so no DNS query leaves the machine either.
#include "platform/net/icmp_echo.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/net/host_address.h"

namespace tellwen::net {
namespace {

// Skips the calling test, saying why, when no ICMP socket opens here.
#define REQUIRE_ECHO_SOCKET()                                                        \
  do {                                                                               \
    std::string why;                                                                 \
    if (ProbeEchoSocket(&why) == EchoSocketKind::kNone) {                            \
      GTEST_SKIP() << "no ICMP socket can be opened on this machine (" << why        \
                   << "): allow the group in net.ipv4.ping_group_range or run with " \
                      "CAP_NET_RAW to run this test";                                \
    }                                                                                \
  } while (0)

TEST(HostAddress, ReservedInvalidNamesNeverResolve) {
  for (const char* name : {"invalid", "nosuchhost.invalid", "A.B.INVALID", "x.invalid."}) {
    EXPECT_TRUE(IsReservedInvalidName(name)) << name;
    uint32_t address = 1;
    EXPECT_FALSE(ResolveIPv4(name, &address, 1000)) << name;
  }
  for (const char* name : {"invalidhost", "x.invalid.lan", "notinvalid", ""}) {
    EXPECT_FALSE(IsReservedInvalidName(name)) << name;
  }
  uint32_t address = 0;
  EXPECT_FALSE(ResolveIPv4("", &address, 1000));
  EXPECT_FALSE(ResolveIPv4(std::string("127.0.0.1\0x", 11), &address, 1000));
}

TEST(HostAddress, DottedAddressesAndLocalhostResolveWithoutTheNetwork) {
  uint32_t address = 0;
  ASSERT_TRUE(ResolveIPv4("127.0.0.1", &address, 1000));
  EXPECT_EQ(AddressText(address), "127.0.0.1");
  ASSERT_TRUE(ResolveIPv4("127.1.2.3", &address, 1000));
  EXPECT_EQ(AddressText(address), "127.1.2.3");
}

// Run by silent-resolver-check, whose name server reads every query and never
// answers (skipped elsewhere: no test asks a real name server).
class SilentResolver : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("TELLWEN_SILENT_RESOLVER") == nullptr) {
      GTEST_SKIP() << "runs under tests/platform/net/silent-resolver-check only";
    }
  }
  // Milliseconds that f takes.
  template <typename F>
  static long long Ms(F f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
  }
};

TEST_F(SilentResolver, ALookUpEndsAtItsTimeoutAndKnownNamesStillResolve) {
  uint32_t address = 0;
  bool found = true;
  const long long one = Ms([&] { found = ResolveIPv4("hung-host.example", &address, 300); });
  EXPECT_FALSE(found);
  EXPECT_GE(one, 250);
  EXPECT_LT(one, 1300);
  // Names the machine knows itself and dotted addresses still resolve.
  EXPECT_LT(Ms([&] { found = ResolveIPv4("localhost", &address, 2000); }), 1300);
  EXPECT_TRUE(found);
  EXPECT_EQ(AddressText(address), "127.0.0.1");
  ASSERT_TRUE(ResolveIPv4("127.0.0.9", &address, 300));
  EXPECT_EQ(AddressText(address), "127.0.0.9");
}

TEST_F(SilentResolver, AnEchoOfAHungNameIsDeadWithinItsTimeoutAndSendsNothing) {
  IcmpEcho echo([](const std::string&) {});
  EchoReply reply;
  const long long took = Ms([&] { reply = echo.Echo("hung-echo.example", 300); });
  EXPECT_GE(took, 250);
  EXPECT_LT(took, 1300);
  EXPECT_EQ(reply.status, EchoStatus::kDead);
  EXPECT_FALSE(reply.sent);
}

// Last of its kind: it leaves the most look-ups pending.
TEST_F(SilentResolver, ManyHungLookUpsAtOnceEachEndWithinTheBound) {
  std::vector<std::thread> threads;
  std::atomic<int> late{0}, resolved{0};
  for (int i = 0; i < 40; ++i) {
    threads.emplace_back([&, i] {
      uint32_t a = 0;
      bool ok = false;
      const std::string name = "hung-" + std::to_string(i) + ".example";
      if (Ms([&] { ok = ResolveIPv4(name, &a, 300); }) >= 1300) ++late;
      if (ok) ++resolved;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(late.load(), 0);
  EXPECT_EQ(resolved.load(), 0);
  // With the most look-ups left pending, a name is answered at once.
  uint32_t address = 0;
  EXPECT_LT(Ms([&] { EXPECT_FALSE(ResolveIPv4("one-more.example", &address, 5000)); }), 100);
  uint32_t dotted = 0;
  EXPECT_TRUE(ResolveIPv4("127.0.0.1", &dotted, 300));
}

TEST(HostAddress, ForbiddenTargetsAreThisNetworkAndBroadcast) {
  EXPECT_TRUE(IsForbiddenEchoTarget(inet_addr("0.0.0.0")));
  EXPECT_TRUE(IsForbiddenEchoTarget(inet_addr("0.1.2.3")));
  EXPECT_TRUE(IsForbiddenEchoTarget(inet_addr("255.255.255.255")));
  EXPECT_FALSE(IsForbiddenEchoTarget(inet_addr("127.0.0.1")));
  EXPECT_FALSE(IsForbiddenEchoTarget(inet_addr("10.0.0.1")));
}

TEST(IcmpEcho, UnresolvableNameIsDeadAndSendsNothing) {
  IcmpEcho echo([](const std::string&) {});
  const EchoReply reply = echo.Echo("nosuchhost.invalid", 200);
  EXPECT_EQ(reply.status, EchoStatus::kDead);
  EXPECT_FALSE(reply.sent);
  // No socket was even opened.
  EXPECT_EQ(echo.LastSocketKind(), EchoSocketKind::kNone);
}

TEST(IcmpEcho, AddressZeroIsDeadAndSendsNothing) {
  // On Linux an echo to 0.0.0.0 is answered by the local host; a computer
  // that resolves to it must not count as alive.
  IcmpEcho echo([](const std::string&) {});
  for (const char* host : {"0.0.0.0", "0", "255.255.255.255"}) {
    const EchoReply reply = echo.Echo(host, 200);
    EXPECT_EQ(reply.status, EchoStatus::kDead) << host;
    EXPECT_FALSE(reply.sent) << host;
  }
}

TEST(IcmpEcho, LoopbackAnswers) {
  REQUIRE_ECHO_SOCKET();
  IcmpEcho echo;
  const EchoReply reply = echo.Echo("127.0.0.1", 2000);
  EXPECT_EQ(reply.status, EchoStatus::kAlive) << reply.error_text;
  EXPECT_TRUE(reply.sent);
  EXPECT_NE(echo.LastSocketKind(), EchoSocketKind::kNone);
  std::printf("echo over the %s\n", EchoSocketKindName(echo.LastSocketKind()));
}

TEST(IcmpEcho, ConcurrentEchoesEachGetTheirOwnReply) {
  REQUIRE_ECHO_SOCKET();
  IcmpEcho echo;
  std::atomic<int> alive{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&echo, &alive, t] {
      const std::string host = "127.0.0." + std::to_string(1 + t % 4);
      for (int i = 0; i < 10; ++i) alive += echo.Echo(host, 2000).status == EchoStatus::kAlive;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(alive.load(), 80);
}

// Builds an echo reply as a socket of the kind would deliver it.
std::vector<uint8_t> Reply(EchoSocketKind kind, uint8_t type, uint16_t id, uint16_t seq) {
  std::vector<uint8_t> packet;
  if (kind == EchoSocketKind::kRaw) {
    packet = std::vector<uint8_t>(20, 0);
    packet[0] = 0x45;
    packet[9] = 1;  // ICMP
  }
  const uint8_t icmp[] = {type,        0, 0, 0, uint8_t(id >> 8), uint8_t(id), uint8_t(seq >> 8),
                          uint8_t(seq)};
  packet.insert(packet.end(), icmp, icmp + sizeof icmp);
  return packet;
}

TEST(EchoReplyMatch, RawSocketsCheckTypeIdentifierAndSequence) {
  const auto raw = EchoSocketKind::kRaw;
  auto match = [](const std::vector<uint8_t>& p, EchoSocketKind kind) {
    return IsMatchingEchoReply(p.data(), p.size(), kind, 0x1234, 7);
  };
  EXPECT_TRUE(match(Reply(raw, 0, 0x1234, 7), raw));
  EXPECT_FALSE(match(Reply(raw, 0, 0x1235, 7), raw));  // another process's or thread's echo
  EXPECT_FALSE(match(Reply(raw, 0, 0x1234, 8), raw));  // another echo of ours
  EXPECT_FALSE(match(Reply(raw, 8, 0x1234, 7), raw));  // our own request seen on loopback
  EXPECT_FALSE(match(Reply(raw, 3, 0x1234, 7), raw));  // unreachable
  std::vector<uint8_t> with_options = Reply(raw, 0, 0x1234, 7);
  with_options[0] = 0x46;  // a 24-byte header: the ICMP part starts later
  with_options.insert(with_options.begin() + 20, 4, 0);
  EXPECT_TRUE(match(with_options, raw));
}

TEST(EchoReplyMatch, DatagramSocketsCheckTypeAndSequence) {
  const auto datagram = EchoSocketKind::kDatagram;
  // The kernel chose the identifier and has matched it already.
  std::vector<uint8_t> p = Reply(datagram, 0, 0x9999, 7);
  EXPECT_TRUE(IsMatchingEchoReply(p.data(), p.size(), datagram, 0x1234, 7));
  EXPECT_FALSE(IsMatchingEchoReply(p.data(), p.size(), datagram, 0x1234, 6));
}

TEST(EchoReplyMatch, MalformedPacketsNeverMatch) {
  const auto raw = EchoSocketKind::kRaw;
  std::vector<uint8_t> p = Reply(raw, 0, 0x1234, 7);
  for (size_t size = 0; size < p.size(); ++size) {
    EXPECT_FALSE(IsMatchingEchoReply(p.data(), size, raw, 0x1234, 7)) << size;
  }
  p[0] = 0x4F;  // header claims 60 bytes
  EXPECT_FALSE(IsMatchingEchoReply(p.data(), p.size(), raw, 0x1234, 7));
  p[0] = 0x44;  // header shorter than the minimum
  EXPECT_FALSE(IsMatchingEchoReply(p.data(), p.size(), raw, 0x1234, 7));
  p[0] = 0x65;  // not IPv4
  EXPECT_FALSE(IsMatchingEchoReply(p.data(), p.size(), raw, 0x1234, 7));
  p[0] = 0x45;
  p[9] = 6;  // TCP
  EXPECT_FALSE(IsMatchingEchoReply(p.data(), p.size(), raw, 0x1234, 7));
}

TEST(IcmpEcho, NoSocketIsAnErrorSaidOnceNotADeadComputer) {
  // No file descriptor left: neither socket kind can be opened, whatever
  // the privileges of the test.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowest_free = dup(0);
  ASSERT_GE(lowest_free, 0);
  close(lowest_free);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(lowest_free);
  std::vector<std::string> notices;
  IcmpEcho echo([&notices](const std::string& text) { notices.push_back(text); });
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  const EchoReply first = echo.Echo("127.0.0.1", 100);
  const EchoReply second = echo.Echo("127.0.0.1", 100);
  setrlimit(RLIMIT_NOFILE, &saved);

  EXPECT_EQ(first.status, EchoStatus::kError);
  EXPECT_EQ(second.status, EchoStatus::kError);
  EXPECT_FALSE(first.sent);
  EXPECT_NE(first.error_text.find("raw ICMP socket"), std::string::npos) << first.error_text;
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("ICMP echo is not available"), std::string::npos);
}

TEST(IcmpEcho, UnavailableTextSaysWhatToDo) {
  const std::string text = EchoUnavailableText("raw ICMP socket: Operation not permitted");
  EXPECT_NE(text.find("Operation not permitted"), std::string::npos);
  EXPECT_NE(text.find("ping_group_range"), std::string::npos);
  EXPECT_NE(text.find("CAP_NET_RAW"), std::string::npos);
}

}  // namespace
}  // namespace tellwen::net
