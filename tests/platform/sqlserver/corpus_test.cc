// The statement corpus: every statement text the programs send, built the
// way the programs build them, run on a fresh database, with its result or
// effect checked. The catalog comes from the update script itself
// (sql/kivdb.sql), run task by task as the update runner does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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

// The loader's batch: "begin tran", one insert per line with the first five
// TABs turned into "','" and quotes doubled, "commit tran".
std::string LoadBatch(const std::vector<std::string>& lines) {
  std::string batch = "begin tran\n";
  for (const std::string& line : lines) {
    batch += "insert into zz values('";
    int tabs = 0;
    for (char c : line) {
      if (c == '\t' && tabs < 5) {
        batch += "','";
        ++tabs;
      } else if (c == '\'') {
        batch += "''";
      } else {
        batch += c;
      }
    }
    batch += "')\n";
  }
  return batch + "commit tran\n";
}

std::string DropTableIfExists(const std::string& table) {
  return " if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[" + table +
         "]') and OBJECTPROPERTY(id, N'IsUserTable') = 1) drop table [dbo].[" + table + "] ";
}

class Corpus : public ServerTest {
 protected:
  // Runs the update script with the test index and one category (*.txt).
  void BuildCatalog() {
    std::ifstream in(std::string(TELLWEN_SOURCE_DIR) + "/sql/kivdb.sql");
    if (!in) GTEST_SKIP() << "no update script in this tree";
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::pair<std::string, std::string>> tasks;
    std::string name, body, line;
    std::istringstream lines(text.str());
    auto replace = [](std::string& s, const std::string& from, const std::string& to) {
      const size_t pos = s.find(from);
      if (pos != std::string::npos) s.replace(pos, from.size(), to);
    };
    while (std::getline(lines, line)) {
      replace(line, "$$$tmpfolder$$$", "/tmp/");
      replace(line, "$$$database$$$", "kiv");
      replace(line, "$$$indexdata$$$", "2002-02-15 17:38:32");
      replace(line, "$$$loginuser$$$", "sa");
      replace(line, "$$$maxhours$$$", "336");
      if (line.rfind("--#-", 0) == 0) {
        if (!name.empty() && !body.empty()) tasks.emplace_back(name, body);
        name = line.substr(4);
        body.clear();
      } else {
        body += line + "\n";
      }
    }
    if (!name.empty() && !body.empty()) tasks.emplace_back(name, body);
    for (const auto& [task, task_body] : tasks) {
      BatchResult result;
      SqlError error;
      auto c = Connect("kiv");  // a fresh session per task, as the runner does
      ASSERT_TRUE(c->Execute(task_body, &result, &error)) << task << ": " << error.description;
      if (task == "inserting data into database") {
        Run(LoadBatch(std::vector<std::string>(std::begin(kIndex), std::end(kIndex))));
      } else if (task == "DONT-inserting categories") {
        Run(" alter table temp_aall add gugu1 tinyint NULL ");
      } else if (task == "updating categories") {
        const std::string c1 = "gugu1";
        Run(" update temp_aall set " + c1 + "=0 " + "update temp_aall set " + c1 +
            "=1 where (fn like '%.txt') " + "create index i_" + c1 + " on temp_aall(" + c1 + ") " +
            " insert into temp_stat_categories select 'count_" + c1 + "', count(" + c1 +
            ") from temp_aall where " + c1 + "=1" +
            " insert into temp_stat_categories select 'size_" + c1 +
            "', sum(fs) from temp_aall "
            "where " +
            c1 + "=1" + " insert into temp_stat_categories select 'origs_" + c1 + "', '*.txt'" +
            " insert into temp_stat_categories select 'name_" + c1 + "', '" + c1 + "'" +
            " insert into temp_stat_categories select 'oname_" + c1 + "', 'Text'" +
            " insert into temp_stat_categories(attr, value) select 'top_" + c1 +
            "', substring(name, 3, 255) + '*' + convert(varchar(20), (select count(*) from "
            "temp_aall where s1 = name and " +
            c1 +
            "=1)) + '*' + convert(varchar(20), "
            "isnull((select sum(fs) from temp_aall where s1 = name and " +
            c1 +
            "=1), 0)) "
            "from temp_shares1 order by isnull((select sum(fs) from temp_aall where s1 = name "
            "and " +
            c1 + "=1), 0) desc, name");
      }
    }
    built_ = true;
  }
  bool built_ = false;
};

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
  const int hours = 48;
  EXPECT_EQ(
      Run("declare @ultimii datetime    set @ultimii = (select DATEADD(hh, -" +
          std::to_string(hours) + ", getdate()))   select name from shares1 where data > @ultimii"),
      (Rows{{"//NEW"}}));
}

TEST_F(Corpus, SetupDropBatchDropsWhatExistsAndSkipsTheRest) {
  Run("create table zz (a int) create table aall (a int) create table keep_me (a int)");
  Run("create procedure spDir as select 1");
  std::string batch;
  for (const char* t :
       {"zz", "temp_aall", "temp_shares1", "temp_constants", "temp_monitor_pings", "temp_stat",
        "temp_stat_topmegi", "temp_stat_filesize", "temp_stat_categories", "aall", "shares1",
        "constants", "stat", "stat_topmegi", "stat_filesize", "stat_categories", "tmp1",
        "monitor_pings"}) {
    batch += DropTableIfExists(t);
  }
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
