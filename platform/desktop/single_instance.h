// SingleInstance: one running instance per program and machine.
//
// The first instance holds an exclusive flock on "<program>.lock" in the lock
// folder for as long as it lives; a second instance finds the lock held and
// ends. The kernel drops the lock when the holder exits, however it exits, so
// a crashed instance never blocks the next start.
//
// Lock folder: $XDG_RUNTIME_DIR when set and writable, else /run/tellwen
// (created when missing), else the system's temporary folder. Every instance
// of the machine must resolve the same folder for the rule to hold; the
// folder actually used is reported by LockPath().
//
// Thread safety: an object is used by one thread; the lock is per process.
#pragma once

#include <string>

#include "base/file_lock.h"

namespace tellwen::desktop {

enum class InstanceResult {
  kAcquired,        // this process is the one instance
  kAlreadyRunning,  // another process holds the lock
  kError,           // no lock file could be opened (the caller may go on)
};

class SingleInstance {
 public:
  // folder: the lock folder; empty means the default search above.
  explicit SingleInstance(std::string program, std::string folder = "");

  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  InstanceResult TryAcquire();
  const std::string& LockPath() const { return lock_path_; }
  const std::string& ErrorText() const { return error_text_; }

 private:
  std::string program_;
  std::string folder_;
  std::string lock_path_;
  std::string error_text_;
  FileLock lock_;  // released when the object goes
};

// The lock folder the default search picks.
std::string DefaultLockFolder();

}  // namespace tellwen::desktop
