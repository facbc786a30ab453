#include "indexer/core/discovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
