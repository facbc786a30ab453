// ChartLock: the lock that serialises chart generation across threads and
// processes sharing one chart folder.
//
// It is an exclusive flock on a lock file. Each ChartLock opens the file on
// its own, so two threads of one process exclude each other as two
// processes do; the kernel drops the lock when its holder ends in any way,
// so a crashed process never leaves it held. Waiting is bounded: Acquire
// gives up after the timeout and the caller goes ahead without the lock.
//
// Thread safety: an object belongs to one thread.
#pragma once

#include <chrono>
#include <string>

namespace tellwen::query {

// The lock file's name inside the chart folder.
inline constexpr const char* kChartLockName = "kiv_chart_mutex1.lock";

class ChartLock {
 public:
  ChartLock() = default;
  ~ChartLock();  // releases when owned
  ChartLock(const ChartLock&) = delete;
  ChartLock& operator=(const ChartLock&) = delete;

  // Waits up to `timeout` to own the lock on the file (created when
  // missing). True when owned; false after the timeout or when the file
  // cannot be opened (error_text() says which).
  bool Acquire(const std::string& lock_path, std::chrono::milliseconds timeout);
  void Release();

  bool owned() const { return fd_ >= 0; }
  const std::string& error_text() const { return error_text_; }

 private:
  int fd_ = -1;
  std::string error_text_;
};

}  // namespace tellwen::query
