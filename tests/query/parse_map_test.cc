#include "query/parse_map.h"

#include <gtest/gtest.h>

#include "query/command_params.h"

namespace tellwen::query {
namespace {

class ParseMapTest : public ::testing::Test {
 protected:
  ParseMapTest() {
    map_.AddCommand("Command", CommandParamList());
    map_.AddCommand("Default", "");
    map_.SetDefaultCommand("Default");
  }
  CommandParams Params(const std::string& query, const std::string& posted = "") {
    ParsedRequest request = map_.Parse(query, posted);
    EXPECT_EQ(request.cause, kParseOk) << query;
    EXPECT_EQ(request.command, "Command");
    return CommandParams::FromValues(request.values);
  }
  CParseMap map_;
};

TEST_F(ParseMapTest, MissingParametersAreDefault) {
  const CommandParams p = Params("Command");
  EXPECT_EQ(p.search, "default");
  EXPECT_EQ(p.fromcategory, "default");
  EXPECT_EQ(Params("Command?").recordfrom, "default");
  EXPECT_EQ(map_.ParamNames("Command").size(), 27u);
}

TEST_F(ParseMapTest, NoQueryStringRunsTheDefaultCommand) {
  EXPECT_EQ(map_.Parse("", "").command, "Default");
  EXPECT_EQ(map_.Parse("", "").cause, kParseOk);
  EXPECT_EQ(map_.Parse("command?search=x", "").command, "Command");
}

TEST_F(ParseMapTest, ValuesAreDecodedAfterTheSplit) {
  const CommandParams p = Params("Command?search=a%26b%3Dc+d&recordfrom=0&shares=on");
  EXPECT_EQ(p.search, "a&b=c d");
  EXPECT_EQ(p.recordfrom, "0");
  EXPECT_EQ(p.shares, "on");
  // Empty values (the ping request's form) are empty, not default.
  const CommandParams ping = Params("Command?search=&recordfrom=&stats=ping&path=PC%201");
  EXPECT_EQ(ping.search, "");
  EXPECT_EQ(ping.path, "PC 1");
  // A later "?" belongs to the value.
  EXPECT_EQ(Params("Command?search=a?c").search, "a?c");
}

TEST_F(ParseMapTest, PostedDataAddsToTheQueryString) {
  const CommandParams p = Params("Command", "search=abc&dirs=on&searchkind=any+word");
  EXPECT_EQ(p.search, "abc");
  EXPECT_EQ(p.dirs, "on");
  EXPECT_EQ(p.searchkind, "any word");
  EXPECT_EQ(Params("Command?search=x", "search=y").search, "y");
}

TEST_F(ParseMapTest, QuotedValuesLoseTheirQuotesAndALoneQuoteIsAnError) {
  EXPECT_EQ(Params("Command?search=%22abc%22").search, "abc");
  EXPECT_EQ(map_.Parse("Command?search=\"abc", "").cause, kParseBadQuote);
  EXPECT_EQ(map_.Parse("Command?search=\"", "").cause, kParseBadQuote);
  EXPECT_EQ(map_.Parse("Command", "t=%22").cause, kParseBadQuote);
}

TEST_F(ParseMapTest, UnknownNamesAndCommandsAreRefused) {
  EXPECT_EQ(map_.Parse("Nothing?search=x", "").cause, kParseCommandNotFound);
  EXPECT_EQ(map_.Parse("Command?bogus=1", "").cause, kParseBadParam);
  EXPECT_EQ(map_.Parse("Command?search", "").cause, kParseBadParam);
  EXPECT_EQ(map_.Parse("Default?x=1", "").cause, kParseBadParam);
}

TEST(ParseCause, TextsByNumber) {
  EXPECT_STREQ(ParseCauseText(0), "No errors\n");
  EXPECT_STREQ(ParseCauseText(3), "The command name was not found");
  EXPECT_STREQ(ParseCauseText(8), "A parameter had a bad format (ie, only one quote) ");
  EXPECT_STREQ(ParseCauseText(9), "");
}

}  // namespace
}  // namespace tellwen::query
