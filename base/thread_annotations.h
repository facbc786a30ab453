// Lock rules the compiler checks: clang's thread safety analysis
// (-Wthread-safety) on a mutex type that carries the annotations. With other
// compilers the macros are empty and Mutex is a plain std::mutex.
//
//   Mutex mutex_;
//   std::vector<Row> rows_ GUARDED_BY(mutex_);
//   ...
//   MutexLock lock(mutex_);   // rows_ may be touched from here on
//
// Thread safety: Mutex is a mutex; MutexLock belongs to one scope.
#pragma once

#include <mutex>

#if defined(__clang__)
#define TELLWEN_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TELLWEN_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) TELLWEN_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY TELLWEN_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) TELLWEN_THREAD_ANNOTATION(guarded_by(x))
#define REQUIRES(...) TELLWEN_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) TELLWEN_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) TELLWEN_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) TELLWEN_THREAD_ANNOTATION(release_capability(__VA_ARGS__))

namespace tellwen {

class CAPABILITY("mutex") Mutex {
 public:
  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexLock() RELEASE() { mutex_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

}  // namespace tellwen
