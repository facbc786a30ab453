#include "platform/registry/value_cache.h"

#include <pthread.h>
#include <sys/inotify.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <unordered_map>

#include "base/thread_annotations.h"

namespace tellwen::registry {
namespace {

// Values larger than this are read from their file every time.
constexpr std::size_t kCacheableBytes = 64 * 1024;
// At most this many key folders are watched; reads of others are not cached.
constexpr std::size_t kMaxFolders = 256;
// A folder remembers the changes of at most this many names; past that it is
// treated as changed as a whole.
constexpr std::size_t kMaxChangedNames = 1024;
// An entry older than this is read again (see the header).
constexpr int64_t kFreshNanoseconds = 1000000000;

constexpr uint32_t kWatchMask = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVED_FROM |
                                IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_DELETE_SELF |
                                IN_MOVE_SELF | IN_ONLYDIR;

int64_t NowNanoseconds() {
  // The coarse clock is read without a system call on every machine.
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct Entry {
  int rc = 0;  // 0 or ENOENT
  std::string bytes;
  int64_t read_at = 0;
};

// One watched key folder. Change stamps come from the cache's counter: a
// read may keep its answer only when no stamp of its name or folder is
// later than the stamp taken before the read.
struct Folder {
  std::string path;
  int watch = -1;
  uint64_t whole_changed_at = 0;
  int64_t seen_at = 0;  // when the path was last found to be this folder
  std::unordered_map<std::string, uint64_t> changed_at;
  std::unordered_map<std::string, Entry> values;
};

class Cache {
 public:
  // Null when inotify cannot be had; then nothing is cached.
  static Cache* Make() {
    int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    return fd < 0 ? nullptr : new Cache(fd);
  }

  // Looks up file in folder. Returns true with *rc and *bytes filled for a
  // fresh entry; else fills *stamp (0: do not keep the answer).
  bool Find(const std::string& folder, const std::string& file, std::size_t max_bytes, int* rc,
            std::string* bytes, uint64_t* stamp) {
    MutexLock lock(mutex_);
    Drain();
    *stamp = 0;
    Folder* watched = Watch(folder);
    if (watched == nullptr) return false;
    auto it = watched->values.find(file);
    if (it != watched->values.end() && NowNanoseconds() - it->second.read_at < kFreshNanoseconds) {
      const Entry& entry = it->second;
      if (entry.rc != 0) {
        *rc = entry.rc;
      } else if (entry.bytes.size() > max_bytes) {
        *rc = EMSGSIZE;
      } else {
        *rc = 0;
        *bytes = entry.bytes;
      }
      return true;
    }
    *stamp = ++counter_;
    return false;
  }

  // True when folder is watched and was last seen to be a folder less than
  // kFreshNanoseconds ago. A watch is only ever added to a folder that
  // exists (IN_ONLYDIR), and dropped as soon as the folder is removed or
  // moved away, so a folder watched is there unless its parent moved (see
  // the header).
  bool KnownFolder(const std::string& folder) {
    MutexLock lock(mutex_);
    Drain();
    auto found = by_path_.find(folder);
    if (found != by_path_.end()) {
      return NowNanoseconds() - found->second.seen_at < kFreshNanoseconds;
    }
    Folder* watched = Watch(folder);
    if (watched == nullptr) return false;
    watched->seen_at = NowNanoseconds();
    return true;
  }

  // The caller has just found folder to be a folder.
  void SawFolder(const std::string& folder, int64_t seen_at) {
    MutexLock lock(mutex_);
    Drain();
    if (auto found = by_path_.find(folder); found != by_path_.end()) {
      found->second.seen_at = seen_at;
    }
  }

  // Keeps a read's answer unless a change was reported since stamp.
  void Keep(const std::string& folder, const std::string& file, uint64_t stamp, int rc,
            const std::string& bytes, int64_t read_at) {
    MutexLock lock(mutex_);
    Drain();
    auto found = by_path_.find(folder);
    if (found == by_path_.end()) return;
    Folder& watched = found->second;
    if (watched.whole_changed_at > stamp) return;
    if (auto changed = watched.changed_at.find(file);
        changed != watched.changed_at.end() && changed->second > stamp) {
      return;
    }
    watched.values[file] = Entry{rc, bytes, read_at};
  }

 private:
  explicit Cache(int fd) : fd_(fd) {}

  // The folder's record, watched from now on; null when it cannot be.
  Folder* Watch(const std::string& folder) REQUIRES(mutex_) {
    auto found = by_path_.find(folder);
    if (found != by_path_.end()) return &found->second;
    if (by_path_.size() >= kMaxFolders) return nullptr;
    int watch = inotify_add_watch(fd_, folder.c_str(), kWatchMask);
    if (watch < 0) return nullptr;
    // The same folder under another spelling shares its watch descriptor:
    // one path per descriptor is kept, so that spelling is not cached.
    if (by_watch_.count(watch) != 0) return nullptr;
    Folder& added = by_path_[folder];
    added.path = folder;
    added.watch = watch;
    added.whole_changed_at = ++counter_;
    by_watch_[watch] = folder;
    return &added;
  }

  void Forget(Folder& folder) REQUIRES(mutex_) {
    folder.values.clear();
    folder.changed_at.clear();
    folder.whole_changed_at = ++counter_;
  }

  void Drop(int watch) REQUIRES(mutex_) {
    auto found = by_watch_.find(watch);
    if (found == by_watch_.end()) return;
    by_path_.erase(found->second);
    by_watch_.erase(found);
  }

  // Applies every event the kernel has queued.
  void Drain() REQUIRES(mutex_) {
    alignas(inotify_event) char buffer[8192];
    while (true) {
      ssize_t got = read(fd_, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return;  // EAGAIN: the queue is empty
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        Apply(*event);
      }
    }
  }

  void Apply(const inotify_event& event) REQUIRES(mutex_) {
    if ((event.mask & IN_Q_OVERFLOW) != 0) {
      for (auto& [path, folder] : by_path_) Forget(folder);
      return;
    }
    auto found = by_watch_.find(event.wd);
    if (found == by_watch_.end()) return;
    Folder& folder = by_path_.at(found->second);
    if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) != 0) {
      // The path no longer names the watched folder: stop watching it.
      if ((event.mask & IN_IGNORED) == 0) inotify_rm_watch(fd_, event.wd);
      Drop(event.wd);
      return;
    }
    const std::string name = event.len > 0 ? std::string(event.name) : std::string();
    if (name.empty()) {
      Forget(folder);
      return;
    }
    if (name[0] == '.') return;  // a writer's temporary file
    folder.values.erase(name);
    if (folder.changed_at.size() >= kMaxChangedNames) {
      Forget(folder);
      return;
    }
    folder.changed_at[name] = ++counter_;
  }

  const int fd_;
  Mutex mutex_;
  uint64_t counter_ GUARDED_BY(mutex_) = 0;
  std::unordered_map<std::string, Folder> by_path_ GUARDED_BY(mutex_);
  std::unordered_map<int, std::string> by_watch_ GUARDED_BY(mutex_);
};

std::atomic<bool> forked{false};
std::atomic<bool> uncached{false};

// The process's cache; null where reads go to the files.
Cache* TheCache() {
  if (uncached.load(std::memory_order_relaxed)) return nullptr;
  // Never destroyed: a thread may read a value while the process exits.
  static Cache* cache = [] {
    pthread_atfork(nullptr, nullptr, [] { forked.store(true); });
    return Cache::Make();
  }();
  return forked.load(std::memory_order_relaxed) ? nullptr : cache;
}

}  // namespace

void ReadEveryValueFromItsFile() { uncached.store(true); }

int ReadThroughCache(const std::string& folder, const std::string& file, std::size_t max_bytes,
                     std::string* bytes, const ValueFileReader& read_file) {
  Cache* cache = TheCache();
  if (cache == nullptr) return read_file(max_bytes, bytes);
  int rc = 0;
  uint64_t stamp = 0;
  if (cache->Find(folder, file, max_bytes, &rc, bytes, &stamp)) return rc;
  if (stamp == 0) return read_file(max_bytes, bytes);
  const int64_t read_at = NowNanoseconds();
  std::string read;
  rc = read_file(std::max(max_bytes, kCacheableBytes), &read);
  if ((rc == 0 && read.size() <= kCacheableBytes) || rc == ENOENT) {
    cache->Keep(folder, file, stamp, rc, read, read_at);
  }
  if (rc == 0 && read.size() > max_bytes) return EMSGSIZE;
  if (rc == 0) *bytes = std::move(read);
  return rc;
}

bool FolderExistsThroughCache(const std::string& folder, const std::function<bool()>& is_folder) {
  Cache* cache = TheCache();
  if (cache != nullptr && cache->KnownFolder(folder)) return true;
  const int64_t asked_at = NowNanoseconds();
  const bool exists = is_folder();
  if (cache != nullptr && exists) cache->SawFolder(folder, asked_at);
  return exists;
}

}  // namespace tellwen::registry
