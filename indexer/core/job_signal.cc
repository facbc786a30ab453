#include "indexer/core/job_signal.h"

namespace tellwen::indexer {

void JobSignal::Notify() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
  }
  cv_.notify_all();
}

uint64_t JobSignal::Generation() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return generation_;
}

void JobSignal::WaitFor(std::chrono::milliseconds timeout, uint64_t seen) {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait_for(lock, timeout, [&] { return generation_ != seen; });
}

}  // namespace tellwen::indexer
