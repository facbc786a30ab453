#include "indexer/core/work_queue.h"

namespace tellwen::indexer {

std::string FoldName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

int WorkQueue::Push(const net::NetResource& resource) {
  MutexLock lock(mutex_);
  if (!known_names_.insert(FoldName(resource.remote_name)).second) return 0;
  pending_.emplace_back(resource, ++next_number_);
  return next_number_;
}

int WorkQueue::Pop(net::NetResource* resource) {
  MutexLock lock(mutex_);
  if (pending_.empty()) return -1;
  *resource = std::move(pending_.front().first);
  int number = pending_.front().second;
  pending_.pop_front();
  return number;
}

void WorkQueue::Reset() {
  MutexLock lock(mutex_);
  pending_.clear();
  known_names_.clear();
  next_number_ = 0;
}

size_t WorkQueue::PendingCount() const {
  MutexLock lock(mutex_);
  return pending_.size();
}

}  // namespace tellwen::indexer
