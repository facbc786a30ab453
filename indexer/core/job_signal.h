// JobSignal: the pauses of the index job's loops. A thread that found
// nothing to do waits for its interval, and is woken early when something
// it may be waiting for happens (a computer queued or finished, discovery or
// scanning finished, a stop request). Loops re-check their state after every
// wake-up, so an early wake-up never changes what they do, only when.
//
// Thread safety: every method may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tellwen::indexer {

class JobSignal {
 public:
  // Wakes every waiting thread.
  void Notify();
  // The count of notifications so far; pass it to WaitFor to not miss one
  // that comes between checking the state and waiting.
  uint64_t Generation() const;
  // Returns after timeout or once a notification after `seen` has come.
  void WaitFor(std::chrono::milliseconds timeout, uint64_t seen);

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  uint64_t generation_ = 0;
};

}  // namespace tellwen::indexer
