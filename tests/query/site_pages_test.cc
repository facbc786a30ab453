// The statistics and browse pages' renderers over fixed rows, and the rules
// that keep request texts out of SQL.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "query/browse_page.h"
#include "query/site_blocks.h"
#include "query/stats_pages.h"
#include "tests/support/matchers.h"

namespace tellwen::query {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(StatsFormats, DotGroupingAndUptime) {
  for (auto [digits, grouped] :
       {std::pair{"1234567", "1.234.567"}, {"1234", "1.234"}, {"123456", "123.456"}}) {
    EXPECT_EQ(DotGrouped(digits), grouped) << digits;
  }
  for (const char* kept : {"123", "12a"}) EXPECT_EQ(DotGrouped(kept), kept);
  EXPECT_EQ(UptimeText(425), "00:07:05");
  EXPECT_EQ(UptimeText(86400 + 7230), "1 day 02:00:30");
  EXPECT_EQ(UptimeText(3 * 86400), "3 days 00:00:00");
}

TEST(StatsPages, MiscShowsComputedRowsFirstAndFormatsByPosition) {
  SqlRows rows = {{"1", "total files size:", "1234567"},
                  {"2", "computers:", "1234"},
                  {"3", "shares number:", "12"},
                  {"4", "folders:", "4567"},
                  {"5", "files:", "1000000"},
                  {"6", "p6", "x"},
                  {"7", "p7", "y"},
                  {"8", "index:", "9999"},
                  {"9", "p9", "z"},
                  {"10", "data size:", "2048 KB"},
                  {"11", "index size:", "512 KB"}};
  const std::string html = MiscTable("WEBHOST", "00:07:05", rows);
  const size_t server = html.find("web server:");
  const size_t uptime = html.find("uptime:");
  const size_t total = html.find("total files size:");
  ASSERT_NE(server, std::string::npos);
  EXPECT_LT(server, uptime);
  EXPECT_LT(uptime, total);
  EXPECT_THAT(html, testing::HasSubstrings({"&nbsp;1.23Gb&nbsp;", "&nbsp;1.234&nbsp;",
                                            "&nbsp;1.000.000&nbsp;", "&nbsp;9.999&nbsp;",
                                            "&nbsp;2.0Mb&nbsp;", "&nbsp;512Kb&nbsp;"}));
}

TEST(StatsPages, TopSharesSplitsCountAndSizeAndEscapesNames) {
  SqlRows rows = {{"//PC<b>1", "1234*2048", "2002-06-13 10:00", "1", "0,0,0,0,0,0"}};
  const std::string html = TopSharesTable(rows, "", false, true, "/scripts/KIVQuery.so");
  EXPECT_THAT(html, HasSubstr("PC&lt;b&gt;1"));
  EXPECT_THAT(html, Not(HasSubstr("PC<b>1")));
  EXPECT_THAT(html, HasSubstr("stats=browse&path=%2F%2FPC%3Cb%3E1"));
  EXPECT_THAT(html, HasSubstr("&nbsp;1.234"));
  EXPECT_THAT(html, HasSubstr("&nbsp;2.0Mb&nbsp;"));
  EXPECT_THAT(html, HasSubstr("/kiv/pingyes.gif"));
  EXPECT_THAT(html, HasSubstr("&nbsp;Top&nbsp;shares&nbsp;"));
  EXPECT_THAT(TopSharesTable(rows, "", false, false, "/s"), HasSubstr("/kiv/pingfinger.gif"));
}

TEST(StatsPages, TopSharesCategoryViewSkipsTheComputerPrefix) {
  SqlRows rows = {{"//PC1", "PC1*77*3000", "2002-06-13", "0", ""}};
  const std::string html = TopSharesTable(rows, "movies", true, false, "/s");
  EXPECT_THAT(html, HasSubstr("for&nbsp;category&nbsp;'movies'"));
  EXPECT_THAT(html, HasSubstr("&nbsp;77</p>"));
  EXPECT_THAT(html, HasSubstr("&nbsp;3.0Mb&nbsp;"));
}

TEST(StatsPages, OnlyACategoryNumberReachesTheTopSharesStatement) {
  EXPECT_EQ(TopSharesCategory("2"), 2);
  for (const char* other : {"0", "2' or 1=1 --", "-1", "1234567"}) {
    EXPECT_EQ(TopSharesCategory(other), 0) << other;
  }
  EXPECT_THAT(TopSharesStatement(2), HasSubstr("stat_categories.attr = 'top_gugu2'  order by"));
  EXPECT_THAT(TopSharesStatement(0), HasSubstr("from stat_topmegi order by catimegi desc"));
  EXPECT_EQ(CategoryName("0|movies/*.avi; *.mpg|music/*.mp3", 2), "music");
  EXPECT_EQ(CategoryName("0|movies/*.avi", 5), "");
}

TEST(StatsPages, EmptyTablesShowNA) {
  EXPECT_THAT(CategoriesTable({}, "/s"), HasSubstr("N/A"));
  EXPECT_THAT(LastQueriesTable({}), HasSubstr("N/A"));
}

TEST(StatsPages, CategoriesLinkTheirTopSharesByNumber) {
  SqlRows rows = {{"10", "2048", "*.avi; *.mpg", "movies"}, {"1234", "0", "*.mp3", "<music>"}};
  const std::string html = CategoriesTable(rows, "/s");
  EXPECT_THAT(html, testing::HasSubstrings({"path=topshares&t=1'>view top shares",
                                            "path=topshares&t=2'>view top shares", "&lt;music&gt;",
                                            "&nbsp;1.234"}));
}

TEST(StatsPages, LastQueriesStatusCells) {
  SqlRows rows = {{"t1", "a<b", "1"}, {"t2", "q", "3"}, {"t3", "q", "2"}};
  const std::string html = LastQueriesTable(rows);
  EXPECT_THAT(html,
              testing::HasSubstrings({"style='color:#bb1111'>&nbsp;running...",
                                      "style='color:red'>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;error!",
                                      "done", "a&lt;b"}));
}

TEST(StatsPages, FileBarsScaleToTheLargestAndAreTwoPixelsWhenAllZero) {
  SqlRows rows = {{"1", "&nbsp;under&nbsp;1k", "100"}, {"2", "1k-10k", "50"}, {"3", "<x>", "0"}};
  const std::string html = FilesTable(rows);
  EXPECT_THAT(html, testing::HasSubstrings({"width:202px;", "width:102px;", "width:2px;",
                                            "&nbsp;under&nbsp;1k", "&lt;x&gt;"}));
  const std::string zeros = FilesTable({{"1", "a", "0"}, {"2", "b", "0"}});
  EXPECT_THAT(zeros, Not(HasSubstr("width:202px")));
  EXPECT_THAT(zeros, HasSubstr("width:2px;"));
}

TEST(StatsPages, NavigationMarksTheCurrentPage) {
  const std::string html = StatsNavigation("/s", "files");
  EXPECT_THAT(html, HasSubstr("<b class='indreaptadeforma'>files</b>"));
  EXPECT_THAT(html, HasSubstr("href='/s?Command?stats=yes&path=topshares'>top&nbsp;shares</a>"));
  EXPECT_THAT(html, HasSubstr("href='/s?Command?stats=yes'>misc</a>"));
}

TEST(StatsPages, ChartsPanelStartsWithDailySearchesAndSaysWhenStopped) {
  const std::string html = ChartsPanel("/s", false);
  EXPECT_THAT(html, HasSubstr("var chartKind = 1, chartRange = 1;"));
  EXPECT_THAT(html, HasSubstr("stats=chart&path=' + chartRange + '&t=' + chartKind"));
  EXPECT_THAT(html, HasSubstr("Charting service is currently stopped."));
  EXPECT_THAT(ChartsPanel("/s", true), Not(HasSubstr("currently stopped")));
  for (const char* id : {"hbhb1", "hbhb2", "hbhb", "hbhb3", "hbhb4", "hbhb5", "haha", "haha1",
                         "haha2", "imaginea"}) {
    EXPECT_THAT(html, HasSubstr(std::string("id=") + id)) << id;
  }
}

TEST(BrowsePaths, ParseIntoComputerShareAndFolder) {
  BrowsePath p = ParseBrowsePath("//PC1/share/a/b/");
  EXPECT_EQ(p.computer, "//PC1");
  EXPECT_EQ(p.share, "share");
  EXPECT_EQ(p.folder, "a/b");
  p = ParseBrowsePath("//PC1");
  EXPECT_EQ(p.computer, "//PC1");
  EXPECT_EQ(p.share, "");
  p = ParseBrowsePath("//PC1/s");
  EXPECT_EQ(p.share, "s");
  EXPECT_EQ(p.folder, "");
  p = ParseBrowsePath("PC1/share");
  EXPECT_EQ(p.computer, "");
  EXPECT_EQ(ParseBrowsePath("default").computer, "");
}

TEST(BrowsePaths, StatementsDoubleQuotes) {
  EXPECT_EQ(SpDirStatement('a', {}), "spDir '', '', '';");
  EXPECT_EQ(SpDirStatement('b', ParseBrowsePath("//O'Neil")), "spDir '//O''Neil', '', '';");
  EXPECT_EQ(SpDirStatement('c', ParseBrowsePath("//PC/it's/a'b")),
            "spDir '//PC', 'it''s', 'a''b';");
}

TEST(BrowsePaths, DateIsRearrangedToDayMonthYear) {
  EXPECT_EQ(BrowseDate("06/13/2002 10:11:12"), "13-06-2002");
  EXPECT_EQ(BrowseDate("<b>"), "&lt;b&gt;");
}

TEST(BrowsePaths, TrailLinksEachPieceEncoded) {
  EXPECT_EQ(LocationTrail("/s", "//PC1/my share"),
            "<a href='/s?Command?stats=browse&path='>/</a>"
            "<a href='/s?Command?stats=browse&path=%2F%2FPC1'>PC1</a>"
            "<a href='/s?Command?stats=browse&path=%2F%2FPC1%2Fmy%20share'>my share</a>");
  EXPECT_THAT(LocationTrail("/s", "//<x>"), HasSubstr(">&lt;x&gt;</a>"));
}

TEST(BrowseFrames, ComputersLoadSharesAndClearTheFolderFrame) {
  const std::string html = BrowseFrameRows('a', {}, {{"dPC1", "0", "06/13/2002"}}, "/s");
  EXPECT_THAT(html, HasSubstr("<a href='/s?Command?stats=browse&path=%2F%2FPC1&t=b' target=b "
                              "onclick=' parent.frames[\"c\"].location.href=\"/s?Command?stats="
                              "browse&path=%2F%2FPC1&t=c\"; '><p class=ptab1>PC1</p></a>"));
  EXPECT_THAT(html, HasSubstr("13-06-2002"));
  EXPECT_THAT(html, HasSubstr("id=table3a"));
}

TEST(BrowseFrames, SharesAndFoldersLinkOneLevelDeeperAndUp) {
  const BrowsePath pc = ParseBrowsePath("//PC1");
  const std::string shares = BrowseFrameRows('b', pc, {{"cdocs", "0", ""}}, "/s");
  EXPECT_THAT(shares, HasSubstr("path=%2F%2FPC1%2Fdocs&t=c\"><p class=ptab>docs</p>"));
  EXPECT_THAT(shares, HasSubstr(">..</p>"));
  EXPECT_THAT(BrowseFrameRows('b', {}, {{"cdocs", "0", ""}}, "/s"), Not(HasSubstr("docs")));

  const BrowsePath root = ParseBrowsePath("//PC1/docs");
  const std::string top =
      BrowseFrameRows('c', root, {{"asub", "0", ""}, {"bf.txt", "1234", ""}}, "/s");
  EXPECT_THAT(top, Not(HasSubstr(">..</p>")));
  EXPECT_THAT(top, HasSubstr("path=%2F%2FPC1%2Fdocs%2Fsub&t=c\"><p class='ptab'>sub</p></a></td>"
                             "<td class=rrr nowrap>&lt;dir&gt;"));
  EXPECT_THAT(top, HasSubstr("<p class='ptab'>f.txt</p></td><td class=rrr nowrap>&nbsp;1.2Mb"));

  const BrowsePath deep = ParseBrowsePath("//PC1/docs/sub/x");
  const std::string inner = BrowseFrameRows('c', deep, {}, "/s");
  EXPECT_THAT(inner, HasSubstr("path=%2F%2FPC1%2Fdocs%2Fsub&t=c\"><p class='ptab'>..</p>"));
}

TEST(BrowseFrames, HostileNamesStayText) {
  const BrowsePath root = ParseBrowsePath("//PC1/docs");
  const std::string html =
      BrowseFrameRows('c', root, {{"b<img src=x onerror=alert(1)>.txt", "1", ""}}, "/s");
  EXPECT_THAT(html, HasSubstr("&lt;img src=x onerror=alert(1)&gt;.txt"));
  EXPECT_THAT(html, Not(HasSubstr("<img src=x")));
  const std::string trailer = BrowseFrameTrailer("00:01", LocationTrail("/s", "//a\"</script>"));
  EXPECT_THAT(trailer, Not(HasSubstr("\"</script>")));
  EXPECT_THAT(trailer, HasSubstr("if ('[object]' == parent.timpul)"));
  EXPECT_THAT(trailer, HasSubstr("getElementById('cale')"));
}

}  // namespace
}  // namespace tellwen::query
