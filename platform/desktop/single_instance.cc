#include "platform/desktop/single_instance.h"

#include <fcntl.h>
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

InstanceResult SingleInstance::TryAcquire() {
  if (lock_.held()) return InstanceResult::kAcquired;
  std::string folder = folder_.empty() ? DefaultLockFolder() : folder_;
  lock_path_ = folder + "/" + program_ + ".lock";
  const Status locked = lock_.Acquire(lock_path_, std::chrono::milliseconds(0));
  if (locked.ok()) return InstanceResult::kAcquired;
  if (locked.code() == Status::Code::kUnavailable) return InstanceResult::kAlreadyRunning;
  error_text_ = locked.message();
  return InstanceResult::kError;
}

}  // namespace tellwen::desktop
