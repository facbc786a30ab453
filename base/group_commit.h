// GroupCommit: many threads hand in small writes, and the writes that wait
// at the same moment are committed together by one call of a commit
// function, so that concurrent writers share one commit instead of queuing
// for one each.
//
// The rule: a writer that finds no commit running takes every write waiting
// at that moment (its own included) and runs the commit function on them, on
// its own thread; writers that arrive meanwhile gather in the next group,
// whose first member commits it when the running commit has returned. Write
// returns only when the commit holding its write has returned, with that
// commit's outcome: no write is acknowledged before it is committed, and a
// failed commit's outcome reaches every write it held. Commits never overlap,
// and groups are committed in the order they were opened.
//
// The commit function may fill the items it is handed (a pointer item
// carries a result back to its writer): each writer's item is its own, and
// its writer reads it only after Write returned.
//
// Thread safety: any number of threads may call Write at once. The commit
// function runs on one writer's thread at a time, outside the lock; it must
// not call Write of the same object, and must not throw (it reports failure
// in its outcome).
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "base/thread_annotations.h"

namespace tellwen {

template <typename Item, typename Outcome>
class GroupCommit {
 public:
  using CommitFunction = std::function<Outcome(std::vector<Item>& items)>;

  explicit GroupCommit(CommitFunction commit) : commit_(std::move(commit)) {}
  GroupCommit(const GroupCommit&) = delete;
  GroupCommit& operator=(const GroupCommit&) = delete;

  // Hands in one write and waits for the commit that holds it; its outcome.
  Outcome Write(Item item) EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    if (!open_) open_ = std::make_shared<Group>();
    const std::shared_ptr<Group> group = open_;
    group->items.push_back(std::move(item));
    while (!group->done) {
      if (!committing_ && open_ == group) {
        committing_ = true;
        open_.reset();
        Outcome outcome = CommitUnlocked(group->items);
        group->outcome = std::move(outcome);
        group->done = true;
        committing_ = false;
        changed_.notify_all();
        break;
      }
      changed_.wait(mutex_);
    }
    return group->outcome;
  }

 private:
  // The writes of one group. items belongs to the group's committer once the
  // group is no longer open; outcome and done are written under the lock.
  struct Group {
    std::vector<Item> items;
    Outcome outcome{};
    bool done = false;
  };

  // Runs the commit function with the lock released.
  Outcome CommitUnlocked(std::vector<Item>& items) REQUIRES(mutex_) {
    mutex_.unlock();
    Outcome outcome = commit_(items);
    mutex_.lock();
    return outcome;
  }

  const CommitFunction commit_;
  Mutex mutex_;
  std::condition_variable_any changed_;
  std::shared_ptr<Group> open_ GUARDED_BY(mutex_);  // gathering writes, not yet committing
  bool committing_ GUARDED_BY(mutex_) = false;
};

}  // namespace tellwen
