// JobStatus: what an index job shows while it runs: the counters, the three
// state texts, and one status text per scan worker. The main window and the
// headless progress line read it; the job's threads write it.
//
// Thread safety: counters and states are atomics, read without locks (a
// reader may see values a moment old). The per-worker texts are guarded by
// one lock, taken for each write and each copy; no other lock is ever taken
// while holding it.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "base/thread_annotations.h"

namespace tellwen::indexer {

enum class SearchState { kNone, kSearching, kDone };
enum class ScanState { kNone, kScanning, kDone };
enum class DumpState { kNone, kIdle, kDumping, kDone };

const char* SearchStateText(SearchState state);  // "no searching", ...
const char* ScanStateText(ScanState state);
const char* DumpStateText(DumpState state);

class JobStatus {
 public:
  std::atomic<int> busy_threads{0};
  std::atomic<int> thread_count{0};
  std::atomic<int> computers_done{0};
  std::atomic<int> computers_queued{0};
  std::atomic<int> computers_skipped{0};
  std::atomic<long long> files_found{0};
  std::atomic<long long> entries_dumped{0};
  std::atomic<SearchState> search_state{SearchState::kNone};
  std::atomic<ScanState> scan_state{ScanState::kNone};
  std::atomic<DumpState> dump_state{DumpState::kNone};
  std::atomic<std::chrono::steady_clock::time_point> start_time{};

  // Zeroes the counters (the state texts keep their last values).
  void ResetCounters();

  // Resizes the worker table to count rows, each "idle".
  void ResetWorkerRows(int count);
  void SetWorkerText(int worker, const std::string& text);
  std::vector<std::string> WorkerTexts() const;

  // The report of network enumeration: one line per computer it found, which
  // source found it and what became of it. Cleared by ClearFoundComputers.
  void AddFoundComputer(const std::string& line);
  // The lines from index `from` on.
  std::vector<std::string> FoundComputers(size_t from = 0) const;
  void ClearFoundComputers();

  // The computers and shares that refused every login offered, one line
  // each ("\\PC1: access denied (guest refused)"); refusals() counts them.
  // Cleared by ClearRefusals.
  void AddRefusal(const std::string& line);
  std::vector<std::string> Refusals(size_t from = 0) const;
  int refusals() const { return refusal_count_.load(std::memory_order_relaxed); }
  void ClearRefusals();

 private:
  mutable Mutex texts_mutex_;
  std::vector<std::string> worker_texts_ GUARDED_BY(texts_mutex_);
  std::vector<std::string> found_computers_ GUARDED_BY(texts_mutex_);
  std::vector<std::string> refusals_ GUARDED_BY(texts_mutex_);
  std::atomic<int> refusal_count_{0};
};

}  // namespace tellwen::indexer
