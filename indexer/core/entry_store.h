// EntryStore: the entries one scan worker has recorded and the dump thread
// has not yet written, in the order recorded.
//
// An entry is a file (its full path "\\PC\share\dir\name" and its size in
// kilobytes), an empty-folder marker (folder path + "\*", size 0) or the
// end-of-computer marker (path "task done") that a worker records after the
// last share of a computer.
//
// Thread safety: one worker adds while the dump thread takes; each call holds
// the store's lock for one entry.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace tellwen::indexer {

inline constexpr const char* kEndOfComputerPath = "task done";

struct Entry {
  int computer = -1;  // computer number; -1 when no entry was taken
  std::string path;
  uint32_t size = 0;  // kilobytes

  bool IsEndOfComputer() const { return path == kEndOfComputerPath; }
};

class EntryStore {
 public:
  void Add(int computer, std::string path, uint32_t size);
  // Moves the oldest entry into *entry and returns its computer number; -1
  // (and entry->computer = -1) when the store is empty.
  int Take(Entry* entry);
  size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::deque<Entry> entries_;
};

// Size in kilobytes of a file of `bytes` bytes: bytes / 1024, and at most
// 2147483647 (files of 2 TiB and more).
uint32_t KilobytesOf(uint64_t bytes);

}  // namespace tellwen::indexer
