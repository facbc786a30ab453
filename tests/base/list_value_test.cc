#include "base/list_value.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tellwen {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ListValue, SkipsThePlaceholderAndEmptyFields) {
  EXPECT_THAT(ReadListValue("0"), IsEmpty());
  EXPECT_THAT(ReadListValue(""), IsEmpty());
  EXPECT_THAT(ReadListValue("0|\\\\FILESERVER|192.168.2.1 - 192.168.2.254"),
              ElementsAre("\\\\FILESERVER", "192.168.2.1 - 192.168.2.254"));
  EXPECT_THAT(ReadListValue("0||a||"), ElementsAre("a"));
  // The placeholder is skipped whatever it holds.
  EXPECT_THAT(ReadListValue("x|a"), ElementsAre("a"));
}

TEST(ListValue, SplitKeepsEveryField) {
  EXPECT_THAT(SplitListValue("0||a|"), ElementsAre("0", "", "a", ""));
  EXPECT_THAT(SplitListValue(""), ElementsAre(""));
}

TEST(ListValue, MakeRoundTrips) {
  EXPECT_EQ(MakeListValue({}), "0");
  EXPECT_EQ(MakeListValue({"10.0.0.1", "10.0.0.2"}), "0|10.0.0.1|10.0.0.2");
  EXPECT_THAT(ReadListValue(MakeListValue({"a", "b"})), ElementsAre("a", "b"));
}

}  // namespace
}  // namespace tellwen
