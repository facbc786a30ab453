#include "query/charts/chart_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace tellwen::query {

ChartLock::~ChartLock() { Release(); }

bool ChartLock::Acquire(const std::string& lock_path, std::chrono::milliseconds timeout) {
  if (fd_ >= 0) return true;
  error_text_.clear();
  // Read access is enough for flock, so a lock file left by another account
  // still serves.
  int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) fd = ::open(lock_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error_text_ = "cannot open " + lock_path + ": " + std::strerror(errno);
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto pause = std::chrono::milliseconds(2);
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      return true;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      error_text_ = "cannot lock " + lock_path + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  ::close(fd);
  error_text_ = "timed out waiting for " + lock_path;
  return false;
}

void ChartLock::Release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace tellwen::query
