#include "platform/sqlserver/lock_waits.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tellwen::sqlserver {
namespace {

// The longest sleep between two tries when no commit wakes the waiter.
constexpr std::chrono::milliseconds kLongestSleep{2};

// The commits of this process, for the connections waiting for one.
class Commits {
 public:
  // Sleeps until the next commit or kLongestSleep.
  void AwaitNext() {
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t seen = count_;
    waiting_.fetch_add(1);
    woken_.wait_for(lock, kLongestSleep, [&] { return count_ != seen; });
    waiting_.fetch_sub(1);
  }

  void Note() {
    // Without waiters a commit costs one atomic load.
    if (waiting_.load() == 0) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++count_;
    }
    woken_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable woken_;
  uint64_t count_ = 0;  // guarded by mutex_
  std::atomic<int> waiting_{0};
};

Commits& ProcessCommits() {
  // Never destroyed: connections may commit while the process exits.
  static Commits* commits = new Commits();
  return *commits;
}

int BusyWait(void* timeout_ms, int tries) {
  // A connection is used by one thread at a time, so the start of its wait
  // is kept per thread.
  thread_local std::chrono::steady_clock::time_point start;
  const auto now = std::chrono::steady_clock::now();
  if (tries == 0) start = now;
  const auto limit = std::chrono::milliseconds(reinterpret_cast<intptr_t>(timeout_ms));
  if (now - start >= limit) return 0;
  ProcessCommits().AwaitNext();
  return 1;
}

int AfterCommit(void* checkpoint_frames, sqlite3* db, const char* schema, int frames) {
  ProcessCommits().Note();
  if (frames >= reinterpret_cast<intptr_t>(checkpoint_frames)) {
    sqlite3_wal_checkpoint(db, schema);
  }
  return SQLITE_OK;
}

}  // namespace

void WaitForLocks(sqlite3* db, int busy_ms) {
  sqlite3_busy_handler(db, BusyWait, reinterpret_cast<void*>(static_cast<intptr_t>(busy_ms)));
}

void WakeWaitersOnCommit(sqlite3* db, int checkpoint_frames) {
  sqlite3_wal_hook(db, AfterCommit,
                   reinterpret_cast<void*>(static_cast<intptr_t>(checkpoint_frames)));
}

}  // namespace tellwen::sqlserver
