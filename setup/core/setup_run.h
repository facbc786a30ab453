// SetupRun: one run of the five tasks, the sequence that the wizard's tasks
// page and the headless run both drive. The tasks run in order 1 to 5, each
// whatever the others gave (a task never stops at another's failure); the
// run has failed when any task returned an error text.
//
// Start runs them on a thread of the run's own, for a window that must keep
// drawing: it polls Progress() from its timer. RunHere runs them on the
// caller's thread and tells each task's start and end to an observer, for
// the headless run's lines.
//
// Thread safety: Start, RunHere, Wait and the destructor from the owning
// thread; Progress() from any thread while the run's thread works. The
// TaskRunner is called from one thread at a time.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "base/thread_annotations.h"
#include "setup/core/setup_tasks.h"

namespace tellwen::setup {

class SetupRun {
 public:
  struct Progress {
    int running = 0;  // the task under way, 0 when none
    // Each task's outcome once it ended ("" done, else its error text);
    // index 1 to kTaskCount.
    std::array<std::optional<std::string>, kTaskCount + 1> results;
    bool finished = false;  // all five ended
    bool failed = false;    // one of them gave an error text
  };
  // Called before a task starts (error null) and when it ended.
  using Observer = std::function<void(int task, const std::string* error)>;

  explicit SetupRun(TaskRunner& tasks) : tasks_(tasks) {}
  ~SetupRun();  // waits for a run under way (a task may be copying files)
  SetupRun(const SetupRun&) = delete;
  SetupRun& operator=(const SetupRun&) = delete;

  // REQUIRES: no run under way.
  void Start(const SetupValues& values);
  // Returns whether every task worked.
  bool RunHere(const SetupValues& values, const Observer& observer);
  // Waits for a started run to end.
  void Wait();

  Progress progress() const;

 private:
  void RunAll(const SetupValues& values, const Observer& observer);

  TaskRunner& tasks_;
  mutable Mutex mutex_;
  Progress progress_ GUARDED_BY(mutex_);
  std::thread thread_;
};

}  // namespace tellwen::setup
