#include "setup/core/setup_run.h"

namespace tellwen::setup {

SetupRun::~SetupRun() { Wait(); }

void SetupRun::Start(const SetupValues& values) {
  Wait();
  {
    MutexLock lock(mutex_);
    progress_ = Progress{};
    progress_.running = 1;
  }
  thread_ = std::thread([this, values] { RunAll(values, {}); });
}

bool SetupRun::RunHere(const SetupValues& values, const Observer& observer) {
  Wait();
  {
    MutexLock lock(mutex_);
    progress_ = Progress{};
  }
  RunAll(values, observer);
  return !progress().failed;
}

void SetupRun::Wait() {
  if (thread_.joinable()) thread_.join();
}

SetupRun::Progress SetupRun::progress() const {
  MutexLock lock(mutex_);
  return progress_;
}

void SetupRun::RunAll(const SetupValues& values, const Observer& observer) {
  for (int task = 1; task <= kTaskCount; ++task) {
    {
      MutexLock lock(mutex_);
      progress_.running = task;
    }
    if (observer) observer(task, nullptr);
    const std::string error = tasks_.Run(task, values);
    {
      MutexLock lock(mutex_);
      progress_.results[task] = error;
      progress_.failed = progress_.failed || !error.empty();
    }
    if (observer) observer(task, &error);
  }
  MutexLock lock(mutex_);
  progress_.running = 0;
  progress_.finished = true;
}

}  // namespace tellwen::setup
