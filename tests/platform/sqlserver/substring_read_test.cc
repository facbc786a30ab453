// Reads through a substring index on one connection: the read snapshot a
// statement opens with its index look-up ends with the statement, also when
// the statement fails, so the connection's next batches start clean. The
// switch that turns the reads off comes from the environment when a
// connection's options are built.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "tests/platform/sqlserver/server_fixture.h"
#include "tests/support/temp_dir.h"

namespace tellwen::sqlserver {
namespace {

using ::testing::HasSubstr;

class SubstringRead : public ServerTest {
 protected:
  std::unique_ptr<Connection> ConnectIndexed() {
    ConnectOptions options = Options("kiv");
    options.substring_columns = {"fn"};
    auto c = Open(options);
    EXPECT_TRUE(c) << last_open_error_.description;
    return c;
  }
};

TEST_F(SubstringRead, AFailedIndexedReadLeavesNoTransactionBehind) {
  auto c = ConnectIndexed();
  ASSERT_TRUE(c);
  Run("create table t (id int identity(1, 1), fn varchar(255)) "
      "insert into t (fn) values ('xabcx') insert into t (fn) values ('abc12') "
      "insert into t (fn) values ('other') create index i_fn on t (fn)",
      c.get());
  ASSERT_EQ(One("select count(*) from _tsql_substring where tbl = 't' and valid = 1", c.get()),
            "1");
  // Fails on a row, inside the snapshot its index look-up opened (the
  // index is read for a TOP n in id order); the statement leaves nothing.
  EXPECT_THAT(Error("select top 5 fn, convert(int, fn) as n into #t from t where fn like '%abc%' "
                    "order by id",
                    c.get()),
              HasSubstr("Conversion failed"));
  EXPECT_EQ(One("select @@trancount", c.get()), "0");
  // A transaction of its own, and #t made again with other columns.
  Run("begin tran update t set fn = fn where 1 = 0 commit tran", c.get());
  EXPECT_EQ(One("select top 5 id into #t from t where fn like '%abc%' order by id "
                "select count(*) from #t",
                c.get()),
            "2");
  EXPECT_EQ(One("select count(*) from t where fn like '%abc%'", c.get()), "2");
  EXPECT_EQ(One("select count(*) from _tsql_substring where tbl = 't' and valid = 1", c.get()),
            "1");
}

// The environment is read when the options are built: options built while
// TELLWEN_SQL_SUBSTRING_INDEX is "off" (any letter case) keep the reads off.
TEST(SubstringReadSwitch, IsReadWhenTheOptionsAreBuilt) {
  std::optional<ConnectOptions> off;
  {
    ::tellwen::testing::ScopedEnv env("TELLWEN_SQL_SUBSTRING_INDEX", "OFF");
    off.emplace();
  }
  ::tellwen::testing::ScopedEnv env("TELLWEN_SQL_SUBSTRING_INDEX", "on");
  EXPECT_FALSE(off->environment.substring_index_reads);
  EXPECT_TRUE(ConnectOptions().environment.substring_index_reads);
}

}  // namespace
}  // namespace tellwen::sqlserver
