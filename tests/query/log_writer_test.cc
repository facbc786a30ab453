// The site's log writer: concurrent rows share a batch, and one faulty row
// costs no other page its row.
#include "query/log_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "tests/support/fake_sql.h"

namespace tellwen::query {
namespace {

TEST(LogWriter, AFaultyRowInABatchFailsAloneAndTheOthersAreWritten) {
  testing::FakeSql sql;
  std::promise<void> others_waiting;
  std::shared_future<void> release = others_waiting.get_future().share();
  sql.set_rule([&](const std::string& batch, int, SqlResult* result) {
    if (batch == "insert first") release.wait();  // the next two gather meanwhile
    if (batch.find("insert bad") != std::string::npos) testing::FakeSql::Fail(result, "bad row");
  });
  LogWriter writer(sql);
  std::thread first([&] { EXPECT_FALSE(writer.Write("insert first").error); });
  while (sql.calls().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  SqlResult good, bad;
  std::thread good_writer([&] { good = writer.Write("insert good"); });
  std::thread bad_writer([&] { bad = writer.Write("insert bad"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  others_waiting.set_value();
  first.join();
  good_writer.join();
  bad_writer.join();

  EXPECT_FALSE(good.error);
  EXPECT_TRUE(bad.error);
  EXPECT_EQ(bad.description, "bad row");
  // The two shared one batch (begin tran ... commit tran), which failed and
  // was then run statement by statement.
  const std::vector<std::string> batches = sql.batches();
  ASSERT_EQ(batches.size(), 4u);
  EXPECT_NE(batches[1].find("begin tran"), std::string::npos);
  EXPECT_THAT(std::vector<std::string>(batches.begin() + 2, batches.end()),
              ::testing::UnorderedElementsAre("insert good", "insert bad"));
}

}  // namespace
}  // namespace tellwen::query
