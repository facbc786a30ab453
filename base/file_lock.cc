#include "base/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace tellwen {
namespace {

std::string ErrnoText(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

}  // namespace

FileLock::~FileLock() { Release(); }

Status FileLock::Acquire(const std::string& path, std::chrono::milliseconds wait,
                         const FileLockOptions& options) {
  if (fd_ >= 0) return Status::Ok();
  int fd = -1;
  if (options.create) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, static_cast<mode_t>(options.mode));
  }
  if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    const std::string text = ErrnoText("Cannot open " + options.what, path, error);
    if (error == ENOENT && !options.create) return Status::NotFound(text);
    return Status::IoError(text);
  }
  const int operation = (options.shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  auto pause = std::chrono::milliseconds(2);
  for (;;) {
    if (::flock(fd, operation) == 0) {
      fd_ = fd;
      return Status::Ok();
    }
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      const int error = errno;
      ::close(fd);
      return Status::IoError(ErrnoText("Cannot lock", path, error));
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  ::close(fd);
  return Status::Unavailable("Timed out waiting for " + path);
}

void FileLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the only descriptor drops the lock
  fd_ = -1;
}

}  // namespace tellwen
