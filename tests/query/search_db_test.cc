// The search page over a real catalog: the update job loads an index into
// the embedded SQL server, and the extension runs spSearch through the
// database session as it does under kivweb.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/clock.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "query/query_server.h"
#include "tests/query/fake_ecb.h"
#include "tests/sql/catalog_fixture.h"
#include "tests/support/matchers.h"

namespace tellwen::testing {
namespace {

class SearchPageTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    Set("CategoriesEdit", "0|Text/*.txt|Music/*.mp3");
    WriteIndex({{"//PC1", "music", "", "", "song1.mp3", 4000},
                {"//PC1", "music", "rock", "old", "song2.mp3", 1234567},
                {"//PC1", "music", "", "songs", "*", 0},
                {"//PC1", "docs", "", "", "song3.txt", 0},
                {"//PC2", "songbook", "", "", "song4.txt", 10},
                {"//PC2", "songbook", "", "", "song5.txt", 10},
                {"//PC2", "songbook", "", "", "song6.txt", 10},
                {"//PC2", "songbook", "", "", "song7.txt", 10},
                {"//O'Neil", "share", "", "", "<img src=x onerror=alert(1)>.txt", 1},
                {"//PC3", "under", "", "", "a_c.txt", 1},
                {"//PC3", "under", "", "", "abc.txt", 1}});
    MustUpdate();
    Set("WebStatus", "yes");
    Set("ShouldShortReport", "0");
  }
  FakeRequest Get(const std::string& query) {
    FakeRequest request(query);
    request.Run(server_);
    return request;
  }
  FakeRequest Post(const std::string& data) {
    FakeRequest request("Command", "POST", data);
    request.Run(server_);
    return request;
  }

  query::CQueryServer server_{MachineSettings(), MachineSql(), MachineClock()};
};

TEST_F(SearchPageTest, PostedFormSearchShowsRowsAndLogsTheSearch) {
  const FakeRequest r = Post(
      "search=song&searchkind=all+words&recordfrom=0&recordto=199&dowait=1&src=main&dirs=on&"
      "files=on&pagesize=200");
  EXPECT_THAT(r.body, HasSubstrings({"searching for <b style=\"color:#224499;\">song</b>",
                                     " inside directories and files&nbsp;",
                                     "displaying results <b>1</b> to <b>8</b>",
                                     "<table id=table3 style=\"display:none\""}));
  EXPECT_EQ(Occurrences(r.body, "<tr class=ab>"), 8u);
  EXPECT_THAT(r.body, HasSubstrings({">song2.mp3</a>", "&nbsp;1.23Gb", "&nbsp;&lt;1Kb",
                                     ">songs</a>&nbsp;</td><td></td>", "query time: 00:0",
                                     "kivShow('tablenav2', '');"}));
  EXPECT_THAT(r.body, EndsWith("</html>"));
  const SqlRows logged =
      Query("select stringu, de_la_cat, cate_a_intors, cate_pe_pagina, sursa from stat_searchs", 5);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0], (SqlRow{"song", "0", "8", "200", "1"}));
  EXPECT_THAT(Column("select query_status from stat_last_queries"), ::testing::ElementsAre("2"));
}

TEST_F(SearchPageTest, FiftySearchersAtOnceKeepTheFifteenNewestSearchesAllDone) {
  std::vector<std::thread> searchers;
  std::atomic<int> whole_pages{0};
  for (int i = 0; i < 50; ++i) {
    searchers.emplace_back([&, i] {
      const FakeRequest r =
          Post("search=song&recordfrom=0&recordto=199&dirs=on&files=on&src=" + std::to_string(i));
      if (Occurrences(r.body, "<tr class=ab>") == 8u) ++whole_pages;
    });
  }
  for (std::thread& t : searchers) t.join();
  EXPECT_EQ(whole_pages, 50);
  EXPECT_EQ(One("select count(*) from stat_searchs"), "50");
  EXPECT_EQ(One("select count(distinct query_id) from stat_last_queries"), "15");
  EXPECT_THAT(Column("select distinct query_status from stat_last_queries"),
              ::testing::ElementsAre("2"));
}

TEST_F(SearchPageTest, PagingForwardAndBackCoversEveryRowOnce) {
  const std::string base = "Command?search=song&dirs=on&files=on&pagesize=5&src=main";
  const FakeRequest first = Get(base + "&recordfrom=0&recordto=4");
  EXPECT_EQ(Occurrences(first.body, "<tr class=ab>"), 5u);
  EXPECT_THAT(first.body, HasSubstr("recordfrom=5&amp;recordto=9&amp;dowait=1&amp;dirs=on&amp;"
                                    "files=on&amp;pagesize=5&amp;src=main\">"));
  EXPECT_THAT(first.body, HasSubstr("color:#b0b0b0;\" >[ &lt&lt ]"));
  const FakeRequest second = Get(base + "&recordfrom=5&recordto=9&dowait=1");
  EXPECT_EQ(Occurrences(second.body, "<tr class=ab>"), 3u);
  EXPECT_THAT(second.body, HasSubstr("displaying results <b>6</b> to <b>8</b>"));
  EXPECT_THAT(second.body, HasSubstr("recordfrom=0&amp;recordto=4&amp;dowait=1"));
  EXPECT_THAT(second.body, HasSubstr("color:#b0b0b0;\" >[ &gt&gt ]"));
  EXPECT_THAT(Column("select de_la_cat from stat_searchs order by de_la_cat"),
              ::testing::ElementsAre("0", "5"));
}

TEST_F(SearchPageTest, AHostileFileNameShowsAsText) {
  const FakeRequest r = Get("Command?search=img&files=on&recordfrom=0&recordto=199");
  EXPECT_THAT(r.body, HasSubstr(">&lt;img src=x onerror=alert(1)&gt;.txt</a>"));
  EXPECT_THAT(r.body, Not(HasSubstr("<img src=x")));
  EXPECT_THAT(r.body, HasSubstr("'O\\'Neil'"));
}

TEST_F(SearchPageTest, ExactSearchWithWildcardsAndAnUnderscore) {
  const FakeRequest q = Get("Command?search=a%3Fc.txt&searchkind=exact&files=on&recordfrom=0");
  EXPECT_THAT(q.body, HasSubstr(">a_c.txt</a>"));
  EXPECT_THAT(q.body, HasSubstr(">abc.txt</a>"));
  const FakeRequest u = Get("Command?search=a_c&files=on&recordfrom=0");
  EXPECT_THAT(u.body, HasSubstr(">a_c.txt</a>"));
  EXPECT_THAT(u.body, Not(HasSubstr(">abc.txt</a>")));
  const FakeRequest star = Get("Command?search=s*3.txt&searchkind=exact&files=on&recordfrom=0");
  EXPECT_EQ(Occurrences(star.body, "<tr class=ab>"), 1u);
  EXPECT_THAT(star.body, HasSubstr(">song3.txt</a>"));
}

TEST_F(SearchPageTest, CategoryAndSizeRestrictTheFiles) {
  const FakeRequest cat =
      Get("Command?search=song&files=on&dirs=on&fromcategory=on&searchcategory=Music");
  EXPECT_THAT(cat.body, HasSubstr(" inside directories and files"));
  EXPECT_EQ(Occurrences(cat.body, "<tr class=ab>"), 2u);
  const FakeRequest unknown =
      Get("Command?search=song&files=on&fromcategory=on&searchcategory=Nope");
  EXPECT_THAT(unknown.body, HasSubstr(" inside files&nbsp;"));
  EXPECT_EQ(Occurrences(unknown.body, "<tr class=ab>"), 7u);
  const FakeRequest size =
      Get("Command?search=song&files=on&sizebetween=on&sizemin=1&sizeminunit=M&sizemax=max&"
          "sizemaxunit=M");
  EXPECT_EQ(Occurrences(size.body, "<tr class=ab>"), 2u);
  EXPECT_THAT(size.body, HasSubstr(">song1.mp3</a>"));
}

TEST_F(SearchPageTest, QuickLinksOnTheFirstPageOnly) {
  const FakeRequest first = Get("Command?search=help&files=on&recordfrom=0&recordto=199");
  EXPECT_THAT(first.body, HasSubstr("<table id=quicklinks style=\"display:none\""));
  EXPECT_THAT(first.body, HasSubstr("<a class='ql' href='/scripts/KIVQuery.so?Command?page=faq'>"
                                    "How to search: frequently asked questions</a>"));
  const FakeRequest later = Get("Command?search=help&files=on&recordfrom=200&recordto=399");
  EXPECT_THAT(later.body, Not(HasSubstr("id=quicklinks")));
}

TEST_F(SearchPageTest, NoScopeLogsASearchWithZeroResults) {
  const FakeRequest r = Get("Command?search=song&recordfrom=0&recordto=199");
  EXPECT_THAT(r.body, HasSubstr("no records found"));
  EXPECT_THAT(Query("select cate_a_intors from stat_searchs", 1),
              ::testing::ElementsAre(SqlRow{"0"}));
  EXPECT_TRUE(Query("select query_id from stat_last_queries", 1).empty());
}

TEST_F(SearchPageTest, EveryAllowedCharacterStaysInsideItsStringLiterals) {
  // Each allowed punctuation character, URL-encoded, in each kind of search:
  // the statement must run without a database error.
  const std::string typed = "%2E%20-%21%24%5E%26%2B%3D~%40%23%2C%28%29%5B%5D%7B%7D_%2A%3F";
  for (const char* kind : {"any+word", "all+words", "exact"}) {
    const FakeRequest r = Get("Command?search=" + typed + "&searchkind=" + kind +
                              "&shares=on&dirs=on&files=on&recordfrom=0");
    EXPECT_THAT(r.body, Not(HasSubstr("fatal"))) << kind;
    EXPECT_THAT(r.body, HasSubstr("searching for <b style=\"color:#224499;\">. -!$^&amp;+=~@#,()"
                                  "[]{}_*?</b>"))
        << kind;
  }
  EXPECT_EQ(Query("select stringu from stat_searchs", 1).size(), 3u);
}

TEST_F(SearchPageTest, HomePageRecordsTheAccess) {
  Get("Command");
  Get("Command");
  EXPECT_THAT(Column("select ip_ul from stat_access order by counter"),
              ::testing::ElementsAre("127.0.0.1", "127.0.0.1"));
}

}  // namespace
}  // namespace tellwen::testing
