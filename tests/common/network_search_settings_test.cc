#include "common/network_search_settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/fake_settings.h"

namespace tellwen {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Only "*" means every interface: an empty or unreadable value must never
// turn the probes on for the whole machine.
TEST(NetworkSearchSettings, OnlyTheStarMeansEveryInterface) {
  testing::FakeSettings settings;
  for (const char* none : {"", "0", "0|", "x"}) {
    settings.SetValue("NetworkSearchInterfaces", none);
    NetworkSearchSettings values = ReadNetworkSearchSettings(settings);
    EXPECT_FALSE(values.every_interface) << none;
    EXPECT_THAT(values.interfaces, IsEmpty()) << none;
  }
  settings.SetValue("NetworkSearchInterfaces", "0|veth1|eth0");
  NetworkSearchSettings named = ReadNetworkSearchSettings(settings);
  EXPECT_FALSE(named.every_interface);
  EXPECT_THAT(named.interfaces, ElementsAre("veth1", "eth0"));
  settings.SetValue("NetworkSearchInterfaces", "*");
  EXPECT_TRUE(ReadNetworkSearchSettings(settings).every_interface);
}

TEST(NetworkSearchSettings, SourcesAreOnUnlessTurnedOffAndRoundTrip) {
  testing::FakeSettings settings;
  NetworkSearchSettings values = ReadNetworkSearchSettings(settings);
  EXPECT_TRUE(values.browse_list && values.ws_discovery && values.mdns);
  values.ws_discovery = false;
  values.every_interface = false;
  values.interfaces = {"veth1"};
  WriteNetworkSearchSettings(settings, values);
  EXPECT_EQ(settings.Stored("NetworkSearchWsDiscovery"), "0");
  EXPECT_EQ(settings.Stored("NetworkSearchMdns"), "1");
  EXPECT_EQ(settings.Stored("NetworkSearchInterfaces"), "0|veth1");
  NetworkSearchSettings again = ReadNetworkSearchSettings(settings);
  EXPECT_FALSE(again.ws_discovery);
  EXPECT_TRUE(again.browse_list);
  EXPECT_THAT(again.interfaces, ElementsAre("veth1"));
}

}  // namespace
}  // namespace tellwen
