#include "tools/kivsql/kivsql.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/scratch_store.h"

namespace tellwen {
namespace {

using tellwen::testing::ScratchStore;
using ::testing::ElementsAre;

TEST(KivSql, SplitsScriptsAtGoLines) {
  EXPECT_THAT(SplitBatches("select 1\nGO\n  go  \r\nselect 2\ngoto x\ngo"),
              ElementsAre("select 1\n", "select 2\ngoto x\n"));
}

class KivSqlRun : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return RunKivSql(args, out_, err_);
  }
  ScratchStore data_;
  std::ostringstream out_, err_;
};

TEST_F(KivSqlRun, PrintsTheFirstRowSetTabSeparated) {
  const std::vector<std::string> login = {"-S", "localhost", "-d", "master", "-U", "sa", "-P", ""};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> a = login;
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  EXPECT_EQ(Run(with({"-Q", "select 'a' + 'b', 1 + 2, '1' + 2"})), 0);
  EXPECT_EQ(out_.str(), "ab\t3\t3\n");
  EXPECT_EQ(Run(with({"-Q", "select * from missing"})), 1);
  EXPECT_EQ(err_.str(),
            "unexpected error: Invalid object name 'missing'. src:Microsoft OLE DB Provider for "
            "SQL Server\n");
  const std::string file = data_.path() + "/script.sql";
  std::ofstream(file) << "create table t (a int, b varchar(5))\ngo\ninsert t values (1, NULL) "
                         "insert t values (2, 'x')\nselect a, b from t order by a\ngo\nselect 9\n";
  EXPECT_EQ(Run(with({"-i", file})), 0);
  EXPECT_EQ(out_.str(), "1\t\n2\tx\n9\n");
  EXPECT_EQ(Run({"-Q"}), 2);
}

TEST_F(KivSqlRun, CommandTimeoutStopsALongBatch) {
  const std::vector<std::string> login = {"-S", "localhost", "-d", "master", "-U", "sa", "-P", ""};
  std::vector<std::string> args = login;
  for (const char* a : {"-t", "1", "-Q", "declare @i int set @i = 0 while 1 = 1 set @i = @i + 1"}) {
    args.push_back(a);
  }
  EXPECT_EQ(Run(args), 1);
  EXPECT_THAT(err_.str(), ::testing::HasSubstr("Query timeout expired"));
  for (const char* bad : {"x", "-1", "70000", ""}) {
    args = login;
    for (const char* a : {"-t", bad, "-Q", "select 1"}) args.push_back(a);
    EXPECT_EQ(Run(args), 2) << bad;
    EXPECT_THAT(err_.str(), ::testing::HasSubstr("-t takes a number of seconds")) << bad;
  }
  args = login;
  for (const char* a : {"-t", "0", "-Q", "select 7"}) args.push_back(a);
  EXPECT_EQ(Run(args), 0);
  EXPECT_EQ(out_.str(), "7\n");
}

}  // namespace
}  // namespace tellwen
