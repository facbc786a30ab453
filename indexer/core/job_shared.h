// JobShared: what the threads of one index job share: the flags of the
// job's life cycle, the display status, the wake-up signal, the work queue,
// the skip list and one entry store per scan worker.
//
// Thread safety: the flags are atomics written by one thread and polled by
// the others; the members say their own rules. The stores vector itself is
// built before the job's threads start and not changed until they ended.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "indexer/core/entry_store.h"
#include "indexer/core/job_signal.h"
#include "indexer/core/job_status.h"
#include "indexer/core/skip_list.h"
#include "indexer/core/work_queue.h"

namespace tellwen::indexer {

// The pauses of the job's loops (their upper bounds: see JobSignal).
struct JobTiming {
  std::chrono::milliseconds worker_idle{2000};    // worker found the queue empty
  std::chrono::milliseconds worker_wait{3000};    // job thread's wait per worker
  std::chrono::milliseconds sorted_dump{3000};    // sorted dump found nothing to write
  std::chrono::milliseconds unsorted_dump{2000};  // between two unsorted drains
};

struct JobShared {
  std::atomic<bool> stop{false};
  std::atomic<bool> discovery_finished{false};
  std::atomic<bool> scan_finished{false};
  JobStatus status;
  JobSignal signal;
  WorkQueue queue;
  SkipList skip;
  std::vector<std::unique_ptr<EntryStore>> stores;
  JobTiming timing;

  // True once a stop was requested or the job failed: every loop ends.
  bool Stopping() const {
    return stop.load(std::memory_order_relaxed) || failed.load(std::memory_order_relaxed);
  }

  // Ends the job as failed with the reason (the first reason is kept).
  void Fail(const std::string& reason) {
    {
      std::lock_guard<std::mutex> lock(failure_mutex);
      if (failure.empty()) failure = reason;
    }
    failed = true;
    signal.Notify();
  }
  bool Failed() const { return failed.load(); }
  std::string Failure() const {
    std::lock_guard<std::mutex> lock(failure_mutex);
    return failure;
  }
  // Clears the failure for the next job. REQUIRES: no job thread runs.
  void ClearFailure() {
    std::lock_guard<std::mutex> lock(failure_mutex);
    failure.clear();
    failed = false;
  }

  std::atomic<bool> failed{false};
  mutable std::mutex failure_mutex;
  std::string failure;  // guarded by failure_mutex
};

}  // namespace tellwen::indexer
