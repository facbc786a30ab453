#include "base/group_commit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tellwen {
namespace {

// Many writers at once: fewer commits than writes, every write in exactly
// one commit, commits one at a time, and each writer gets the outcome of the
// commit that held its write - a failed one included. The first commit
// holds one write and lasts until every other writer has arrived, so that
// the others gather whatever the speed of thread starts.
TEST(GroupCommit, ConcurrentWritersShareCommitsAndTheirOutcome) {
  constexpr int kWriters = 40;
  struct Commits {
    Mutex mutex;
    std::vector<std::vector<int>> groups GUARDED_BY(mutex);
  } commits;
  std::atomic<int> arrived{0};
  std::atomic<int> running{0};
  std::atomic<bool> overlapped{false};
  // Every second commit fails; a failed commit's outcome is -(its number).
  GroupCommit<int, int> group([&](std::vector<int>& items) {
    if (running.fetch_add(1) != 0) overlapped = true;
    int number;
    {
      MutexLock lock(commits.mutex);
      commits.groups.push_back(items);
      number = static_cast<int>(commits.groups.size());
    }
    if (number == 1) {
      while (arrived.load() < kWriters) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    running.fetch_sub(1);
    return number % 2 == 0 ? -number : number;
  });

  std::vector<int> outcomes(kWriters);
  std::vector<std::thread> writers;
  for (int i = 0; i < kWriters; ++i) {
    writers.emplace_back([&, i] {
      ++arrived;
      outcomes[i] = group.Write(i);
    });
  }
  for (std::thread& writer : writers) writer.join();

  MutexLock lock(commits.mutex);
  EXPECT_FALSE(overlapped);
  EXPECT_LT(commits.groups.size(), static_cast<size_t>(kWriters));
  std::set<int> written;
  for (size_t c = 0; c < commits.groups.size(); ++c) {
    const int number = static_cast<int>(c) + 1;
    for (int item : commits.groups[c]) {
      EXPECT_TRUE(written.insert(item).second) << "write " << item << " committed twice";
      EXPECT_EQ(outcomes[item], number % 2 == 0 ? -number : number) << "write " << item;
    }
  }
  EXPECT_EQ(written.size(), static_cast<size_t>(kWriters));
}

}  // namespace
}  // namespace tellwen
