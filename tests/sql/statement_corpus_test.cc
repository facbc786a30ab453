// The statement corpus: the statement texts the programs send, built by the
// programs' own builders (the loader, the category and skip lists, the setup
// batch, the update script splitter), run on the embedded server with their
// result or effect checked. The catalog comes from the update script, run
// task by task as the update runner does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "common/category_list.h"
#include "common/sql_session.h"
#include "indexer/core/loader_index_file.h"
#include "indexer/core/script_splitter.h"
#include "indexer/core/skip_list.h"
#include "indexer/core/update_runner.h"
#include "platform/sqlserver/loader_batch.h"
#include "sql/update_script_template.h"
#include "tests/platform/sqlserver/server_fixture.h"

namespace tellwen::sqlserver {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// One index entry per line, fields separated by TAB (computer, share, parent
// folder, folder, file name, size).
const char* const kIndex[] = {
    "//PC1\tshare\t\t\ta.txt\t1",
    "//PC1\tshare\t\tdocs\tb_c.doc\t20",
    "//PC1\tshare\tdocs\tx\tO'Brien.txt\t2000",
    "//PC1\tshare\tdocs\tx\taxb.txt\t3",
    "//PC2\tmusic\t\t\t*\t0",
    "//PC2\tmusic\t\tpop\tsong.mp3\t4096",
};

// The loader's batch for lines, as the loader frames it.
std::string LoadBatch(const std::vector<std::string>& lines) {
  std::string batch = "begin tran\n";
  for (const std::string& line : lines) indexer::AppendInsertStatement(line, &batch);
  return batch + "commit tran\n";
}

class Corpus : public ServerTest {
 protected:
  // Every batch on a fresh session of the test database, as the update job
  // sends them; the batches are kept.
  class Executor : public SqlSession {
   public:
    explicit Executor(Corpus* test) : test_(test) {}
    SqlResult Run(const std::string& batch, int column_count, SqlCaller) override {
      batches.push_back(batch);
      SqlResult r;
      auto c = test_->Connect("kiv");
      BatchResult result;
      SqlError error;
      if (!c || !c->Execute(batch, &result, &error)) {
        r.error = true;
        r.description = c ? error.description : test_->last_open_error_.description;
        r.error_text = "unexpected error: " + r.description;
        return r;
      }
      for (const auto& row : result.rows) {
        SqlRow out;
        for (size_t i = 0; i < row.size() && (column_count < 0 || i < size_t(column_count)); ++i) {
          out.push_back(row[i].ToText());
        }
        r.rows.push_back(std::move(out));
      }
      return r;
    }
    std::vector<std::string> batches;

   private:
    Corpus* test_;
  };

  // Runs the update script with the test index and one category (*.txt).
  void BuildCatalog() {
    const indexer::ScriptPlaceholders values{"/tmp/", "kiv", "2002-02-15 17:38:32", "sa", "336"};
    const std::vector<Category> categories = BuildCategoryList("0|Text/*.txt");
    ASSERT_EQ(categories.size(), 1u);
    // One connection for every task body, as the runner's executor keeps it
    // (the swap's transaction spans several tasks).
    auto c = Connect("kiv");
    for (const indexer::ScriptTask& task : indexer::SplitScript(UpdateScriptTemplate(), values)) {
      BatchResult result;
      SqlError error;
      ASSERT_TRUE(c->Execute(task.body, &result, &error)) << task.name << ": " << error.description;
      if (task.name == "inserting data into database") {
        const std::string path = dir_.path() + "/index.txt";
        {
          std::ofstream out(path);
          for (const char* line : kIndex) out << line << "\n";
        }
        const indexer::LoaderResult loaded = indexer::LoadIndexFile(path, executor_, {});
        ASSERT_TRUE(loaded.ok) << loaded.error_text;
      } else if (task.name == "DONT-inserting categories") {
        Run(CategoryColumnsBatch(categories));
      } else if (task.name == "updating categories") {
        Run(CategoryUpdateBatch(categories));
      }
    }
    built_ = true;
  }
  Executor executor_{this};
  bool built_ = false;
};

TEST_F(Corpus, LoaderBatchesTakeTheLoaderFastPath) {
  // The loader's real batches are read by the loader's scanner, not by the
  // general parser: a change to either side that breaks this costs the
  // update its speed without failing anything else.
  BuildCatalog();
  int loader_batches = 0;
  for (const std::string& batch : executor_.batches) {
    std::vector<LoaderOp> ops;
    std::vector<Value> values;
    if (batch.rfind("begin tran", 0) != 0) continue;
    ++loader_batches;
    EXPECT_TRUE(ScanLoaderBatch(batch, &ops, &values)) << batch;
    EXPECT_EQ(ops.size(), std::size(kIndex) + 2);
    EXPECT_EQ(values.size(), std::size(kIndex) * 6);
  }
  EXPECT_EQ(loader_batches, 1);
}

TEST_F(Corpus, LoaderBatchesKeepQuotesAndRollBackWhenOneInsertFails) {
  Run("CREATE TABLE [dbo].[zz] ([Col001] [varchar] (255) NULL , [Col002] [varchar] (255) NULL ,"
      " [Col003] [varchar] (255) NULL , [Col004] [varchar] (255) NULL , [Col005] [varchar] "
      "(255) NULL , [Col006] [varchar] (255) NULL ) ON [PRIMARY]");
  Run(LoadBatch({"//PC1\tshare\td\te\tO'Brien.txt\t7", "//PC1\ts\t\t\tsixth\ttab\t9"}));
  EXPECT_EQ(Run("select Col005, Col006 from zz order by Col005"),
            (Rows{{"O'Brien.txt", "7"}, {"sixth", "tab\t9"}}));
  // A line with too few fields makes its insert fail: the whole batch goes.
  Error(LoadBatch({"//PC1\ta\tb\tc\td\t1", "short line"}));
  EXPECT_EQ(One("select count(*) from zz"), "2");
}

TEST_F(Corpus, UpdateScriptBuildsTheCatalog) {
  BuildCatalog();
  if (!built_) return;
  EXPECT_EQ(Run("select name, val from constants order by name"), (Rows{{"d_start", "3"},
                                                                        {"d_stop", "5"},
                                                                        {"f_start", "6"},
                                                                        {"f_stop", "10"},
                                                                        {"s_start", "1"},
                                                                        {"s_stop", "2"}}));
  // Shares, then folders, then files; each range sorted by fn, d2, d1, s2, s1.
  EXPECT_EQ(Run("select id, s1, s2, d1, d2, fn, fs from aall where id >= 6 order by id"),
            (Rows{{"6", "//PC1", "share", "", "", "a.txt", "1"},
                  {"7", "//PC1", "share", "docs", "x", "axb.txt", "3"},
                  {"8", "//PC1", "share", "", "docs", "b_c.doc", "20"},
                  {"9", "//PC1", "share", "docs", "x", "O'Brien.txt", "2000"},
                  {"10", "//PC2", "music", "", "pop", "song.mp3", "4096"}}));
  EXPECT_EQ(Run("select * from stat order by id;")[0],
            (std::vector<std::string>{"1", "total files size:", "6120"}));
  EXPECT_EQ(One("select value from stat where property = 'last index on:'"),
            "15-Feb-2002 at 5:38pm");
  EXPECT_EQ(Run("select * from stat_filesize order by id;").size(), 8u);
}

TEST_F(Corpus, SkipListQueryFindsRecentlyIndexedComputers) {
  Run("CREATE TABLE [dbo].[shares1] ([name] [varchar] (255) NULL , [data] [datetime] NULL )");
  Run("insert shares1 select '//OLD', dateadd(hh, -100, getdate()) "
      "insert shares1 select '//NEW', dateadd(hh, -1, getdate())");
  EXPECT_EQ(Run(indexer::RecentComputersStatement(48)), (Rows{{"//NEW"}}));
}

TEST_F(Corpus, SetupDropBatchDropsWhatExistsAndSkipsTheRest) {
  Run("create table zz (a int) create table aall (a int) create table keep_me (a int)");
  Run("create procedure spDir as select 1");
  std::string batch = indexer::SetupDropBatch();
  for (const char* p : {"spStatCharts", "spSearch", "spDir", "spGetFullPathFileFromID"}) {
    batch +=
        std::string(" if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[") + p +
        "]') and OBJECTPROPERTY(id, N'IsProcedure') = 1)  drop procedure [dbo].[" + p + "] ";
  }
  Run(batch);
  EXPECT_EQ(Run("select name from dbo.sysobjects"), (Rows{{"keep_me"}}));
  Run(batch);  // repeatable
}

TEST_F(Corpus, MonitorRewriteIsOneTransaction) {
  Run("CREATE TABLE [dbo].[monitor_pings] ([name] [varchar] (255) NULL , [status] [int] NULL ,"
      " [ping_time] [varchar] (100) NULL ) ON [PRIMARY]");
  auto rewrite = [](const std::vector<std::vector<std::string>>& records) {
    std::string b = "begin transaction delete from monitor_pings ";
    for (const auto& r : records) {
      std::string name;
      for (char c : r[0]) name += c == '\'' ? std::string("''") : std::string(1, c);
      b += "insert into monitor_pings(name, status, ping_time) values('" + name + "', '" + r[1] +
           "', '" + r[2] + "') ";
    }
    return b + "commit transaction";
  };
  Run(rewrite(
      {{"//PC1", "1", "2002, 02, 15, 17, 38, 32"}, {"//O'NEIL", "2", "2002, 02, 15, 17, 38, 33"}}));
  EXPECT_EQ(Run("select name, status from monitor_pings order by name"),
            (Rows{{"//O'NEIL", "2"}, {"//PC1", "1"}}));
  // A status that is not a number fails its insert: the old rows stay.
  Error(rewrite({{"//PC3", "1", "x"}, {"//PC4", "bad", "y"}}));
  EXPECT_EQ(One("select count(*) from monitor_pings"), "2");
  EXPECT_EQ(One("select status + 1 from monitor_pings where name = '//pc1'"), "2");
}

TEST_F(Corpus, WebStatementsOnTheCatalog) {
  BuildCatalog();
  if (!built_) return;
  // Search, as the extension builds the call.
  const std::string q3 = " '( fn like ''%o%'' )' ";
  Rows hits =
      Run("spSearch '0', '200', '0', '2147483647', 0, 1, 1,  '( s2 like ''%o%'' )' , "
          " '( d2 like ''%o%'' )' ," +
          q3 +
          ", '0', 'o', '2002-02-15 17:40:00', "
          "'0000000001', '' ;");
  // Folders docs and pop, then the files, in id order, with scan time and ping.
  ASSERT_EQ(hits.size(), 5u);
  EXPECT_EQ(hits[0][3], "docs");
  EXPECT_EQ(hits[1][3], "pop");
  EXPECT_EQ(hits[2][4], "b_c.doc");
  EXPECT_EQ(hits[4], (std::vector<std::string>{"//PC2", "music", "", "pop", "song.mp3", "4096",
                                               "2002-02-15 17:38:32", "10", "0", "0,0,0,0,0,0"}));
  EXPECT_EQ(One("select query_status from stat_last_queries where query_id = '0000000001'"), "2");
  // An underscore typed by the user matches only an underscore.
  Rows underscore =
      Run("spSearch '0', '200', '0', '2147483647', 0, 0, 1, ' ', ' ', "
          "' ( fn like ''%[_]c%'' ) ', '0', '_c', '2002-02-15 17:41:00', "
          "'0000000002', '' ;");
  ASSERT_EQ(underscore.size(), 1u);
  EXPECT_EQ(underscore[0][4], "b_c.doc");
  // Size bound and category clause.
  Rows sized =
      Run("spSearch '0', '200', '0', '100', 0, 0, 1, ' ', ' ', ' ( fn like ''%'' ) ', "
          "'0', '*', '2002-02-15 17:42:00', '0000000003', ' and gugu1=1 ' ;");
  EXPECT_EQ(sized.size(), 2u);
  Run("begin tran update stat_last_queries set query_status = 3 where query_id = '0000000003' "
      "commit tran");
  EXPECT_EQ(Run("select top 15 query_data, stringu, query_status from stat_last_queries order "
                "by query_data desc")[0],
            (std::vector<std::string>{"2002-02-15 17:42:00", "*", "3"}));
  // Logs.
  Run("insert stat_searchs values ('2002-02-15 17:38:32', 'o', 0, 4, 200, '10.0.0.9', 0, 1, 1, "
      "0, 2147483647, 0, 1)");
  Run("insert stat_access values ('2002-02-15 17:38:32', 12,  '10.0.0.9')");
  Run("insert stat_access_failure values ('2002-02-15 17:38:32', '10.0.0.9', 1)");
  Run("insert stat_ping values ('2002-02-15 17:38:32', '10.0.0.9', 1, '//PC1')");
  EXPECT_EQ(One("select count(*) from stat_searchs"), "1");
  // Statistics pages.
  EXPECT_EQ(Run("select nume, convert(varchar(50), catefile) + '*' + convert(varchar(50), "
                "catimegi), lastscan, isnull((select status from monitor_pings where "
                "stat_topmegi.nume = monitor_pings.name), 0) as ping_status, isnull((select "
                "ping_time from monitor_pings where stat_topmegi.nume = monitor_pings.name), "
                "'0,0,0,0,0,0') as ping_time from stat_topmegi order by catimegi desc"),
            (Rows{{"//PC2", "1*4096", "15-02-2002", "0", "0,0,0,0,0,0"},
                  {"//PC1", "4*2024", "15-02-2002", "0", "0,0,0,0,0,0"}}));
  const std::string n = "1";
  EXPECT_EQ(Run("select stat_topmegi.nume, stat_categories.value, stat_topmegi.lastscan, "
                "isnull((select status from monitor_pings where stat_topmegi.nume = "
                "monitor_pings.name), 0) as ping_status, isnull((select ping_time from "
                "monitor_pings where stat_topmegi.nume = monitor_pings.name), '0,0,0,0,0,0') as "
                "ping_time from stat_categories, stat_topmegi where '//' + left(value, "
                "PATINDEX('%*%',value) - 1) = stat_topmegi.nume and  stat_categories.attr = "
                "'top_gugu" +
                n + "'  order by stat_categories.id"),
            (Rows{{"//PC1", "PC1*3*2004", "15-02-2002", "0", "0,0,0,0,0,0"},
                  {"//PC2", "PC2*0*0", "15-02-2002", "0", "0,0,0,0,0,0"}}));
  EXPECT_EQ(Run(" select a.zcount, b.size, c.os, d.name from  ( select id, isnull(value, 0) as "
                "zcount from stat_categories where attr like 'count_%' ) a, ( select id, "
                "isnull(value, 0) as size from stat_categories where attr like 'size_%' ) b, "
                "(select id, isnull(value, 0) as os from stat_categories where attr like "
                "'origs_%' ) c, ( select id, isnull(value, 0) as name from stat_categories "
                "where attr like 'oname_%' ) d where a.id = b.id - 1 and a.id = c.id - 2 and "
                "a.id = d.id - 4 order by a.id"),
            (Rows{{"3", "2004", "*.txt", "Text"}}));
  // Quick links for the words "help" and "FAQ".
  EXPECT_EQ(Run("select distinct isnull(link,'') as link, isnull(display,'') as display from "
                "quick_links where word in ('help','FAQ','') order by display, link"),
            (Rows{{"/scripts/KIVQuery.so?Command?page=faq",
                   "How to search: frequently asked questions"}}));
  EXPECT_EQ(Run("select id, word, display, link from quick_links order by word, display, link, "
                "id")
                .size(),
            5u);
  // Browse, download and charts.
  EXPECT_EQ(Run("spDir '//PC1', 'share', 'docs/x'"),
            (Rows{{"baxb.txt", "3", ""}, {"bO'Brien.txt", "2000", ""}}));
  EXPECT_EQ(Run("spGetFullPathFileFromID 9"),
            (Rows{{"//PC1/share/docs/x/O'Brien.txt", "O'Brien.txt", "//PC1", "share"}}));
  EXPECT_EQ(Run("spStatCharts 1, '2002-02-15 17:38:32'").size(), 27u);
}

}  // namespace
}  // namespace tellwen::sqlserver
