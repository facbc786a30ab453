#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/sql/catalog_fixture.h"
#include "tests/support/matchers.h"

namespace tellwen::testing {
namespace {

// The arguments of a search as the web extension sends them.
struct Search {
  std::string start = "0", stop = "20";
  std::string min = "0", max = "2147483647";
  int shares = 0, dirs = 0, files = 1;
  std::string word = "abc";
  std::string ping = "0";
  std::string query_data = "2002-02-15 10:00:00";
  std::string query_id = "0000000001";
  std::string category;
  bool log_query = true;  // false: the call of a site that cannot write its rows
};

// " '( column like ''%word%'' )' " as the search request builds it.
std::string LikeArgument(const std::string& column, const std::string& word) {
  return " '( " + column + " like ''%" + word + "%'' )' ";
}

class Procedures : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    Set("CategoriesEdit", "0|Audio/*.mp3");
    WriteIndex({{"//PC1", "music", "", "", "b.txt", 0},
                {"//PC1", "music", "rock", "old", "a.mp3", 4},
                {"//PC1", "music", "rock", "old", "abc.mp3", 2000},
                {"//PC1", "music", "", "abcdir", "*", 0},
                {"//PC1", "music", "", "rock", "r.txt", 1},
                {"//PC2", "abcshare", "", "", "abc.txt", 50},
                {"//PC2", "docs", "", "", "z.doc", 10},
                {"//alpha", "s", "a/b", "c", "x.txt", 1},
                {"//alpha", "s", "a/b/c", "d", "y.txt", 2},
                {"//alpha", "s", "a/b", "cc", "w.txt", 3},
                {"//alpha", "t", "a_b", "under", "u.txt", 1},
                {"//alpha", "t", "axb", "other", "v.txt", 1},
                {"//alpha", "t", "[x]", "bracket", "b.txt", 1}});
    MustUpdate();
  }

  SqlRows Run(const Search& s) {
    const std::string call =
        "spSearch '" + s.start + "', '" + s.stop + "', '" + s.min + "', '" + s.max + "', " +
        std::to_string(s.shares) + ", " + std::to_string(s.dirs) + ", " + std::to_string(s.files) +
        ", " + LikeArgument("s2", s.word) + ", " + LikeArgument("d2", s.word) + ", " +
        LikeArgument("fn", s.word) + ", '" + s.ping + "', '" + s.word + "', '" + s.query_data +
        "', '" + s.query_id + "', '" + s.category + "' " + (s.log_query ? "" : ", 0") + ";";
    SqlResult result = RunSql(call, 10, SqlCaller::kQuerySearch);
    EXPECT_FALSE(result.error) << call << "\n-> " << result.error_text;
    return result.rows;
  }
  // "s2/d2/fn" of each hit.
  std::vector<std::string> Hits(const Search& s) {
    std::vector<std::string> out;
    for (const SqlRow& r : Run(s)) out.push_back(r[1] + "/" + r[3] + "/" + r[4]);
    return out;
  }
  std::vector<std::string> Dir(const std::string& computer, const std::string& share,
                               const std::string& dir) {
    std::vector<std::string> out;
    for (const SqlRow& r : Query("spDir '" + computer + "', '" + share + "', '" + dir + "';", 3)) {
      out.push_back(r[0] + " " + r[1] + " " + r[2]);
    }
    return out;
  }
};

TEST_F(Procedures, SearchOptionsPickSharesFoldersAndFilesInIdOrder) {
  Search s;
  EXPECT_THAT(Hits(s), ElementsAre("music/old/abc.mp3", "abcshare//abc.txt"));
  s.files = 0;
  s.shares = 1;
  EXPECT_THAT(Hits(s), ElementsAre("abcshare//"));
  s.shares = 0;
  s.dirs = 1;
  EXPECT_THAT(Hits(s), ElementsAre("music/abcdir/"));
  s.shares = s.dirs = s.files = 1;
  EXPECT_THAT(Hits(s),
              ElementsAre("abcshare//", "music/abcdir/", "music/old/abc.mp3", "abcshare//abc.txt"));
  s.shares = s.dirs = s.files = 0;
  EXPECT_THAT(Hits(s), IsEmpty());
}

TEST_F(Procedures, SearchRowCarriesScanTimeIdAndUnknownPing) {
  const SqlRows rows = Run(Search{});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_THAT(rows[1],
              ElementsAre("//PC2", "abcshare", "", "", "abc.txt", "50", "2002-02-15 17:38:32",
                          One("select id from aall where fn = 'abc.txt'"), "0", "0,0,0,0,0,0"));
}

TEST_F(Procedures, SearchSizeBoundsLimitFileNamesOnly) {
  Search s;
  s.shares = s.dirs = 1;  // ignored once a size bound is given
  s.max = "100";
  EXPECT_THAT(Hits(s), ElementsAre("abcshare//abc.txt"));
  s.max = "2147483647";
  s.min = "100";
  EXPECT_THAT(Hits(s), ElementsAre("music/old/abc.mp3"));
  s.min = "10";
  s.max = "60";
  EXPECT_THAT(Hits(s), ElementsAre("abcshare//abc.txt"));
  s.min = "0";
  s.max = "2147483647";  // no bound at all: the options count again
  EXPECT_THAT(Hits(s),
              ElementsAre("abcshare//", "music/abcdir/", "music/old/abc.mp3", "abcshare//abc.txt"));
}

TEST_F(Procedures, SearchBoundsThatAreNotNumbersAreRefused) {
  // The bounds are spliced into the statement; text that is not a number
  // must not get there.
  const std::string call =
      "spSearch '0', '20', '0', '1) or (1=1', 0, 0, 1, '(1=1)', '(1=1)', '(1=1)', '0', 'x', "
      "'2002-02-15 10:00:00', '0000000009', '' ;";
  EXPECT_TRUE(RunSql(call, 10, SqlCaller::kQuerySearch).error);
}

TEST_F(Procedures, SearchCategoryClauseIsAppended) {
  Search s;
  s.category = " and gugu1=1 ";
  EXPECT_THAT(Hits(s), ElementsAre("music/old/abc.mp3"));
}

TEST_F(Procedures, AutomaticPingKeepsComputersThatAnswered) {
  Query(
      "insert into monitor_pings values ('//PC1', 2, '2002, 02, 15, 17, 38, 32') "
      "insert into monitor_pings values ('//PC2', 1, '2002, 02, 15, 17, 38, 40')",
      0);
  Search s;
  const SqlRows all = Run(s);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0][8], "2");
  EXPECT_EQ(all[0][9], "2002, 02, 15, 17, 38, 32");
  s.ping = "1";
  EXPECT_THAT(Hits(s), ElementsAre("abcshare//abc.txt"));
}

TEST_F(Procedures, SearchPagesByStartAndStop) {
  Search s;
  s.shares = s.dirs = s.files = 1;
  s.start = "1";
  s.stop = "3";
  EXPECT_THAT(Hits(s), ElementsAre("music/abcdir/", "music/old/abc.mp3"));
  s.start = "3";
  s.stop = "10";
  EXPECT_THAT(Hits(s), ElementsAre("abcshare//abc.txt"));
  s.start = "10";
  s.stop = "20";
  EXPECT_THAT(Hits(s), IsEmpty());
  s.start = "3";
  s.stop = "1";
  EXPECT_THAT(Hits(s), IsEmpty());
}

TEST_F(Procedures, LastQueriesKeepTheFifteenNewestRequestsAllDone) {
  for (int i = 1; i <= 16; ++i) {
    Search s;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "2002-02-15 10:%02d:00", i);
    s.query_data = stamp;
    s.query_id = std::to_string(1000000000 + i);
    Run(s);
  }
  const SqlRows rows = Query(
      "select query_id, query_status, stringu from stat_last_queries "
      "order by query_data",
      3);
  ASSERT_EQ(rows.size(), 15u);
  EXPECT_EQ(rows.front()[0], "1000000002");
  EXPECT_EQ(rows.back()[0], "1000000016");
  for (const SqlRow& r : rows) {
    EXPECT_EQ(r[1], "2");
    EXPECT_EQ(r[2], "abc");
  }
}

TEST_F(Procedures, ASearchAskedNotToLogFindsAsAnyAndWritesNoRow) {
  Search s;
  s.log_query = false;
  EXPECT_THAT(Hits(s), ElementsAre("music/old/abc.mp3", "abcshare//abc.txt"));
  EXPECT_EQ(One("select count(*) from stat_last_queries"), "0");
}

TEST_F(Procedures, SearchAndMonitorDoNotWaitForTheUpdatesWrites) {
  Set("QueryConnectionTimeout", "2");  // a search gives up on a lock after 2 s
  // A write transaction on the catalog held for 4 s, as the update's steps
  // hold them.
  std::atomic<bool> done{false};
  std::thread update([&] {
    SqlResult r = RunSql(
        "begin tran update aall set fs = fs + 0 "
        "declare @end datetime set @end = dateadd(second, 4, getdate()) "
        "while getdate() < @end set @end = @end commit tran",
        0, SqlCaller::kIndexerTaskBody);
    EXPECT_FALSE(r.error) << r.error_text;
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Search s;
  for (int i = 0; i < 2; ++i) {
    s.query_id = std::to_string(2000000000 + i);
    EXPECT_THAT(Hits(s), ElementsAre("music/old/abc.mp3", "abcshare//abc.txt"));
  }
  SqlResult round = RunSql(
      "begin transaction delete from monitor_pings insert into monitor_pings(name, status, "
      "ping_time) values('//PC1', '1', '2002, 02, 15, 17, 38, 32') commit transaction",
      0, SqlCaller::kMonitorRound);
  EXPECT_FALSE(round.error) << round.error_text;
  SqlResult logged = RunSql(
      "insert stat_searchs values ('2002-02-15 10:00:00', 'abc', 0, 2, 20, '1.2.3.4', 0, 0, 1, "
      "0, 2147483647, 0, 1)",
      0, SqlCaller::kQueryStatementRunner);
  EXPECT_FALSE(logged.error) << logged.error_text;
  EXPECT_FALSE(done) << "the update's transaction ended before the searches were tried";
  update.join();
}

TEST_F(Procedures, DirListsComputersSharesAndAFolder) {
  EXPECT_THAT(Dir("", "", ""),
              ElementsAre("dalpha 0 02/15/2002", "dPC1 0 02/15/2002", "dPC2 0 02/15/2002"));
  EXPECT_THAT(Dir("//PC2", "", ""), ElementsAre("cabcshare 0 ", "cdocs 0 "));
  // The share's root: its top-level folders together with its root files.
  EXPECT_THAT(Dir("//PC1", "music", ""), ElementsAre("aabcdir 0 ", "arock 0 ", "bb.txt 0 "));
  EXPECT_THAT(Dir("//PC1", "music", "rock"), ElementsAre("aold 0 ", "br.txt 1 "));
  EXPECT_THAT(Dir("//PC1", "music", "rock/old"), ElementsAre("ba.mp3 4 ", "babc.mp3 2000 "));
}

TEST_F(Procedures, DirOfANestedPathSplitsAtItsLastSlash) {
  // a/b/c: the folders whose parent is a/b/c, and the files of folder c in a/b.
  EXPECT_THAT(Dir("//alpha", "s", "a/b/c"), ElementsAre("ad 0 ", "bx.txt 1 "));
}

TEST_F(Procedures, DirMatchesTheFolderPathLiterally) {
  EXPECT_THAT(Dir("//alpha", "t", "a_b"), ElementsAre("aunder 0 "));
  EXPECT_THAT(Dir("//alpha", "t", "[x]"), ElementsAre("abracket 0 "));
  EXPECT_THAT(Dir("//alpha", "t", "%"), IsEmpty());
}

TEST_F(Procedures, FullPathOfAFileById) {
  const std::string id = One("select id from aall where fn = 'a.mp3'");
  EXPECT_THAT(Query("spGetFullPathFileFromID " + id, 4),
              ElementsAre(ElementsAre("//PC1/music/rock/old/a.mp3", "a.mp3", "//PC1", "music")));
  EXPECT_THAT(Query("spGetFullPathFileFromID 99999", 4), IsEmpty());
}

TEST_F(Procedures, StatChartsDailyHas25SlotsAndSumsLeaveTheFirstOut) {
  const char* insert =
      "insert stat_searchs values ('%s', 'x', 0, %d, 20, '1.2.3.4', 0, 0, 1, 0, "
      "2147483647, %d, %d)";
  auto search = [&](const char* when, int returned, int seconds, int source) {
    char sql[400];
    std::snprintf(sql, sizeof sql, insert, when, returned, seconds, source);
    Query(sql, 0);
  };
  search("2002-02-14 16:30:00", 7, 5, 1);  // first slot: left out of the summaries
  search("2002-02-15 16:10:00", 4, 3, 1);  // last slot
  search("2002-02-15 12:00:00", 2, 1, 2);
  search("2002-02-15 17:10:00", 9, 9, 1);  // after the window
  Query("insert stat_ping values ('2002-02-15 10:00:00', '1.2.3.4', 1, '//PC1')", 0);
  Query("insert stat_access_failure values ('2002-02-15 10:00:00', '1.2.3.4', 2)", 0);

  const SqlRows rows = Query("spStatCharts 1, '2002-02-15 17:38:32'", 13);
  ASSERT_EQ(rows.size(), 27u);
  EXPECT_EQ(rows[0][0], "1");
  EXPECT_EQ(rows[0][1], "17");  // hour of the slot's end
  EXPECT_EQ(rows[0][2], "2002-02-14 16:00:00");
  EXPECT_EQ(rows[0][5], "1");
  EXPECT_EQ(rows[24][0], "25");
  EXPECT_EQ(rows[24][2], "2002-02-15 16:00:00");
  EXPECT_EQ(rows[24][5], "1");
  EXPECT_EQ(rows[24][8], "3");
  const SqlRow& sums = rows[25];
  EXPECT_THAT(std::vector<std::string>(sums.begin(), sums.begin() + 3),
              ElementsAre("-1", "-1", "2002-02-15 17:38:32"));
  //                 ping1 ping2 s1   s2   acc  time req  ret  af1  af2
  EXPECT_THAT(std::vector<std::string>(sums.begin() + 3, sums.end()),
              ElementsAre("1", "0", "1", "1", "0", "4", "40", "6", "0", "1"));
  // Averages over the 24 counted slots, times 100: 100 / 24 = 4.17, 400 / 24 = 16.7.
  const SqlRow& averages = rows[26];
  EXPECT_EQ(averages[0], "-1");
  EXPECT_EQ(averages[3], "4");
  EXPECT_EQ(averages[8], "17");
}

TEST_F(Procedures, StatChartsWeeklyAndYearlySlots) {
  const SqlRows week = Query("spStatCharts 2, '2002-02-15 17:38:32'", 13);
  ASSERT_EQ(week.size(), 10u);
  EXPECT_EQ(week[0][2], "2002-02-07 00:00:00");
  EXPECT_EQ(week[0][1], "4");  // a Thursday: weekday 5 with Sunday first, minus 1
  EXPECT_EQ(week[7][2], "2002-02-14 00:00:00");
  const SqlRows year = Query("spStatCharts 3, '2002-02-15 17:38:32'", 13);
  ASSERT_EQ(year.size(), 15u);
  EXPECT_EQ(year[0][2], "2001-01-01 00:00:00");
  EXPECT_EQ(year[0][1], "0");
  EXPECT_EQ(year[12][2], "2002-01-01 00:00:00");
}

// The web form allows many words: each becomes one LIKE of the chain the
// search request builds, joined by AND (all words) or OR (any word).
class ManyWords : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    WriteIndex({{"//PC1", "abcdefghijklmnopqrstuvwxy", "", "", "z.txt", 1},
                {"//PC1", "other", "", "abcdefghijklmnopqrstuvwxy", "*", 0},
                {"//PC1", "other", "", "", "abcdefghijklmnopqrstuvwxy.txt", 2},
                {"//PC1", "other", "", "", "abcdefghijklm.txt", 3}});
    MustUpdate();
  }
  // " '( column like ''%a%'' AND column like ''%b%'' ...)' " over the words.
  static std::string Words(const std::string& column, const std::vector<std::string>& words,
                           const char* joint) {
    std::string r = " '(";
    for (size_t i = 0; i < words.size(); ++i) {
      if (i) r += joint;
      r += " " + column + " like ''%" + words[i] + "%'' ";
    }
    return r + ")' ";
  }
  std::vector<std::string> Hits(const std::vector<std::string>& words, const char* joint) {
    const std::string call = "spSearch '0', '20', '0', '2147483647', 1, 1, 1, " +
                             Words("s2", words, joint) + ", " + Words("d2", words, joint) + ", " +
                             Words("fn", words, joint) +
                             ", '0', 'words', '2002-02-15 10:00:00', '0000000001', '' ;";
    SqlResult result = RunSql(call, 10, SqlCaller::kQuerySearch);
    EXPECT_FALSE(result.error) << result.error_text;
    std::vector<std::string> out;
    for (const SqlRow& r : result.rows) out.push_back(r[1] + "/" + r[3] + "/" + r[4]);
    return out;
  }
};

TEST_F(ManyWords, FiftyOneLetterWordsSearchAllThreeScopes) {
  std::vector<std::string> words;
  for (int i = 0; i < 50; ++i) words.push_back(std::string(1, static_cast<char>('a' + i % 25)));
  EXPECT_THAT(Hits(words, "AND"),
              ElementsAre("abcdefghijklmnopqrstuvwxy//", "other/abcdefghijklmnopqrstuvwxy/",
                          "other//abcdefghijklmnopqrstuvwxy.txt"));
  std::vector<std::string> absent(50, "q");
  absent[49] = "m";
  EXPECT_THAT(Hits(absent, "OR"),
              ElementsAre("abcdefghijklmnopqrstuvwxy//", "other/abcdefghijklmnopqrstuvwxy/",
                          "other//abcdefghijklm.txt", "other//abcdefghijklmnopqrstuvwxy.txt"));
}

}  // namespace
}  // namespace tellwen::testing
