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
#include "tests/query/search_form.h"
#include "tests/sql/catalog_fixture.h"

namespace tellwen::testing {
namespace {

// Pieces names are made of: frequent words, short ones, and characters
// LIKE and the index treat specially.
const std::vector<std::string> kPieces = {
    "abc",     "Abc", "ABCD", "song",   "Song",  "live",  "mp3",  "a",    "b",   "ab",
    "x",       "_",   "[",    "]",      "%",     "'",     " ",    "  ",   "é",   "É",
    "ÉTÉ",     "öl",  "Öl",   "straße", "Ωmega", "ωMEGA", "déjà", "[ab]", "a_b", "100%",
    "o'brien", "tab", ".txt", ".MP3",   "-",     "~",     "\\"};

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

  // The substring indexes table's searches may read: on the embedded engine
  // those its registry holds valid, on PostgreSQL the trigram indexes (which
  // the server keeps up to date). "" for table: every table's.
  std::string ReadableIndexes(const std::string& table) {
    if (OnPostgres()) {
      return One("select count(*) from pg_indexes where charindex('_trgm$', indexname) > 0" +
                 (table.empty() ? "" : " and tablename = '" + table + "'"));
    }
    return One("select count(*) from _tsql_substring" +
               (table.empty() ? "" : " where tbl = '" + table + "' and valid = 1"));
  }

  int calls_ = 0;
};

TEST_F(SearchIndex, PagesAreTheSameWithAndWithoutTheIndex) {
  std::mt19937 rng(20061);
  WriteIndex(RandomCatalog(rng, 600));
  MustUpdate();
  EXPECT_EQ(ReadableIndexes("aall"), "3");
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
      "%]%",     "%abcd%abc%", "%%",       "ABCD",     "%ab%' and fn not like '%so%",
      "%\\_b%"};
  // Each pattern in two shapes: the indexes of two columns, and each branch
  // over a range of ids of its own (read as a range of its index).
  std::vector<std::string> statements;
  for (const std::string& pattern : patterns) {
    const std::string fn = "fn like '" + pattern + "'", d2 = "d2 like '" + pattern + "'";
    statements.push_back("select top 9 convert(int, id) as id, fn from aall where " + fn + " or " +
                         d2 + " order by id");
    statements.push_back(
        "declare @lo int, @hi int set @lo = 40 set @hi = 2000000000 "
        "select top 9 convert(int, id) as id, fn from aall where ((id between 1 and 39) and " +
        d2 + ") or ((id between @lo and @hi) and " + fn +
        " and (id between 0 and 300)) order by id");
  }
  for (const std::string& sql : statements) {
    SqlRows indexed, scanned;
    {
      ScopedEnv use("TELLWEN_SQL_SUBSTRING_INDEX", "on");
      indexed = Query(sql, 2);
    }
    {
      ScopedEnv use("TELLWEN_SQL_SUBSTRING_INDEX", "off");
      scanned = Query(sql, 2);
    }
    EXPECT_EQ(indexed, scanned) << sql;
  }
}

TEST_F(SearchIndex, TheIndexFollowsTheSwapAndSurvivesAFailedUpdate) {
  std::mt19937 rng(99);
  WriteIndex(RandomCatalog(rng, 300));
  MustUpdate();
  WriteIndex(RandomCatalog(rng, 300));
  MustUpdate();
  // One index per name column of the live catalog; the old catalog's are gone.
  EXPECT_EQ(ReadableIndexes(""), "3");
  EXPECT_EQ(ReadableIndexes("aall"), "3");
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
  EXPECT_EQ(ReadableIndexes("temp_aall"), "3");
  CompareSearches(rng, 25);
  // A change to the live catalog's names makes its indexes stale: unused.
  Query("update aall set fn = 'changed abc' where id = (select max(id) from aall)", 0);
  EXPECT_EQ(ReadableIndexes("aall"), OnPostgres() ? "3" : "2");
  CompareSearches(rng, 10);
  MustUpdate();
  EXPECT_EQ(ReadableIndexes("aall"), "3");
  EXPECT_EQ(ReadableIndexes(""), "3");
}

TEST_F(SearchIndex, SpaceUsedCountsTheIndexesOfTheTable) {
  if (OnPostgres()) GTEST_SKIP() << "the sizes are read from the embedded engine's file";
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
  // Two catalogs of different shapes: the second has more shares and
  // folders (so its id ranges of shares, folders and files differ from the
  // first's) and other file names. A search of all three kinds and a list
  // of a computer's shares find other rows in each; ranges of one catalog
  // paired with the rows of the other would show folders as shares, or
  // files as folders.
  std::mt19937 rng(31);
  std::vector<Entry> first = RandomCatalog(rng, 300);
  // Every computer is in both (one missing from a scan would be carried over).
  first.push_back(Entry{"//PC7", "only", "", "", "one", 1});
  std::vector<Entry> second = first;
  for (size_t i = 0; i < second.size(); i += 2) second[i].file = RandomName(rng, 4);
  for (Entry& e : RandomCatalog(rng, 150)) {
    e.computer = e.computer == "//PC1" ? "//PC1" : "//PC7";  // a computer of its own
    e.share += "x";
    second.push_back(e);
  }
  query::CommandParams p = SearchForm("", "any word");
  p.shares = "on";
  p.pagesize = "200";
  // Words found nowhere make the statement the procedure builds long:
  // the time between its reading the ranges and its reading the rows.
  std::string words = "abc a";
  for (const char* w : {"z", "y", "w"}) {
    for (int i = 0; i < 10; ++i) words += " " + std::string(w) + std::to_string(i);
  }
  const query::SearchPlan plan = query::PlanSearch(words, p, "");
  ASSERT_TRUE(plan.valid);
  std::atomic<int> calls{0};
  auto search = [&] {
    return RunSql(query::SpSearchCall(plan, words, false, "2002-02-15 10:00:00",
                                      std::to_string(5000 + calls++)),
                  10, SqlCaller::kQuerySearch);
  };
  auto browse = [&] { return RunSql("spDir '//PC1', '', ''", 3, SqlCaller::kQueryRowReader); };
  // The scan times differ too: a page shows its computers' scan time.
  auto write = [&](bool one) {
    Set("LastIndexData", one ? "2002-02-15 17:38:32" : "2002-02-16 09:00:00");
    WriteIndex(one ? first : second);
  };
  write(true);
  MustUpdate();
  const SqlRows rows_first = search().rows, shares_first = browse().rows;
  write(false);
  MustUpdate();
  const SqlRows rows_second = search().rows, shares_second = browse().rows;
  ASSERT_NE(rows_first, rows_second);
  ASSERT_NE(shares_first, shares_second);
  ASSERT_FALSE(shares_first.empty());
  // A copy of the second catalog's tables beside the live first one: the
  // two are swapped as the update swaps them (renames in one transaction),
  // again and again.
  const std::vector<std::string> tables = {"aall", "constants", "shares1", "monitor_pings"};
  for (const std::string& t : tables) Query("select * into b_" + t + " from " + t, 0);
  write(true);
  MustUpdate();
  ASSERT_EQ(search().rows, rows_first);
  // Copies of the first catalog's tables take the live ones' place (so the
  // swaps rename plain tables, quickly; searches scan them).
  auto renames = [&](const std::string& from, const std::string& to) {
    std::string sql;
    for (const std::string& t : tables) {
      sql += " exec sp_rename '" + from + t + "', '" + to + t + "'";
    }
    return sql;
  };
  for (const std::string& t : tables) Query("select * into a_" + t + " from " + t, 0);
  Query("begin tran" + renames("", "o_") + renames("a_", "") + " commit tran", 0);
  ASSERT_EQ(search().rows, rows_first);
  // As the update's swap: the tables locked together first, in the order
  // the searches read them (a server whose readers hold table locks would
  // deadlock with renames taking them one by one).
  const std::string locked =
      "begin tran select top 0 1 as locked from constants with (tablockx), aall with "
      "(tablockx), shares1 with (tablockx), monitor_pings with (tablockx)";
  const std::string swap =
      locked + renames("", "x_") + renames("b_", "") + renames("x_", "b_") + " commit tran";

  // Searches and lists run while the catalog is swapped back and forth:
  // each reads the ranges of the catalog it reads, whole.
  std::atomic<bool> stop{false};
  std::atomic<int> searches{0}, failures{0}, mixed{0}, updating{0};
  std::string failure;
  std::thread reader([&] {
    while (!stop) {
      const bool searching = searches % 2 == 0;
      SqlResult result = searching ? search() : browse();
      ++searches;
      const SqlRows& a = searching ? rows_first : shares_first;
      const SqlRows& b = searching ? rows_second : shares_second;
      if (result.error &&
          result.error_text.find("Could not find stored procedure") != std::string::npos) {
        ++updating;  // the procedures are re-created: the web waits and asks again
      } else if (result.error) {
        if (failures++ == 0) failure = result.error_text;
      } else if (result.rows != a && result.rows != b) {
        ++mixed;
      }
    }
  });
  for (int round = 0; round < 60; ++round) Query(swap, 0);
  // The update's own tables back in place for the updates below.
  Query(locked + renames("", "a_") + renames("o_", "") + " commit tran", 0);
  for (int round = 0; round < 10; ++round) {
    write(round % 2 == 0);
    if (Update() != 0) ADD_FAILURE() << "update " << round << " failed:\n" << output_;
  }
  stop = true;
  reader.join();
  EXPECT_GT(searches.load() - updating.load(), 6);
  EXPECT_EQ(failures.load(), 0) << failure;
  EXPECT_EQ(mixed.load(), 0) << "of " << searches.load() << " pages";
}

}  // namespace
}  // namespace tellwen::testing
