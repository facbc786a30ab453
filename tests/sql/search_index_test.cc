// Name search with and without the catalog's substring indexes: random
// catalogs (ASCII and non-ASCII letters, blanks, _, [, ], %, quotes) and
// random searches prepared by the web's own rules (all three kinds, * and ?,
// brackets, underscores, short words) must give the same spSearch pages,
// row for row, with the indexes read and with their use switched off; also
// after a second update (the swap) and after an update that failed.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <random>
#include <thread>

#include "query/search.h"
#include "tests/sql/catalog_fixture.h"

namespace tellwen::testing {
namespace {

// Pieces names are made of: frequent words, short ones, and characters
// LIKE and the index treat specially.
const std::vector<std::string> kPieces = {
    "abc",  "Abc", "ABCD", "song",    "Song", "live",   "mp3",   "a",     "b",
    "ab",   "x",   "_",    "[",       "]",    "%",      "'",     " ",     "  ",
    "é",    "É",   "ÉTÉ",  "öl",      "Öl",   "straße", "Ωmega", "ωMEGA", "déjà",
    "[ab]", "a_b", "100%", "o'brien", "tab",  ".txt",   ".MP3",  "-",     "~"};

std::string RandomName(std::mt19937& rng, int max_pieces) {
  std::uniform_int_distribution<size_t> piece(0, kPieces.size() - 1);
  std::uniform_int_distribution<int> count(1, max_pieces);
  std::string name;
  for (int n = count(rng); n > 0; --n) name += kPieces[piece(rng)];
  return name;
}

std::vector<Entry> RandomCatalog(std::mt19937& rng, int files) {
  std::vector<Entry> entries;
  std::uniform_int_distribution<int> computer(1, 6), share(1, 3), size(0, 5000), coin(0, 3);
  for (int i = 0; i < files; ++i) {
    Entry e;
    e.computer = "//PC" + std::to_string(computer(rng));
    e.share = RandomName(rng, 2) + std::to_string(share(rng));
    if (coin(rng) > 0) {
      e.parent = RandomName(rng, 2);
      e.folder = RandomName(rng, 3);
    }
    e.file = RandomName(rng, 4);
    e.size = size(rng);
    entries.push_back(e);
  }
  return entries;
}

// A search string of the web's allowed characters.
std::string RandomSearch(std::mt19937& rng) {
  static const std::vector<std::string> kWords = {
      "abc",      "ABC",      "abcd", "song", "live", "mp3", "a",    "ab",    "b",
      "x",        "a_b",      "[ab]", "[",    "]",    "ab*", "*abc", "s?ng",  "?",
      "*",        "_",        "txt",  ".txt", "bri",  "o",   "tab",  "omega", "100",
      "abc song", "live mp3", "a b",  "ab_",  "[a",   "b]",  "so*g", "e"};
  std::uniform_int_distribution<size_t> word(0, kWords.size() - 1);
  std::uniform_int_distribution<int> count(1, 2);
  std::string search;
  for (int n = count(rng); n > 0; --n) {
    if (!search.empty()) search += ' ';
    search += kWords[word(rng)];
  }
  return search;
}

class SearchIndex : public CatalogTest {
 protected:
  SqlRows Search(const query::SearchPlan& plan, const std::string& search, bool indexed) {
    ScopedEnv use("TELLWEN_SQL_SUBSTRING_INDEX", indexed ? "on" : "off");
    ++calls_;
    const std::string call = query::SpSearchCall(plan, search, false, "2002-02-15 10:00:00",
                                                 std::to_string(1000 + calls_));
    SqlResult result = RunSql(call, 10, SqlCaller::kQuerySearch);
    EXPECT_FALSE(result.error) << call << "\n-> " << result.error_text;
    return result.rows;
  }

  // Random searches, each page compared with and without the indexes.
  void CompareSearches(std::mt19937& rng, int searches) {
    std::uniform_int_distribution<int> coin(0, 1), kind(0, 2), bounds(0, 3), page(0, 2);
    long long hits = 0;
    for (int i = 0; i < searches; ++i) {
      const std::string search = RandomSearch(rng);
      query::CommandParams p;
      p.searchkind = kind(rng) == 0 ? "any word" : kind(rng) == 1 ? "exact" : "all words";
      p.shares = coin(rng) ? "on" : "";
      p.dirs = coin(rng) ? "on" : "";
      p.files = coin(rng) || (p.shares.empty() && p.dirs.empty()) ? "on" : "";
      if (bounds(rng) == 0) {
        p.sizebetween = "on";
        p.sizemin = "100";
        p.sizemax = "3000";
      }
      p.pagesize = "7";
      const int first = 7 * page(rng);
      p.recordfrom = std::to_string(first);
      p.recordto = std::to_string(first + 6);
      query::SearchPlan plan = query::PlanSearch(search, p, "");
      ASSERT_TRUE(plan.valid) << search;
      const SqlRows indexed = Search(plan, search, true);
      const SqlRows scanned = Search(plan, search, false);
      ASSERT_EQ(indexed, scanned) << "search \"" << search << "\" kind " << plan.kind << " options "
                                  << plan.shares << plan.dirs << plan.files << " from "
                                  << plan.from;
      hits += static_cast<long long>(scanned.size());
    }
    EXPECT_GT(hits, 0);  // the searches did find rows
  }

  int calls_ = 0;
};

TEST_F(SearchIndex, PagesAreTheSameWithAndWithoutTheIndex) {
  std::mt19937 rng(20061);
  WriteIndex(RandomCatalog(rng, 600));
  MustUpdate();
  EXPECT_EQ(One("select count(*) from _tsql_substring where tbl = 'aall' and valid = 1"), "3");
  CompareSearches(rng, 60);
}

TEST_F(SearchIndex, LikePatternsOfEveryShapeAgreeWithTheScan) {
  std::mt19937 rng(7);
  WriteIndex(RandomCatalog(rng, 400));
  MustUpdate();
  // Patterns the web never sends but the server must still answer alike:
  // non-ASCII runs, sets, escapes of its own, trailing blanks, NOT LIKE.
  const std::vector<std::string> patterns = {
      "%été%",   "%ÖL%",       "%Straße%", "%ωmega%",  "%[[]ab]%",
      "%a[_]b%", "%100[%]%",   "%o''b%",   "%abc %",   "abc%",
      "%mp3",    "%[a-c]bc%",  "%a_c%",    "%[^a]bc%", "%dÉjÀ%",
      "%]%",     "%abcd%abc%", "%%",       "ABCD",     "%ab%' and fn not like '%so%"};
  for (const std::string& pattern : patterns) {
    const std::string sql = "select top 9 convert(int, id) as id, fn from aall where fn like '" +
                            pattern + "' or d2 like '" + pattern + "' order by id";
    SqlRows indexed, scanned;
    {
      ScopedEnv use("TELLWEN_SQL_SUBSTRING_INDEX", "on");
      indexed = Query(sql, 2);
    }
    {
      ScopedEnv use("TELLWEN_SQL_SUBSTRING_INDEX", "off");
      scanned = Query(sql, 2);
    }
    EXPECT_EQ(indexed, scanned) << pattern;
  }
}

TEST_F(SearchIndex, TheIndexFollowsTheSwapAndSurvivesAFailedUpdate) {
  std::mt19937 rng(99);
  WriteIndex(RandomCatalog(rng, 300));
  MustUpdate();
  WriteIndex(RandomCatalog(rng, 300));
  MustUpdate();
  // One index per name column of the live catalog; the old catalog's are gone.
  EXPECT_EQ(One("select count(*) from _tsql_substring"), "3");
  EXPECT_EQ(One("select count(*) from _tsql_substring where tbl = 'aall' and valid = 1"), "3");
  CompareSearches(rng, 25);

  // A failed update leaves temp_aall and its indexes behind; the live
  // catalog still answers from its own.
  WriteIndex(RandomCatalog(rng, 200));
  struct Failing : DatabaseSql {
    SqlResult Run(const std::string& batch, int column_count, SqlCaller caller) override {
      if (batch.find("insert into temp_stat_filesize") != std::string::npos) {
        return DatabaseSql::Run(batch + "\nselect convert(int, 'not a number')", column_count,
                                caller);
      }
      return DatabaseSql::Run(batch, column_count, caller);
    }
  } failing;
  EXPECT_EQ(Update(false, &failing), 1);
  EXPECT_EQ(One("select count(*) from _tsql_substring where tbl = 'temp_aall'"), "3");
  CompareSearches(rng, 25);
  // A change to the live catalog's names makes its indexes stale: unused.
  Query("update aall set fn = 'changed abc' where id = (select max(id) from aall)", 0);
  EXPECT_EQ(One("select count(*) from _tsql_substring where tbl = 'aall' and valid = 1"), "2");
  CompareSearches(rng, 10);
  MustUpdate();
  EXPECT_EQ(One("select count(*) from _tsql_substring where tbl = 'aall' and valid = 1"), "3");
  EXPECT_EQ(One("select count(*) from _tsql_substring"), "3");
}

TEST_F(SearchIndex, SpaceUsedCountsTheIndexesOfTheTable) {
  std::mt19937 rng(8);
  WriteIndex(RandomCatalog(rng, 500));
  MustUpdate();
  const SqlRows used = Query("exec sp_spaceused 'aall'", 6);
  ASSERT_EQ(used.size(), 1u);
  // The pages of aall's B-tree indexes and of its substring indexes, read
  // from the file itself.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2((dir_.path() + "/data/kiv.sqlite").c_str(), &db, SQLITE_OPEN_READONLY,
                            nullptr),
            SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(
                db,
                "SELECT sum(pgsize) FROM dbstat('main', 1) WHERE name LIKE '\\_tsql\\_sub$%' "
                "ESCAPE '\\' OR name IN (SELECT name FROM sqlite_master WHERE type = 'index' "
                "AND tbl_name = 'aall')",
                -1, &stmt, nullptr),
            SQLITE_OK)
      << sqlite3_errmsg(db);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  const long long bytes = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  EXPECT_EQ(used[0][4], std::to_string((bytes + 1023) / 1024) + " KB");
}

TEST_F(SearchIndex, SearchesMeetingTheSwapReadOneWholeCatalog) {
  // Two catalogs of the same shape (so the id ranges of the constants are
  // the same) whose file names differ: a search finds other rows in each.
  std::mt19937 rng(31);
  const std::vector<Entry> first = RandomCatalog(rng, 300);
  std::vector<Entry> second = first;
  for (size_t i = 0; i < second.size(); i += 2) second[i].file = RandomName(rng, 4);
  query::CommandParams p;
  p.searchkind = "all words";
  p.files = "on";
  p.pagesize = "200";
  p.recordfrom = "0";
  p.recordto = "199";
  const query::SearchPlan plan = query::PlanSearch("abc", p, "");
  ASSERT_TRUE(plan.valid);
  std::atomic<int> calls{0};
  auto search = [&] {
    return RunSql(query::SpSearchCall(plan, "abc", false, "2002-02-15 10:00:00",
                                      std::to_string(5000 + calls++)),
                  10, SqlCaller::kQuerySearch);
  };
  WriteIndex(first);
  MustUpdate();
  const SqlRows rows_first = search().rows;
  WriteIndex(second);
  MustUpdate();
  const SqlRows rows_second = search().rows;
  ASSERT_NE(rows_first, rows_second);

  // Searches run while the catalog is swapped back and forth: each reads
  // the index of the catalog it reads, whole.
  std::atomic<bool> stop{false};
  std::atomic<int> searches{0}, failures{0}, mixed{0}, updating{0};
  std::string failure;
  std::thread reader([&] {
    while (!stop) {
      SqlResult result = search();
      ++searches;
      if (result.error &&
          result.error_text.find("Could not find stored procedure") != std::string::npos) {
        ++updating;  // the procedures are re-created: the web waits and asks again
      } else if (result.error) {
        if (failures++ == 0) failure = result.error_text;
      } else if (result.rows != rows_first && result.rows != rows_second) {
        ++mixed;
      }
    }
  });
  for (int round = 0; round < 10; ++round) {
    WriteIndex(round % 2 == 0 ? first : second);
    if (Update() != 0) ADD_FAILURE() << "update " << round << " failed:\n" << output_;
  }
  stop = true;
  reader.join();
  EXPECT_GT(searches.load() - updating.load(), 6);
  EXPECT_EQ(failures.load(), 0) << failure;
  EXPECT_EQ(mixed.load(), 0);
}

}  // namespace
}  // namespace tellwen::testing
