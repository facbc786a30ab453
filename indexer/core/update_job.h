// The update job: loads the index file into the database through the update
// script and swaps the fresh catalog in (KIVIndexer /updatedb, /setup and the
// main window's UpdateDB button).
//
// The job reads its settings afresh, puts up the busy banner of the home page
// (and, with StopWebService on, WebStatus "updating" around the swap), hands
// the runner to a driver (the update dialog, or the headless printer) that
// starts it and waits for its end, writes the saved values back in every
// outcome, and on success records DataOfTheIndex and LastSuccessfulUpdateTime
// and deletes the index file. A failed or stopped run keeps the index file, so
// the next run loads it again.
//
// From before it changes a setting until it has put them back, the job holds
// the update lock of the update state folder and keeps the values it owes
// back in its state file (common/update_state.h): a job that dies on the way
// is recognised by any program that finds the lock free. Under the lock the
// job first puts back what a dead job left.
//
// Thread safety: one job at a time per machine (the program's single-instance
// rule); RunUpdateJob runs on the caller's thread, the runner on its own.
#pragma once

#include <string>

#include "common/settings.h"
#include "common/sql_session.h"
#include "indexer/core/update_runner.h"

namespace tellwen::indexer {

// The update's display (the update dialog, the headless printer).
inline constexpr const char* kUpdateTitle =
    "Tellwen Indexer  -  Inserting data into MS SQL Server database";
inline constexpr const char* kSetupTitle = "Tellwen Indexer - Setting up the database";
inline constexpr const char* kStopUpdateQuestion =
    "Stopping Tellwen Indexer while updating the database is not recommended!\nAre you sure do "
    "you want to stop updating?";
// Said when the update is asked for from a window while
// AutomaticallyInsertIntoDatabase is off.
inline constexpr const char* kUpdateDisabledText =
    "Inserting into the database is turned off (AutomaticallyInsertIntoDatabase):\nthe database "
    "is not updated.";
inline const char* UpdateTitle(bool setup_mode) { return setup_mode ? kSetupTitle : kUpdateTitle; }

struct UpdateJobOptions {
  bool setup_mode = false;  // /setup: drop every catalog table first
  bool silent = false;      // /updatedb, /setup: no "not found" or "went OK" box
  // The runner's debug pause (UpdateRunnerConfig::pause_before_task); 0: none.
  int pause_before_task = 0;
};

// Shows the runner's progress while it works. Drive starts the runner (Start),
// returns once it has ended, and says whether the update succeeded (the
// runner completed and the display closed on that).
class UpdateJobDriver {
 public:
  virtual ~UpdateJobDriver() = default;
  virtual bool Drive(UpdateRunner& runner) = 0;
};

enum class UpdateJobOutcome {
  kDisabled,     // AutomaticallyInsertIntoDatabase is off: nothing was done
  kNoIndexFile,  // the index file is missing (and not setup mode)
  kSucceeded,    // every task done; index file deleted
  kFailed,       // a task failed, the run was stopped, or the update lock or
                 // state file could not be had (nothing was changed then)
};

// Runs the job with its settings read from and written to `settings` (the
// index job's interface: RegistrySettings in the programs). `executor`
// defaults to UpdateSql (indexer/core/update_sql.h): the task bodies on one
// kept connection, every other batch on a session of its own.
UpdateJobOutcome RunUpdateJob(const UpdateJobOptions& options, UpdateJobDriver& driver,
                              Settings& settings, SqlSession* executor = nullptr);

}  // namespace tellwen::indexer
