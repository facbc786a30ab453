#include "indexer/core/entry_store.h"

namespace tellwen::indexer {

void EntryStore::Add(int computer, std::string path, uint32_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back(Entry{computer, std::move(path), size});
}

int EntryStore::Take(Entry* entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (entries_.empty()) {
    entry->computer = -1;
    entry->path.clear();
    entry->size = 0;
    return -1;
  }
  *entry = std::move(entries_.front());
  entries_.pop_front();
  return entry->computer;
}

size_t EntryStore::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

uint32_t KilobytesOf(uint64_t bytes) {
  constexpr uint64_t kCap = 2147483647;
  uint64_t high = bytes >> 32;
  uint64_t low = bytes & 0xFFFFFFFFu;
  if (high >= 1024) return kCap;
  // True kilobytes: each unit of the high word is 2^32 bytes = 4194304 KiB.
  uint64_t kilobytes = high * 4194304u + low / 1024;
  return static_cast<uint32_t>(kilobytes > kCap ? kCap : kilobytes);
}

}  // namespace tellwen::indexer
