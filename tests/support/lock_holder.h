// Test support: a child process that holds a FileLock until it is killed
// (SIGKILL: a crash, nothing released on purpose).
//
// Thread safety: call from the test's thread.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "base/file_lock.h"

namespace tellwen::testing {

// The child's pid once it holds the lock on path, or -1 when it could not.
inline pid_t HoldLockInChild(const std::string& path, const FileLockOptions& options = {}) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    FileLock lock;
    const char ok = lock.Acquire(path, std::chrono::milliseconds(5000), options).ok() ? 'y' : 'n';
    (void)::write(ready[1], &ok, 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char ok = 'n';
  (void)::read(ready[0], &ok, 1);
  ::close(ready[0]);
  if (ok != 'y') {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
  }
  return child;
}

}  // namespace tellwen::testing
