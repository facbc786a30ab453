#include "indexer/core/discovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "tests/indexer/fake_network.h"

namespace tellwen::indexer {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Drain(WorkQueue* queue) {
  std::vector<std::string> names;
  net::NetResource r;
  int number;
  while ((number = queue->Pop(&r)) > 0)
    names.push_back(std::to_string(number) + " " + r.remote_name);
  return names;
}

TEST(Discovery, WalksProviderWorkgroupsAndQueuesTheirComputers) {
  testing::FakeNetwork net;
  net.AddWorkgroup("WG1", {"\\\\A", "\\\\B"});
  net.AddWorkgroup("WG2", {"\\\\C"});
  JobShared shared;
  EnumerateNetwork(&net, nullptr, 0, &shared);
  EXPECT_THAT(Drain(&shared.queue), ElementsAre("1 \\\\A", "2 \\\\B", "3 \\\\C"));
  EXPECT_EQ(shared.status.computers_queued, 3);
  EXPECT_EQ(shared.status.computers_skipped, 0);
  // Every container gets a guest connection, cancelled when its enumeration ends.
  EXPECT_THAT(net.ConnectionLog(),
              ElementsAre("add Fake Network guest/", "add WG1 guest/", "cancel WG1 forced",
                          "add WG2 guest/", "cancel WG2 forced", "cancel Fake Network forced"));
}

TEST(Discovery, SkipListHoldsBackComputersIgnoringCase) {
  testing::FakeNetwork net;
  net.AddWorkgroup("WG", {"\\\\pc1", "\\\\PC2"});
  JobShared shared;
  shared.skip.Add("\\\\PC1");
  EnumerateNetwork(&net, nullptr, 0, &shared);
  EXPECT_THAT(Drain(&shared.queue), ElementsAre("1 \\\\PC2"));
  EXPECT_EQ(shared.status.computers_skipped, 1);
  EXPECT_EQ(shared.status.computers_queued, 1);
}

TEST(Discovery, IncludedComputersComeFirstAndAreScannedOnceButCountedTwice) {
  testing::FakeNetwork net;
  net.AddWorkgroup("WG", {"\\\\PC1", "\\\\PC2"});
  JobShared shared;
  // The exclude list does not apply to the include list.
  shared.skip.Add("\\\\PC3");
  LoadIncludeList("0|\\\\pc2|\\\\PC3", &shared);
  EnumerateNetwork(&net, nullptr, 0, &shared);
  EXPECT_THAT(Drain(&shared.queue), ElementsAre("1 \\\\pc2", "2 \\\\PC3", "3 \\\\PC1"));
  EXPECT_EQ(shared.status.computers_queued, 4);
}

TEST(Discovery, RefusedWorkgroupIsSkippedAndTheRestEnumerated) {
  testing::FakeNetwork net;
  net.AddWorkgroup("BAD", {"\\\\X"});
  net.AddWorkgroup("GOOD", {"\\\\Y"});
  net.RefuseWorkgroupEnum("BAD");
  JobShared shared;
  EnumerateNetwork(&net, nullptr, 0, &shared);
  EXPECT_THAT(Drain(&shared.queue), ElementsAre("1 \\\\Y"));
  // The refused workgroup's connection is cancelled like every other.
  EXPECT_THAT(net.ConnectionLog(),
              ElementsAre("add Fake Network guest/", "add BAD guest/", "cancel BAD forced",
                          "add GOOD guest/", "cancel GOOD forced", "cancel Fake Network forced"));
}

TEST(Discovery, IgnoresNonContainersAndNamesNoScanCouldUse) {
  testing::FakeNetwork net;
  net.AddWorkgroup("WG", {"\\\\OK"});
  net::NetResource printer;
  printer.remote_name = "\\\\PRINTER";
  printer.usage = net::kUsageConnectable;
  net.AddRawWorkgroupEntry("WG", printer);
  for (const char* hostile : {"\\\\a\\b", "\\\\", "\\\\..", "NOSLASHES", "\\\\x/y"}) {
    net::NetResource r;
    r.remote_name = hostile;
    r.usage = net::kUsageContainer;
    net.AddRawWorkgroupEntry("WG", r);
  }
  JobShared shared;
  EnumerateNetwork(&net, nullptr, 0, &shared);
  EXPECT_THAT(Drain(&shared.queue), ElementsAre("1 \\\\OK"));
  EXPECT_EQ(shared.status.computers_queued, 1);
}

TEST(Discovery, StopRequestEndsTheEnumeration) {
  testing::FakeNetwork net;
  net.AddWorkgroup("WG", {"\\\\A", "\\\\B"});
  JobShared shared;
  shared.stop = true;
  EnumerateNetwork(&net, nullptr, 0, &shared);
  EXPECT_EQ(shared.queue.PendingCount(), 0u);
}

TEST(Discovery, ManyComputersSpanSeveralEnumerationBatches) {
  testing::FakeNetwork net;
  std::vector<std::string> computers;
  for (int i = 0; i < 1000; ++i) computers.push_back("\\\\PC" + std::to_string(i));
  net.AddWorkgroup("WG", computers);
  JobShared shared;
  EnumerateNetwork(&net, nullptr, 0, &shared);
  EXPECT_EQ(shared.queue.PendingCount(), 1000u);
}

}  // namespace
}  // namespace tellwen::indexer

namespace tellwen::indexer {
namespace {

// Searches that send nothing: each kind answers what the test put in.
class FakeSearches final : public ComputerSearches {
 public:
  std::vector<net::FoundComputer> Find(SearchKind kind, const NetworkSearchSettings&,
                                       const net::SearchLimits& limits) override {
    calls.push_back(SearchKindName(kind));
    if (stop_during != nullptr) *stop_during = true;
    if (limits.stopping && limits.stopping()) return {};
    return kind == SearchKind::kWsDiscovery ? wsd : mdns;
  }
  bool NameResolves(const std::string& name) override { return name != "NORESOLVE"; }

  std::vector<net::FoundComputer> wsd, mdns;
  std::vector<std::string> calls;
  std::atomic<bool>* stop_during = nullptr;
};

uint32_t Address(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  const uint8_t bytes[4] = {a, b, c, d};
  uint32_t address;
  std::memcpy(&address, bytes, 4);
  return address;
}

TEST(DiscoverySources, EverySourceQueuesOnceSkipsExcludedAndReportsWhoFoundWhat) {
  testing::FakeNetwork net;
  net.AddWorkgroup("WG", {"\\\\BROWSED", "\\\\shared"});
  FakeSearches searches;
  searches.wsd = {{"SHARED", Address(10, 0, 0, 2), "WG"},
                  {"NORESOLVE", Address(10, 0, 0, 3), ""},
                  {"", Address(10, 0, 0, 4), ""},
                  {"bad\\name", Address(10, 0, 0, 5), "bad/wg"},
                  {"", 0, ""}};
  searches.mdns = {{"Shared", Address(10, 0, 0, 2), ""}, {"EXCLUDED", Address(10, 0, 0, 6), ""}};
  JobShared shared;
  shared.skip.Add("\\\\excluded");
  EnumerateSources(&net, &searches, NetworkSearchSettings{}, &shared);

  EXPECT_THAT(Drain(&shared.queue), ElementsAre("1 \\\\BROWSED", "2 \\\\shared", "3 \\\\10.0.0.3",
                                                "4 \\\\10.0.0.4", "5 \\\\10.0.0.5"));
  EXPECT_EQ(shared.status.computers_skipped, 1);
  const std::vector<std::string> report = shared.status.FoundComputers();
  auto has = [&](const std::string& line) {
    return std::find(report.begin(), report.end(), line) != report.end();
  };
  EXPECT_TRUE(
      has("\\\\SHARED: found by WS-Discovery (workgroup WG, address 10.0.0.2), queued before"));
  EXPECT_TRUE(
      has("\\\\10.0.0.3: found by WS-Discovery (workgroup (no workgroup), address "
          "10.0.0.3, name NORESOLVE does not resolve), queued"));
  EXPECT_TRUE(
      has("\\\\Shared: found by mDNS (workgroup (no workgroup), address 10.0.0.2), "
          "queued before"));
  EXPECT_TRUE(
      has("\\\\EXCLUDED: found by mDNS (workgroup (no workgroup), address 10.0.0.6), "
          "skipped"));
  EXPECT_TRUE(has("\\\\BROWSED: found by the network, queued"));
  // A server's comment with control bytes is shown without them.
  net::NetResource commented;
  commented.remote_name = "\\\\NOTED";
  commented.usage = net::kUsageContainer;
  commented.comment = "shared\x1b[2Jdisk";
  net.AddRawWorkgroupEntry("WG", commented);
  JobShared second;
  EnumerateSources(&net, nullptr, NetworkSearchSettings{}, &second);
  const std::vector<std::string> browsed = second.status.FoundComputers();
  EXPECT_NE(std::find(browsed.begin(), browsed.end(),
                      "\\\\NOTED: found by the network (shared?[2Jdisk), queued"),
            browsed.end());
  // A name no scan could use is never echoed into the report.
  EXPECT_TRUE(
      has("\\\\10.0.0.5: found by WS-Discovery (workgroup (no workgroup), address "
          "10.0.0.5), queued"));
  ASSERT_EQ(report.size(), 11u);
  EXPECT_EQ(report[2].rfind("browse list: 2 computers found in ", 0), 0u) << report[2];
  EXPECT_EQ(report[7].rfind("WS-Discovery: 4 computers found in ", 0), 0u) << report[7];
  EXPECT_EQ(report[10].rfind("mDNS: 2 computers found in ", 0), 0u) << report[10];
}

TEST(DiscoverySources, SourcesTurnedOffOrAStopAreNotAsked) {
  testing::FakeNetwork net;
  net.AddWorkgroup("WG", {"\\\\BROWSED"});
  FakeSearches searches;
  searches.wsd = {{"PC1", Address(10, 0, 0, 2), "WG"}};
  searches.mdns = {{"PC2", Address(10, 0, 0, 3), ""}};
  NetworkSearchSettings only_mdns;
  only_mdns.browse_list = false;
  only_mdns.ws_discovery = false;
  JobShared shared;
  EnumerateSources(&net, &searches, only_mdns, &shared);
  EXPECT_THAT(Drain(&shared.queue), ElementsAre("1 \\\\PC2"));
  EXPECT_THAT(searches.calls, ElementsAre("mDNS"));

  // A stop during the first search: it finds nothing and the next is not asked.
  JobShared stopped;
  FakeSearches stopping;
  stopping.wsd = searches.wsd;
  stopping.stop_during = &stopped.stop;
  EnumerateSources(&net, &stopping, NetworkSearchSettings{}, &stopped);
  EXPECT_THAT(stopping.calls, ElementsAre("WS-Discovery"));
  EXPECT_THAT(Drain(&stopped.queue), ElementsAre("1 \\\\BROWSED"));

  // Without searches, the browse list only.
  JobShared browse_only;
  EnumerateSources(&net, nullptr, NetworkSearchSettings{}, &browse_only);
  EXPECT_THAT(Drain(&browse_only.queue), ElementsAre("1 \\\\BROWSED"));
}

}  // namespace
}  // namespace tellwen::indexer
