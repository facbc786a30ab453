// WorkQueue: the computers an index job is to scan, in the order they were
// found. Each computer gets a number (1, 2, ... in order of queueing) that
// ties its entries together and orders the sorted dump.
//
// A computer is queued once per job: a name equal (ignoring letter case) to
// a pending or an already taken name is refused. Reset forgets the pending
// items, the numbering and the taken names, so that every job starts afresh.
//
// Thread safety: every method may be called from any thread; each holds the
// queue's lock for its whole run.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_set>

#include "base/thread_annotations.h"
#include "platform/net/network.h"

namespace tellwen::indexer {

class WorkQueue {
 public:
  // Queues resource unless its remote name is pending or taken; returns the
  // number given, or 0 when refused.
  int Push(const net::NetResource& resource);
  // Removes the oldest pending item into *resource and returns its number;
  // -1 when nothing is pending.
  int Pop(net::NetResource* resource);
  void Reset();

  size_t PendingCount() const;

 private:
  mutable Mutex mutex_;
  std::deque<std::pair<net::NetResource, int>> pending_ GUARDED_BY(mutex_);
  // Pending and taken, upper case.
  std::unordered_set<std::string> known_names_ GUARDED_BY(mutex_);
  int next_number_ GUARDED_BY(mutex_) = 0;
};

// The upper-case form under which names are compared (ASCII letters fold).
std::string FoldName(const std::string& name);

}  // namespace tellwen::indexer
