#include "platform/desktop/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tellwen::desktop {

namespace {

bool WritableFolder(const std::string& folder) {
  struct stat st {};
  return !folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

std::string DefaultLockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && WritableFolder(runtime)) return runtime;
  const std::string run = "/run/tellwen";
  if (!WritableFolder(run)) ::mkdir(run.c_str(), 01777);
  if (WritableFolder(run)) return run;
  const char* tmp = std::getenv("TMPDIR");
  if (tmp != nullptr && WritableFolder(tmp)) return tmp;
  return "/tmp";
}

SingleInstance::SingleInstance(std::string program, std::string folder)
    : program_(std::move(program)), folder_(std::move(folder)) {}

SingleInstance::~SingleInstance() {
  if (fd_ >= 0) ::close(fd_);  // closing drops the lock
}

InstanceResult SingleInstance::TryAcquire() {
  if (fd_ >= 0) return InstanceResult::kAcquired;
  std::string folder = folder_.empty() ? DefaultLockFolder() : folder_;
  lock_path_ = folder + "/" + program_ + ".lock";
  // Read access is enough for flock, so a lock file made by another user
  // still works.
  int fd = ::open(lock_path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error_text_ = "cannot open " + lock_path_ + ": " + std::strerror(errno);
    return InstanceResult::kError;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return InstanceResult::kAlreadyRunning;
    error_text_ = "cannot lock " + lock_path_ + ": " + std::strerror(error);
    return InstanceResult::kError;
  }
  fd_ = fd;
  return InstanceResult::kAcquired;
}

}  // namespace tellwen::desktop
