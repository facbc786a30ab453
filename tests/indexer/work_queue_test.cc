#include "indexer/core/work_queue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "indexer/core/skip_list.h"
#include "tests/support/fake_sql.h"

namespace tellwen::indexer {
namespace {

net::NetResource Computer(const std::string& name) {
  net::NetResource r;
  r.remote_name = name;
  return r;
}

TEST(WorkQueue, NumbersComputersInOrderOfQueueing) {
  WorkQueue queue;
  EXPECT_EQ(queue.Push(Computer("\\\\A")), 1);
  EXPECT_EQ(queue.Push(Computer("\\\\B")), 2);
  net::NetResource r;
  EXPECT_EQ(queue.Pop(&r), 1);
  EXPECT_EQ(r.remote_name, "\\\\A");
  EXPECT_EQ(queue.Pop(&r), 2);
  EXPECT_EQ(queue.Pop(&r), -1);
}

TEST(WorkQueue, RefusesPendingAndTakenNamesIgnoringCase) {
  WorkQueue queue;
  EXPECT_EQ(queue.Push(Computer("\\\\PC1")), 1);
  EXPECT_EQ(queue.Push(Computer("\\\\pc1")), 0);  // pending
  net::NetResource r;
  queue.Pop(&r);
  EXPECT_EQ(queue.Push(Computer("\\\\Pc1")), 0);  // taken
  EXPECT_EQ(queue.Push(Computer("\\\\PC2")), 2);  // refusals use no number
}

TEST(WorkQueue, ResetStartsAFreshJob) {
  WorkQueue queue;
  queue.Push(Computer("\\\\PC1"));
  queue.Push(Computer("\\\\PC2"));
  net::NetResource r;
  queue.Pop(&r);
  queue.Reset();
  EXPECT_EQ(queue.PendingCount(), 0u);
  // The next job numbers from 1 again and may scan the same computers.
  EXPECT_EQ(queue.Push(Computer("\\\\PC1")), 1);
}

// Answers every batch with one row per name (and an error when asked).
void AnswerRows(testing::FakeSql* sql, std::vector<std::string> names, bool error = false) {
  sql->set_rule([names, error](const std::string&, int, SqlResult* result) {
    for (const auto& n : names) result->rows.push_back({n});
    if (error) testing::FakeSql::Fail(result, "failed");
  });
}

TEST(SkipList, ReadsRecentComputersAndTheExcludeList) {
  testing::FakeSql sql;
  AnswerRows(&sql, {"//Recent", "//", "x", ""});
  SkipList skip;
  skip.Add("\\\\STALE");
  BuildSkipList(48, "0|\\\\Excluded|127.0.0.1-127.0.0.2", &sql, &skip);
  ASSERT_EQ(sql.calls().size(), 1u);
  EXPECT_EQ(sql.calls()[0].batch,
            "declare @ultimii datetime    set @ultimii = (select DATEADD(hh, -48, getdate()))   "
            "select name from shares1 where data > @ultimii");
  EXPECT_EQ(sql.calls()[0].column_count, 1);
  EXPECT_EQ(sql.calls()[0].caller, SqlCaller::kIndexerSkipList);
  EXPECT_FALSE(skip.Contains("\\\\STALE"));  // cleared first
  EXPECT_TRUE(skip.Contains("\\\\recent"));  // letter case ignored
  EXPECT_TRUE(skip.Contains("\\\\excluded"));
  EXPECT_TRUE(skip.Contains("\\\\127.0.0.2"));
  EXPECT_EQ(skip.size(), 4u);  // names of two characters or less are no computers
}

TEST(SkipList, DatabaseErrorKeepsRowsReadAndTheExcludeList) {
  testing::FakeSql sql;
  AnswerRows(&sql, {"//A"}, true);
  SkipList skip;
  BuildSkipList(1, "0|\\\\B", &sql, &skip);
  EXPECT_TRUE(skip.Contains("\\\\A"));
  EXPECT_TRUE(skip.Contains("\\\\B"));
  SkipList without_database;
  BuildSkipList(1, "0|\\\\B", nullptr, &without_database);
  EXPECT_TRUE(without_database.Contains("\\\\B"));
}

}  // namespace
}  // namespace tellwen::indexer
