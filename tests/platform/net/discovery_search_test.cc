// The discovery searches' own rules: where they may send and how long they
// wait. Their replies on the wire are tested on a network of namespaces
// (tests/integration/discovery-netns-check); their parsers in discovery_test.
#include "platform/net/discovery_search.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/net/host_address.h"

namespace tellwen::net {
namespace {

using Clock = std::chrono::steady_clock;

TEST(SearchInterfaces, NamedOnesExistDefaultsLeaveLoopbackOut) {
  const std::vector<SearchInterface> named =
      SearchInterfacesNamed({"tw-no-such-if", "lo", "lo", ""});
  ASSERT_EQ(named.size(), 1u);
  EXPECT_EQ(named[0].name, "lo");
  EXPECT_EQ(AddressText(named[0].address), "127.0.0.1");
  for (const SearchInterface& interface : DefaultSearchInterfaces()) {
    EXPECT_NE(interface.name, "lo");
    EXPECT_NE(AddressText(interface.address).rfind("127.", 0), 0u) << interface.name;
  }
}

TEST(DiscoverySearch, NoInterfaceSendsNothingAndReturnsAtOnce) {
  SearchLimits limits;
  limits.wait = std::chrono::milliseconds(5000);
  const auto start = Clock::now();
  EXPECT_TRUE(SearchWsDiscovery({}, limits).empty());
  EXPECT_TRUE(SearchMdns({}, limits).empty());
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

TEST(DiscoverySearch, AStopEndsTheWaitSoon) {
  const std::vector<SearchInterface> loopback = SearchInterfacesNamed({"lo"});
  ASSERT_FALSE(loopback.empty());
  SearchLimits limits;
  limits.wait = std::chrono::milliseconds(20000);
  const auto start = Clock::now();
  limits.stopping = [start] { return Clock::now() - start > std::chrono::milliseconds(300); };
  EXPECT_TRUE(SearchWsDiscovery(loopback, limits).empty());
  EXPECT_TRUE(SearchMdns(loopback, limits).empty());
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
}

TEST(DiscoverySearch, WaitIsBounded) {
  const std::vector<SearchInterface> loopback = SearchInterfacesNamed({"lo"});
  ASSERT_FALSE(loopback.empty());
  SearchLimits limits;
  limits.wait = std::chrono::milliseconds(400);
  const auto start = Clock::now();
  EXPECT_TRUE(SearchMdns(loopback, limits).empty());
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(400));
  EXPECT_LT(took, std::chrono::milliseconds(1500));
}

}  // namespace
}  // namespace tellwen::net
