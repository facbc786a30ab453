// The discovery searches' own rules: where they may send and how long they
// wait. Their replies on the wire are tested on a network of namespaces
// (tests/integration/discovery-netns-check); their parsers in discovery_test.
#include "platform/net/discovery_search.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

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

// Limits that wait up to wait for replies.
SearchLimits Waiting(std::chrono::milliseconds wait) {
  SearchLimits limits;
  limits.wait = wait;
  return limits;
}

// How long the two searches over interfaces took together; neither may find
// anything, since nothing here answers.
Clock::duration BothFindNothing(const std::vector<SearchInterface>& interfaces,
                                const SearchLimits& limits) {
  const auto start = Clock::now();
  EXPECT_TRUE(SearchWsDiscovery(interfaces, limits).empty());
  EXPECT_TRUE(SearchMdns(interfaces, limits).empty());
  return Clock::now() - start;
}

TEST(DiscoverySearch, NoInterfaceSendsNothingAndReturnsAtOnce) {
  EXPECT_LT(BothFindNothing({}, Waiting(std::chrono::milliseconds(5000))),
            std::chrono::milliseconds(500));
}

TEST(DiscoverySearch, AStopEndsTheWaitSoon) {
  const std::vector<SearchInterface> loopback = SearchInterfacesNamed({"lo"});
  ASSERT_FALSE(loopback.empty());
  SearchLimits limits = Waiting(std::chrono::milliseconds(20000));
  const auto start = Clock::now();
  limits.stopping = [start] { return Clock::now() - start > std::chrono::milliseconds(300); };
  EXPECT_LT(BothFindNothing(loopback, limits), std::chrono::milliseconds(2000));
}

TEST(DiscoverySearch, WaitIsBounded) {
  const std::vector<SearchInterface> loopback = SearchInterfacesNamed({"lo"});
  ASSERT_FALSE(loopback.empty());
  const auto start = Clock::now();
  EXPECT_TRUE(SearchMdns(loopback, Waiting(std::chrono::milliseconds(400))).empty());
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(400));
  EXPECT_LT(took, std::chrono::milliseconds(1500));
}

}  // namespace
}  // namespace tellwen::net
