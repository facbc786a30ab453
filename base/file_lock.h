// FileLock: an flock on a lock file, waited for up to a bound. Serialises
// work across threads and processes that share a folder: the update job
// against another update, the chart generation of the site's request
// threads, one instance of a desktop program.
//
// Each FileLock opens the file on its own, so two threads of one process
// exclude each other as two processes do; the kernel drops the lock when its
// holder ends in any way, so a crashed process never leaves it held. Read
// access is enough for flock: where the file exists and cannot be opened for
// writing (another account made it), it is opened for reading.
//
// Acquire's outcome: Ok when held; kUnavailable when another holder kept it
// for the whole wait ("Timed out waiting for <path>"); kNotFound when the
// file is missing and create is off; kIoError when the file cannot be opened
// ("Cannot open <what> <path>: <reason>") or locked ("Cannot lock <path>:
// <reason>"). Callers that have their own words for a busy lock test the
// code, not the text.
//
// Thread safety: an object belongs to one thread.
#pragma once

#include <chrono>
#include <string>

#include "base/status.h"

namespace tellwen {

struct FileLockOptions {
  bool shared = false;                 // a shared lock instead of an exclusive one
  bool create = true;                  // create the file when it is missing
  unsigned mode = 0644;                // its mode when created (the umask applies)
  std::string what = "the lock file";  // the file as messages name it
};

class FileLock {
 public:
  FileLock() = default;
  ~FileLock();  // releases when held
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Waits up to `wait` (zero: one try) to hold the lock on path.
  Status Acquire(const std::string& path, std::chrono::milliseconds wait,
                 const FileLockOptions& options = {});
  void Release();

  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace tellwen
