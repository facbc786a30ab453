#include "common/address_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tellwen {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Expand(const std::string& field) {
  std::vector<std::string> out;
  ExpandAddressRange(field, [&](const std::string& name) { out.push_back(name); });
  return out;
}

TEST(AddressRange, WholeLastOctetGives256AddressesIncludingZeroAnd255) {
  std::vector<std::string> names = Expand("192.168.0.0-192.168.0.255");
  ASSERT_EQ(names.size(), 256u);
  EXPECT_EQ(names.front(), "\\\\192.168.0.0");
  EXPECT_EQ(names[1], "\\\\192.168.0.1");
  EXPECT_EQ(names.back(), "\\\\192.168.0.255");
}

TEST(AddressRange, EachOctetRunsOverItsOwnRange) {
  EXPECT_TRUE(Expand("10.0.0.5-10.0.1.3").empty());
  std::vector<std::string> names = Expand("192.168.1.10-192.168.2.20");
  ASSERT_EQ(names.size(), 22u);
  EXPECT_EQ(names[0], "\\\\192.168.1.10");
  EXPECT_EQ(names[10], "\\\\192.168.1.20");
  EXPECT_EQ(names[11], "\\\\192.168.2.10");
  EXPECT_EQ(names[21], "\\\\192.168.2.20");
}

TEST(AddressRange, BlanksAroundEachEndAreRemoved) {
  EXPECT_THAT(Expand("  127.0.0.1 -  127.0.0.2 "), ElementsAre("\\\\127.0.0.1", "\\\\127.0.0.2"));
}

TEST(AddressRange, FieldWithoutExactlyTwoEndsIsIgnored) {
  EXPECT_TRUE(Expand("127.0.0.1").empty());
  EXPECT_TRUE(Expand("127.0.0.1-127.0.0.2-127.0.0.3").empty());
  EXPECT_TRUE(Expand("127.0.0.1-").empty());
  EXPECT_TRUE(Expand(" -127.0.0.1").empty());
}

TEST(AddressRange, UnparsableEndCountsAsZeroAddress) {
  // Three octets only: the range starts at 0.0.0.0.
  EXPECT_THAT(Expand("192.168.1-0.0.0.1"), ElementsAre("\\\\0.0.0.0", "\\\\0.0.0.1"));
  // A leading zero, a sign, a blank inside or a number above 255 fail alike.
  for (const char* end : {"0.0.0.01", "0.0.0.+1", "0.0. 0.1", "0.0.0.256", "a.b.c.d"}) {
    EXPECT_EQ(ParseRangeEnd(end), (Octets{0, 0, 0, 0})) << end;
  }
  EXPECT_EQ(ParseRangeEnd("10.20.30.40"), (Octets{10, 20, 30, 40}));
  // An unparsable end: 10.0.0.1 to 0.0.0.0 produces nothing.
  EXPECT_TRUE(Expand("10.0.0.1-10.0.0.x").empty());
}

TEST(ListedComputers, SkipsPlaceholderKeepsNamesAndExpandsRanges) {
  std::vector<std::string> out;
  ForEachListedComputer("0|\\\\PC1|127.0.0.1-127.0.0.2|garbage|\\\\pc2",
                        [&](const std::string& name) { out.push_back(name); });
  EXPECT_THAT(out, ElementsAre("\\\\PC1", "\\\\127.0.0.1", "\\\\127.0.0.2", "\\\\pc2"));
  out.clear();
  ForEachListedComputer("0", [&](const std::string& name) { out.push_back(name); });
  ForEachListedComputer("", [&](const std::string& name) { out.push_back(name); });
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace tellwen
