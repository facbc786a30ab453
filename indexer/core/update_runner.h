// The update runner: runs the tasks of the update script one by one on the
// database, loads the index file at the task "inserting data into database",
// adds and fills the category columns at "DONT-inserting categories" and
// "updating categories", and appends a record per task to sql_log.txt.
//
// It keeps no window code: the update dialog and the headless run both poll
// its state (rows of the visible tasks, running/completed flags) and forward
// a confirmed stop with RequestStop; the current task then finishes and the
// runner ends without the completed flag.
//
// The live catalog changes only in the transaction that the task "switching
// to new database" begins and "DONT-commit switch" commits, with the stored
// procedures re-created inside it (the executor keeps the task bodies on one
// connection: indexer/core/update_sql.h). A failure of any task before the
// commit leaves the live tables and procedures as they were; a stop request
// does not end the run between those two tasks (that would roll the swap
// back). CategoriesEditForWeb is written only once the commit has succeeded,
// so the web search never offers a category column the live catalog lacks.
//
// Thread safety: Start runs the tasks on a thread of the runner's own; every
// public accessor may be called from any thread while it runs. The object
// must outlive that thread (the destructor waits for it).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/thread_annotations.h"
#include "common/category_list.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "indexer/core/script_splitter.h"
#include "indexer/core/update_time_text.h"

namespace tellwen::indexer {

// One row of the update dialog: times "%H:%M:%S" or "n/a"; status "waiting...",
// "running", the number of index lines sent (load task), "done" or "error".
struct UpdateTaskRow {
  std::string name;
  std::string start = "n/a";
  std::string stop = "n/a";
  std::string elapsed = "n/a";
  std::string status = "waiting...";

  // The dialog's row text: the five cells separated by TAB characters.
  std::string Text() const;
};

struct UpdateRunnerConfig {
  std::vector<ScriptTask> tasks;
  bool setup_mode = false;
  bool stop_web_service = false;
  std::string index_file;       // TemporaryFolder + "kivtmp.txt"
  std::string log_file;         // SqlLogPath(SqlLogFolder)
  std::string categories_edit;  // CategoriesEdit as read when the job started
  // REQUIRES: not null; not owned; outlives the runner. Task bodies
  // (kIndexerTaskBody) must share one connection (UpdateSql does).
  SqlSession* executor = nullptr;
  // Where CategoriesEditForWeb is written at the swap.
  Settings* settings = nullptr;  // REQUIRES: not null; not owned; outlives the runner
  // Called on the runner's thread at the task "locking database" when
  // stop_web_service is on: the job saves WebStatus and sets "updating".
  std::function<void()> on_locking;
  // Shows the failure message; defaults to ShowMessage (base/user_messages.h).
  std::function<void(const std::string&)> show_failure;
  // A debug switch, for testing what a crash at a given point leaves: n > 0
  // makes the runner stop before task number n (counted from 1, hidden tasks
  // included; one more than the number of tasks means after the last one),
  // print "update paused before task n: <name>" on stderr, and wait there
  // until a stop is requested. 0 (the default): never.
  int pause_before_task = 0;
};

inline constexpr const char* kUpdateFailedMessage =
    "An error has occured!\nCheck the log file for more details.";

// The setup drop batch: every catalog, work and temp_ table, when it exists.
std::string SetupDropBatch();

class UpdateRunner {
 public:
  explicit UpdateRunner(UpdateRunnerConfig config);
  ~UpdateRunner();

  UpdateRunner(const UpdateRunner&) = delete;
  UpdateRunner& operator=(const UpdateRunner&) = delete;

  // Starts the runner thread. REQUIRES: called once.
  void Start();
  // Runs every task on the calling thread (Start uses it).
  void Run();
  // Waits until the runner thread has ended.
  void Wait();

  void RequestStop() { stop_requested_ = true; }
  bool StopRequested() const { return stop_requested_; }
  bool Running() const { return running_; }
  // Every task returned "done" (and the run was not stopped before the end).
  bool Completed() const { return completed_; }

  // Rows of the visible tasks, in task order.
  std::vector<UpdateTaskRow> Rows() const;
  // Grows by one at every change of a row; lets a display redraw only then.
  uint64_t Changes() const { return changes_; }
  // The name and error text of the task that failed ("" when none failed).
  std::string FailedTask() const;
  std::string ErrorText() const;
  // Index lines the loader refused (they are listed in the log).
  int64_t RejectedLines() const { return rejected_lines_; }

 private:
  std::string RunTask(const ScriptTask& task, int row);
  // The debug pause before task number `number` (see pause_before_task).
  void PauseIfAsked(size_t number, const std::string& name);
  void SetRow(int row, const std::function<void(UpdateTaskRow&)>& change);

  UpdateRunnerConfig config_;
  std::vector<Category> categories_;
  std::vector<int> row_of_task_;  // -1 for hidden tasks

  mutable Mutex mutex_;
  std::vector<UpdateTaskRow> rows_ GUARDED_BY(mutex_);
  std::string failed_task_ GUARDED_BY(mutex_);
  std::string error_text_ GUARDED_BY(mutex_);

  std::atomic<bool> running_{false};
  std::atomic<bool> completed_{false};
  std::atomic<bool> stop_requested_{false};
  std::atomic<uint64_t> changes_{0};
  std::atomic<int64_t> rejected_lines_{0};
  std::thread thread_;
};

}  // namespace tellwen::indexer
