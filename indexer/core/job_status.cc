#include "indexer/core/job_status.h"

#include "base/keyed_table.h"

namespace tellwen::indexer {

const char* SearchStateText(SearchState state) {
  static constexpr KeyedValue<SearchState, const char*> kTexts[] = {
      {SearchState::kSearching, "searching for resources"}, {SearchState::kDone, "search done"}};
  return LookUp(kTexts, state, "no searching");
}

const char* ScanStateText(ScanState state) {
  static constexpr KeyedValue<ScanState, const char*> kTexts[] = {
      {ScanState::kScanning, "scanning..."}, {ScanState::kDone, "scanning done"}};
  return LookUp(kTexts, state, "no scanning");
}

const char* DumpStateText(DumpState state) {
  static constexpr KeyedValue<DumpState, const char*> kTexts[] = {
      {DumpState::kIdle, "dump idle"},
      {DumpState::kDumping, "dumping..."},
      {DumpState::kDone, "dump done"}};
  return LookUp(kTexts, state, "no dumping");
}

void JobStatus::ResetCounters() {
  busy_threads = 0;
  computers_done = 0;
  computers_queued = 0;
  computers_skipped = 0;
  files_found = 0;
  entries_dumped = 0;
}

void JobStatus::AddFoundComputer(const std::string& line) {
  MutexLock lock(texts_mutex_);
  found_computers_.push_back(line);
}

namespace {

// The lines of a growing report from index `from` on.
std::vector<std::string> LinesFrom(const std::vector<std::string>& lines, size_t from) {
  if (from >= lines.size()) return {};
  return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end());
}

}  // namespace

std::vector<std::string> JobStatus::FoundComputers(size_t from) const {
  MutexLock lock(texts_mutex_);
  return LinesFrom(found_computers_, from);
}

void JobStatus::ClearFoundComputers() {
  MutexLock lock(texts_mutex_);
  found_computers_.clear();
}

void JobStatus::AddRefusal(const std::string& line) {
  MutexLock lock(texts_mutex_);
  refusals_.push_back(line);
  refusal_count_.store(static_cast<int>(refusals_.size()), std::memory_order_relaxed);
}

std::vector<std::string> JobStatus::Refusals(size_t from) const {
  MutexLock lock(texts_mutex_);
  return LinesFrom(refusals_, from);
}

void JobStatus::ClearRefusals() {
  MutexLock lock(texts_mutex_);
  refusals_.clear();
  refusal_count_.store(0, std::memory_order_relaxed);
}

void JobStatus::ResetWorkerRows(int count) {
  MutexLock lock(texts_mutex_);
  worker_texts_.assign(count > 0 ? count : 0, "idle");
}

void JobStatus::SetWorkerText(int worker, const std::string& text) {
  MutexLock lock(texts_mutex_);
  if (worker >= 0 && static_cast<size_t>(worker) < worker_texts_.size()) {
    worker_texts_[worker] = text;
  }
}

std::vector<std::string> JobStatus::WorkerTexts() const {
  MutexLock lock(texts_mutex_);
  return worker_texts_;
}

}  // namespace tellwen::indexer
