#include "query/results.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/matchers.h"

namespace tellwen::query {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(Paging, FirstFullPageHasNextOnly) {
  const PagingState s = Paging(0, 49, 50, 50);
  EXPECT_FALSE(s.previous_enabled);
  EXPECT_TRUE(s.next_enabled);
  EXPECT_EQ(s.next_from, 50);
  EXPECT_EQ(s.next_to, 99);
}

TEST(Paging, AShortPageHasNoNext) {
  EXPECT_FALSE(Paging(0, 49, 49, 50).next_enabled);
  EXPECT_FALSE(Paging(0, 49, 0, 50).next_enabled);
  EXPECT_FALSE(Paging(0, 49, 0, 50).previous_enabled);
}

TEST(Paging, PreviousFromThirtyWithPageSizeFiftyStartsAtZero) {
  const PagingState s = Paging(30, 79, 50, 50);
  EXPECT_TRUE(s.previous_enabled);
  EXPECT_EQ(s.previous_from, 0);
  EXPECT_EQ(s.previous_to, 29);
  const PagingState later = Paging(200, 399, 200, 200);
  EXPECT_EQ(later.previous_from, 0);
  EXPECT_EQ(later.previous_to, 199);
  EXPECT_EQ(later.next_from, 400);
  EXPECT_EQ(later.next_to, 599);
}

TEST(PagingBar, LinksCarryTheSearchAndEncodedExtraParameters) {
  CommandParams p;
  p.dirs = "on";
  p.searchkind = "any word";
  p.searchcategory = "A&B=\"x\"";
  const std::string extra = ExtraParameters(p);
  EXPECT_EQ(extra, "&dirs=on&searchkind=any%20word&searchcategory=A%26B%3D%22x%22");
  int nav = 0;
  const std::string bar = PagingBar("/scripts/KIVQuery.so", "a&b c", extra, 50, 99, 50, 50, &nav);
  EXPECT_EQ(nav, 1);
  EXPECT_THAT(bar, HasSubstr("id=tablenav1 style=\"display:none\""));
  EXPECT_THAT(bar, HasSubstr("<a href=\"/scripts/KIVQuery.so?Command?search=a%26b%20c&amp;"
                             "recordfrom=0&amp;recordto=49&amp;dowait=1&amp;dirs=on"));
  EXPECT_THAT(bar, HasSubstr("recordfrom=100&amp;recordto=149"));
  EXPECT_THAT(bar, HasSubstr("title=\"previous page\" >[ &lt&lt ]</p></a>"));
  EXPECT_THAT(bar, HasSubstr("title=\"next page\" >[ &gt&gt ]</p></a>"));
  int nav2 = 1;
  const std::string none = PagingBar("/s", "x", "", 0, 49, 0, 50, &nav2);
  EXPECT_THAT(none, HasSubstr("id=tablenav2"));
  EXPECT_THAT(none, Not(HasSubstr("recordfrom")));
  EXPECT_THAT(none, HasSubstr("color:#b0b0b0;\" >[ &lt&lt ]"));
}

TEST(ScopeText, EveryCombination) {
  EXPECT_EQ(ScopeText(false, false, false, "files"), "nothing");
  EXPECT_EQ(ScopeText(false, false, true, "Movies"), "Movies");
  EXPECT_EQ(ScopeText(true, false, false, "files"), "shares");
  EXPECT_EQ(ScopeText(true, false, true, "files"), "shares and files");
  EXPECT_EQ(ScopeText(false, true, false, "files"), "directories");
  EXPECT_EQ(ScopeText(false, true, true, "files"), "directories and files");
  EXPECT_EQ(ScopeText(true, true, false, "files"), "shares and directories");
  EXPECT_EQ(ScopeText(true, true, true, "files"), "shares, directories and files");
}

std::vector<std::string> Row(std::string computer, std::string share, std::string parent,
                             std::string folder, std::string file, std::string size = "10",
                             std::string status = "1", std::string ping_time = "2026,12,7,10,0,0") {
  return {computer, share,  parent,   folder, file, size, "2026-12-07 09:00:00",
          "42",     status, ping_time};
}

TEST(ResultRow, FileRowLinksEachPieceOfThePath) {
  std::string out;
  AppendResultRow(Row("//PC1", "share", "a/b", "c", "file.txt", "1234"), true, false, "/s", &out);
  EXPECT_THAT(out, HasSubstr("<a href=\"\\\\PC1\\\" title=\"scan time: 2026-12-07 "
                             "09:00:00\">PC1</a>&nbsp;</td><td>"));
  EXPECT_THAT(out, HasSubstr("<a href=\"\\\\PC1\\share\\\">share/</a>"
                             "<a href=\"\\\\PC1\\share\\a\\\">a/</a>"
                             "<a href=\"\\\\PC1\\share\\a\\b\\\">b/</a>"
                             "<a href=\"\\\\PC1\\share\\a\\b\\c\\\">c</a>&nbsp;</td><td>"
                             "<a href=\"\\\\PC1\\share\\a\\b\\c\\file.txt\">file.txt</a>&nbsp;"
                             "</td>"));
  EXPECT_THAT(out, HasSubstr("<p class=ad>&nbsp;1.2Mb</p>"));
  EXPECT_THAT(out, HasSubstr("src='/kiv/pingyes.gif'"));
  EXPECT_THAT(out, HasSubstr("getRelTime(1, 2026,12,7,10,0,0, 'PC1', 1)"));
  EXPECT_THAT(out, Not(HasSubstr("dload")));
}

TEST(ResultRow, FolderAndShareRows) {
  std::string folder;
  AppendResultRow(Row("//PC1", "share", "", "docs", ""), false, false, "/s", &folder);
  EXPECT_THAT(folder, HasSubstr(">docs</a>&nbsp;</td><td></td>"));
  EXPECT_THAT(folder, HasSubstr("&nbsp;directory"));
  std::string share;
  AppendResultRow(Row("//PC1", "share", " ", " ", " "), false, false, "/s", &share);
  EXPECT_THAT(share, HasSubstr(">share</a>&nbsp;</td><td></td>"));
  EXPECT_THAT(share, HasSubstr("&nbsp;share</p>"));
}

TEST(ResultRow, WithoutAutomaticPingEveryRowShowsTheFinger) {
  for (const char* status : {"1", "2", "0"}) {
    std::string out;
    AppendResultRow(Row("//PC1", "s", "", "", "f", "1", status), false, false, "/s", &out);
    EXPECT_THAT(out, HasSubstr("src='/kiv/pingfinger.gif'"));
    EXPECT_THAT(out, HasSubstr("getRelTime(0, "));
  }
  std::string dead;
  AppendResultRow(Row("//PC1", "s", "", "", "f", "1", "2"), true, false, "/s", &dead);
  EXPECT_THAT(dead, HasSubstr("src='/kiv/pingno.gif'"));
  std::string unknown;
  AppendResultRow(Row("//PC1", "s", "", "", "f", "1", "0"), true, false, "/s", &unknown);
  EXPECT_THAT(unknown, HasSubstr("getRelTime(0, "));
}

TEST(ResultRow, HostileNamesAreTextInEveryContext) {
  std::string out;
  AppendResultRow(Row("//o'PC\"<b>", "sh are", "", "", "<img src=x onerror=alert(1)>.txt", "1", "1",
                      "1);alert(1"),
                  true, true, "/s", &out);
  EXPECT_THAT(out, Not(HasSubstr("<img src=x")));
  EXPECT_THAT(out, Not(HasSubstr("<b>")));
  EXPECT_THAT(out, Not(HasSubstr("alert(1);")));
  EXPECT_THAT(out,
              testing::HasSubstrings(
                  {">&lt;img src=x onerror=alert(1)&gt;.txt</a>",
                   // The apostrophe reaches the tooltip script escaped by a backslash; the
                   // double quote and the angle brackets cannot end the attribute.
                   "'o\\'PC\\x22\\x3Cb\\x3E'", "onclick=\"ping(this, 'o\\'PC\\x22\\x3Cb\\x3E')\"",
                   // A stored ping time that is not six numbers is never written as script.
                   "getRelTime(1, 0,0,0,0,0,0, ",
                   // Hrefs are percent-encoded where a byte would change the URL.
                   "href=\"\\\\o%27PC%22%3Cb%3E\\sh%20are\\", "?Command?proxy=42'"}));
}

TEST(ResultBlocks, HeaderLineEscapesTheSearchString) {
  EXPECT_THAT(HeaderLine("a&b", "files", 0, 3),
              HasSubstr("searching for <b style=\"color:#224499;\">a&amp;b</b>"));
  EXPECT_THAT(HeaderLine("x", "files", 50, 3), HasSubstr("displaying results <b>51</b> to <b>53"));
  EXPECT_THAT(HeaderLine("x", "files", 0, 0), HasSubstr("no more results"));
  EXPECT_THAT(WaitBlock(), HasSubstr("<TABLE ID=tdDisp"));
  EXPECT_THAT(InvalidStringBlock("/s"), HasSubstr("You may use only [a-z], [A-Z], [0-9], '_', "
                                                  "'.', '!', '$', '^', '&amp;', '-'"));
}

}  // namespace
}  // namespace tellwen::query
