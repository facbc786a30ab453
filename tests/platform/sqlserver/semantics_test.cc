// SQL Server semantics the programs rely on, checked through whole batches.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "tests/platform/sqlserver/server_fixture.h"

namespace tellwen::sqlserver {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using Semantics = ServerTest;

TEST_F(Semantics, PlusFollowsTypePrecedence) {
  EXPECT_EQ(Run("select 'a' + 'b', 1 + 2, '1' + 2, 2 + '1', 1.5 + 1"),
            (Rows{{"ab", "3", "3", "3", "2.5"}}));
  Run("create table t (v varchar(10), n int) insert into t values ('7', 3)");
  // Column types are known only at run time.
  EXPECT_EQ(Run("select v + n, v + v, convert(varchar(5), n) + v, v + NULL from t"),
            (Rows{{"10", "77", "37", "NULL"}}));
  EXPECT_EQ(Error("select 'abc' + 1"),
            "Conversion failed when converting the varchar value 'abc' to data type int.");
  EXPECT_EQ(Run("declare @s varchar(20), @i int set @i = 5 set @s = 'n=' + convert(varchar, @i) "
                "select @s"),
            (Rows{{"n=5"}}));
}

TEST_F(Semantics, TextComparisonIgnoresCaseAndTrailingBlanks) {
  EXPECT_EQ(Run("select case when 'abc' = 'ABC ' then 1 else 0 end, "
                "case when 'abc' < 'ABD' then 1 else 0 end, "
                "case when 'ÄRGER' = 'ärger' then 1 else 0 end"),
            (Rows{{"1", "1", "1"}}));
  Run("create table t (name varchar(50)) insert t values ('//PC1') insert t values ('//pc2')");
  EXPECT_EQ(One("select count(*) from t where name = '//pc1'"), "1");
  EXPECT_EQ(One("select count(*) from t where name in ('//PC2', 'x')"), "1");
  EXPECT_EQ(Run("select name from t order by name desc"), (Rows{{"//pc2"}, {"//PC1"}}));
  // Temp tables made by SELECT INTO keep the collation.
  Run("select name into #c from t");
  EXPECT_EQ(One("select count(*) from #c where name = '//PC2'"), "1");
}

TEST_F(Semantics, LikeKnowsSqlServerPatterns) {
  Run("create table f (fn varchar(255))");
  for (const char* name : {"a_b.txt", "axb.txt", "A[1].DOC", "zeta.mp3", "report ", "b]"}) {
    Run(std::string("insert into f values ('") + name + "')");
  }
  auto match = [&](const std::string& pattern) {
    std::vector<std::string> names;
    for (const auto& row : Run("select fn from f where fn like '" + pattern + "' order by fn")) {
      names.push_back(row[0]);
    }
    return names;
  };
  EXPECT_THAT(match("a[_]b%"), ElementsAre("a_b.txt"));
  EXPECT_THAT(match("a_b%"), ElementsAre("a_b.txt", "axb.txt"));
  EXPECT_THAT(match("%[[]1]%"), ElementsAre("A[1].DOC"));
  EXPECT_THAT(match("[a-b]%"), ElementsAre("A[1].DOC", "a_b.txt", "axb.txt", "b]"));
  EXPECT_THAT(match("[^a]%"), ElementsAre("b]", "report ", "zeta.mp3"));
  EXPECT_THAT(match("%.MP3"), ElementsAre("zeta.mp3"));
  EXPECT_THAT(match("b]"), ElementsAre("b]"));
  // Trailing blanks of the value do not count, those of the pattern do.
  EXPECT_THAT(match("report"), ElementsAre("report "));
  EXPECT_THAT(match("zeta.mp3 "), ElementsAre());
  EXPECT_EQ(One("select count(*) from f where fn like 'a!_b%' escape '!'"), "1");
  EXPECT_EQ(One("select count(*) from f where fn not like '%a%'"), "2");
}

TEST_F(Semantics, OrOfLikesOnOneColumnKeepsThreeValuedLogic) {
  Run("create table f (fn varchar(255), g tinyint NULL)");
  for (const char* name : {"song.MP3", "clip.avi ", "a_b.txt", "Makefile.in", "x"}) {
    Run(std::string("insert into f (fn) values ('") + name + "')");
  }
  Run("insert into f (fn) values (NULL)");
  Run("update f set g = 0");
  Run("update f set g = 1 where (fn like '%.mp3') or (fn like '%.avi') or (fn like "
      "'makefile%.%') or (fn like 'a[_]b%')");
  EXPECT_EQ(Run("select fn from f where g = 1 order by fn"),
            (Rows{{"a_b.txt"}, {"clip.avi "}, {"Makefile.in"}, {"song.MP3"}}));
  // A NULL pattern: true where another matches, otherwise unknown, so NOT
  // of the chain finds no row.
  Run("declare @p varchar(10) set @p = '%.txt' "
      "update f set g = 2 where (fn like @p) or (fn like NULL)");
  EXPECT_EQ(One("select count(*) from f where g = 2"), "1");
  EXPECT_EQ(One("select count(*) from f where not ((fn like '%.mp3') or (fn like NULL))"), "0");
  EXPECT_EQ(One("select count(*) from f where not ((fn like '%.mp3') or (fn like '%.avi'))"), "3");
  // Mixed with another condition or other columns: still right.
  EXPECT_EQ(One("select count(*) from f where (fn like '%.mp3') or (g = 2) or (fn like 'x')"), "3");
}

TEST_F(Semantics, ClearingAColumnThenSettingItWhereAConditionHolds) {
  Run("create table f (id int, fn varchar(255), g tinyint NULL)");
  Run("insert f values (1, 'a.mp3', NULL) insert f values (2, 'b.doc', 5) "
      "insert f values (3, NULL, 7) insert f values (4, 'c.MP3 ', NULL)");
  EXPECT_EQ(Run("update f set g = 0 update f set g = 1 where (fn like '%.mp3') select @@rowcount"),
            (Rows{{"2"}}));
  EXPECT_EQ(Run("select id, g from f order by id"),
            (Rows{{"1", "1"}, {"2", "0"}, {"3", "0"}, {"4", "1"}}));
  // A condition on the column itself sees the cleared values.
  Run("update f set g = 0 update f set g = 1 where g = 0");
  EXPECT_EQ(One("select count(*) from f where g = 1"), "4");
  // A failing condition fails as the second statement, after the first ran.
  EXPECT_THAT(Error("update f set g = 3 update f set g = 1 where fn like 'x' escape 'ab'"),
              HasSubstr("escape"));
  EXPECT_EQ(One("select count(*) from f where g = 3"), "4");
}

TEST_F(Semantics, TopWithOrderByTakesTheFirstRowsOfTheOrder) {
  Run("create table t (id int, v varchar(10))");
  Run("insert t values (3, 'c') insert t values (1, 'a') insert t values (2, 'b')");
  EXPECT_EQ(Run("select top 2 id from t order by id desc"), (Rows{{"3"}, {"2"}}));
  EXPECT_EQ(Run("declare @n int set @n = 1 select top (@n) v from t order by v"), (Rows{{"a"}}));
  EXPECT_EQ(Run("select top 1 v from t where id > 1 order by id"), (Rows{{"b"}}));
}

TEST_F(Semantics, SelectIntoNumbersIdentityInTheStatementsOrder) {
  Run("create table t (id int, v varchar(10))");
  Run("insert t values (30, 'c') insert t values (10, 'a') insert t values (20, 'b')");
  Run("select top 2 v, IDENTITY(int, 0, 1) as limits into #x from t order by id desc");
  EXPECT_EQ(Run("select v, limits from #x order by limits"), (Rows{{"c", "0"}, {"b", "1"}}));
  Run("select v, identity(int, 5, 10) as n into y from t order by v");
  EXPECT_EQ(Run("select v, n from y order by n"), (Rows{{"a", "5"}, {"b", "15"}, {"c", "25"}}));
  EXPECT_THAT(Error("select v, identity(int, 1, 1) as n from t"), HasSubstr("INTO"));
  EXPECT_EQ(Error("select v into y from t"),
            "There is already an object named 'y' in the database.");
}

TEST_F(Semantics, IdentityColumnsAreNumberedAndSkippedByInsert) {
  Run("create table s (id int IDENTITY (1, 1) NOT NULL, property varchar (255) NULL, "
      "value varchar (255) NULL) ON [PRIMARY]");
  Run("insert into s values ('a', '1') insert s select 'b', '2' insert s (property) values ('c')");
  EXPECT_EQ(Run("select * from s order by id"),
            (Rows{{"1", "a", "1"}, {"2", "b", "2"}, {"3", "c", "NULL"}}));
  EXPECT_THAT(Error("insert s (id, property) values (9, 'x')"),
              HasSubstr("IDENTITY_INSERT is set to OFF"));
  EXPECT_EQ(One("insert s (property) values ('d') select @@ROWCOUNT"), "1");
  // Values take the column's type, as SQL Server converts them.
  Run("create table n (i int, d datetime)");
  Run("insert n values ('12', '02/15/2002 5:38PM') update n set i = '13'");
  EXPECT_EQ(Run("select i + 1, d from n"), (Rows{{"14", "2002-02-15 17:38:00"}}));
  EXPECT_THAT(Error("insert n values ('x', NULL)"), HasSubstr("Conversion failed"));
}

TEST_F(Semantics, TempTablesArePrivateToTheirSession) {
  Run("create table #mine (a int) insert #mine values (1)");
  auto other = Connect("kiv");
  ASSERT_TRUE(other);
  EXPECT_EQ(Error("select * from #mine", other.get()), "Invalid object name '#mine'.");
  Run("create table #mine (b int)", other.get());  // the same name, another session
  EXPECT_EQ(One("select a from #mine"), "1");
  // A temp table made inside a procedure ends with the procedure.
  Run("create procedure p as create table #inner (x int) insert #inner values (5) "
      "select x from #inner");
  EXPECT_EQ(One("exec p"), "5");
  EXPECT_EQ(One("exec p"), "5");
  EXPECT_EQ(Error("select * from #inner"), "Invalid object name '#inner'.");
}

TEST_F(Semantics, NestedTransactionsCommitAtTheOuterLevelAndRollBackWhole) {
  Run("create table t (a int)");
  EXPECT_EQ(Run("begin tran insert t values (1) begin transaction insert t values (2) "
                "commit tran select @@TRANCOUNT commit tran select @@trancount"),
            (Rows{{"1"}}));
  EXPECT_EQ(One("select count(*) from t"), "2");
  Run("begin tran insert t values (3) begin tran insert t values (4) rollback "
      "select @@trancount");
  EXPECT_EQ(One("select count(*) from t"), "2");
  EXPECT_EQ(Error("commit tran"),
            "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  // DDL is transactional too: a rolled back swap leaves the old table.
  Run("create table old_t (a int) begin tran drop table old_t exec sp_rename 't', 'old_t' "
      "rollback tran");
  EXPECT_EQ(One("select count(*) from t"), "2");
}

TEST_F(Semantics, AnErrorStopsTheBatchAndRollsBackItsOpenTransaction) {
  Run("create table t (a int NOT NULL)");
  BatchResult result;
  SqlError error;
  EXPECT_FALSE(
      conn_->Execute("begin tran insert t values (1) select 'seen' "
                     "insert t values (NULL) insert t values (2) commit tran",
                     &result, &error));
  EXPECT_THAT(error.description, HasSubstr("Cannot insert the value NULL into column 'a'"));
  EXPECT_EQ(ToRows(result), (Rows{{"seen"}}));  // rows read before the error stay
  EXPECT_EQ(One("select count(*) from t"), "0");
  EXPECT_EQ(One("select @@trancount"), "0");
  EXPECT_EQ(Error("select * from missing_table"), "Invalid object name 'missing_table'.");
  EXPECT_EQ(Error("select nope from t"), "Invalid column name 'nope'.");
}

TEST_F(Semantics, ProcedureBuildsAndRunsDynamicSqlWithATempTable) {
  Run("create table aall (id int IDENTITY (1, 1) NOT NULL, fn varchar(255) NULL)");
  Run("insert aall values ('one.txt') insert aall values ('two.doc') insert aall values "
      "('three.txt')");
  Run("create procedure find @pattern varchar(50), @top varchar(10) as\n"
      "set nocount on\n"
      "declare @q varchar(1000)\n"
      "set @q = 'select top ' + @top + ' fn, IDENTITY(int, 0, 1) as n into #t from aall "
      "where fn like ''' + @pattern + ''' order by id '\n"
      "set @q = @q + 'select fn, n from #t where n >= 0 order by n'\n"
      "exec(@q)");
  EXPECT_EQ(Run("find '%.txt', '5'"), (Rows{{"one.txt", "0"}, {"three.txt", "1"}}));
  EXPECT_EQ(Run("exec find @top = '1', @pattern = '%o%'"), (Rows{{"one.txt", "0"}}));
  EXPECT_THAT(Error("exec find '%'"), HasSubstr("expects parameter '@top'"));
  EXPECT_EQ(Error("exec nothere"), "Could not find stored procedure 'nothere'.");
  EXPECT_EQ(Error("select 1 create procedure q as select 1"),
            "'CREATE PROCEDURE' must be the first statement in a query batch.");
}

TEST_F(Semantics, ControlFlowAndVariables) {
  EXPECT_EQ(Run("declare @i int, @s varchar(100) set @i = 0 set @s = '' "
                "while @i < 5 begin set @i = @i + 1 if @i = 2 continue "
                "if @i = 4 break set @s = @s + convert(varchar(5), @i) end select @s, @i"),
            (Rows{{"13", "4"}}));
  EXPECT_EQ(Run("declare @v varchar select @v = 'xyz' select @v"), (Rows{{"x"}}));
  EXPECT_EQ(Error("select @undeclared"), "Must declare the scalar variable \"@undeclared\".");
  Run("create table t (a int) insert t values (1) insert t values (2)");
  EXPECT_EQ(Run("declare @m int select @m = a from t order by a select @m, @@rowcount"),
            (Rows{{"2", "2"}}));
  Run("create procedure r @x int as if @x > 0 return 7 return 3");
  EXPECT_EQ(Run("declare @r int exec @r = r 1 select @r"), (Rows{{"7"}}));
}

TEST_F(Semantics, IndexNamesArePerTableAndFollowRenames) {
  Run("create table a1 (x int) create table b1 (x int)");
  Run("create clustered index i_x on a1(x) create nonclustered index i_x on b1(x) on [PRIMARY]");
  EXPECT_THAT(Error("create index i_x on a1(x)"), HasSubstr("already exists on table 'a1'"));
  Run("exec sp_rename 'a1', 'a2'");
  // The renamed table keeps its index name; a new a1 may use it again.
  Run("create table a1 (x int) create index i_x on a1(x) drop index a2.i_x");
  EXPECT_THAT(Error("drop index a2.i_x"), HasSubstr("does not exist"));
  Run("drop index i_x on a1");
}

TEST_F(Semantics, CommandTimeoutInterruptsARunningStatement) {
  auto slow = Connect("kiv", "sa", "", 1);
  ASSERT_TRUE(slow);
  EXPECT_EQ(Error("declare @i int set @i = 0 while 1 = 1 set @i = @i + 1", slow.get()),
            "Query timeout expired");
  // One long SQLite statement is interrupted too.
  Run("create table t (a int) declare @i int set @i = 0 "
      "while @i < 300 begin insert t values (@i) set @i = @i + 1 end",
      slow.get());
  EXPECT_EQ(Error("select count(*) from t a, t b, t c, t d", slow.get()), "Query timeout expired");
  // The session stays usable afterwards.
  EXPECT_EQ(One("select 1", slow.get()), "1");
}

TEST_F(Semantics, LoaderFormAndGeneralPathAgree) {
  Run("create table z (a varchar(20), b varchar(20), n int, d datetime)");
  const std::string rows =
      "insert into z values('O''Brien', NULL, '12', '02/15/2002 5:38PM')\n"
      "insert z values(N'x', 'y', -3, '2002-02-15')\n";
  Run("begin tran\n" + rows + "commit tran\n");  // the loader's form
  Run("begin tran -- general path\n" + rows + "commit tran\n");
  EXPECT_EQ(Run("select a, b, n, d from z order by a, n"),
            (Rows{{"O'Brien", "NULL", "12", "2002-02-15 17:38:00"},
                  {"O'Brien", "NULL", "12", "2002-02-15 17:38:00"},
                  {"x", "y", "-3", "2002-02-15 00:00:00"},
                  {"x", "y", "-3", "2002-02-15 00:00:00"}}));
  EXPECT_THAT(Error("begin tran\ninsert into z values('a', 'b', 'not a number', NULL)\n"
                    "commit tran\n"),
              HasSubstr("Conversion failed"));
  EXPECT_EQ(One("select count(*) from z"), "4");
  EXPECT_EQ(Error("insert into nothere values('a', 'b', 'c', 'd', 'e', 'f', 'g', 'h')"),
            "Invalid object name 'nothere'.");
}

TEST_F(Semantics, LoginsAndDataSourcesAreChecked) {
  EXPECT_FALSE(Connect("kiv", "sa", "wrong"));
  EXPECT_EQ(last_open_error_.description, "Login failed for user 'sa'.");
  EXPECT_EQ(last_open_error_.source, "Microsoft OLE DB Provider for SQL Server");
  EXPECT_FALSE(Connect("nodb"));
  EXPECT_THAT(last_open_error_.description, HasSubstr("Cannot open database \"nodb\""));
  ConnectOptions remote;
  remote.data_source = "otherhost.example";
  remote.user = "sa";
  remote.data_dir = dir_.path();
  SqlError error;
  EXPECT_FALSE(Connection::Open(remote, &error));
  EXPECT_THAT(error.description, HasSubstr("SQL Server does not exist or access denied."));
  for (const char* local : {"localhost", "(local)", ".", "127.0.0.1", "LOCALHOST"}) {
    EXPECT_TRUE(IsLocalDataSource(local)) << local;
  }
  Run("ALTER LOGIN sa WITH PASSWORD = 's3cret'");
  EXPECT_FALSE(Connect("kiv", "sa", ""));
  EXPECT_TRUE(Connect("kiv", "sa", "s3cret"));
}

TEST_F(Semantics, CreateDatabaseRefusesAnExistingName) {
  auto master = Connect("master");
  ASSERT_TRUE(master);
  EXPECT_THAT(Error("create database kiv", master.get()), HasSubstr("already exists"));
  Run("create database [second]", master.get());
  EXPECT_TRUE(Connect("second"));
}

TEST_F(Semantics, StringFunctions) {
  EXPECT_EQ(Run("select left('abcdef', 3), right('abcdef', 2), substring('abcdef', 2, 3), "
                "len('ab  '), charindex('C', 'abcabc'), patindex('%*%', 'PC1*3*20'), "
                "upper('aé'), lower('ABC'), ltrim('  x '), rtrim(' x  '), "
                "replace('aXbxc', 'x', '-'), isnull(NULL, 'd')"),
            (Rows{{"abc", "ef", "bcd", "2", "3", "4", "Aé", "abc", "x ", " x", "a-b-c", "d"}}));
  EXPECT_EQ(Run("select '//' + left('PC1*3*20', PATINDEX('%*%', 'PC1*3*20') - 1)"),
            (Rows{{"//PC1"}}));
  EXPECT_EQ(Run("select avg(a), sum(a), count(*) from (select 1 as a union all select 2) x"),
            (Rows{{"1", "3", "2"}}));
}

TEST_F(Semantics, SysObjectsObjectIdAndObjectProperty) {
  Run("create table zz (Col001 varchar (255) NULL)");
  Run("create procedure spX as select 1");
  EXPECT_EQ(Run("select name, xtype from dbo.sysobjects order by name"),
            (Rows{{"spX", "P"}, {"zz", "U"}}));
  EXPECT_EQ(Run("select OBJECTPROPERTY(object_id(N'[dbo].[zz]'), N'IsUserTable'), "
                "OBJECTPROPERTY(object_id('spX'), N'IsProcedure'), object_id('nothing')"),
            (Rows{{"1", "1", "NULL"}}));
}

TEST_F(Semantics, WrongNumberOfInsertValuesIsReportedAsSqlServerDoes) {
  Run("create table t (a int, b varchar(10), id int identity(5, 1))");
  const std::string kDefinition =
      "Insert Error: Column name or number of supplied values does not match table definition.";
  // Without a column list every path says the values do not fit the table.
  EXPECT_EQ(Error("insert into t values (1)"), kDefinition);
  EXPECT_EQ(Error("insert into t values (1, 'x', 3)"), kDefinition);
  EXPECT_EQ(Error("insert into t values (1 + 0)"), kDefinition);
  // With one, the text says which side is short.
  EXPECT_THAT(Error("insert into t (a, b) values (1)"),
              StartsWith("There are more columns in the INSERT statement than values"));
  EXPECT_THAT(Error("insert into t (a) values (1, 'x')"),
              StartsWith("There are fewer columns in the INSERT statement than values"));
  EXPECT_THAT(Error("insert into t (a) values (1 + 0, 'x')"),
              StartsWith("There are fewer columns in the INSERT statement than values"));
  EXPECT_EQ(Error("insert into t (a) exec sp_spaceused"), kDefinition);
  EXPECT_EQ(One("select count(*) from t"), "0");
}

}  // namespace
}  // namespace tellwen::sqlserver
