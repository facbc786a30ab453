// The update job without a window (KIVIndexer /updatedb and /setup on a
// machine without a display): the task rows of the update dialog are printed
// on stdout as they change, SIGINT and SIGTERM count as a confirmed stop (the
// current task finishes first), and messages go to stderr.
//
// Thread safety: one call per process at a time; it installs its own SIGINT
// and SIGTERM handlers for the span of the call and restores the previous
// ones.
#pragma once

#include <ostream>

#include "common/sql_session.h"
#include "indexer/core/update_job.h"

namespace tellwen::indexer {

// The process exit code: 0 when the update completed, 1 otherwise (failed,
// stopped, no index file, or AutomaticallyInsertIntoDatabase off).
// TELLWEN_UPDATE_PAUSE_BEFORE_TASK=n (a debug switch for crash tests) pauses
// the run before task n until SIGINT or SIGTERM stops it (see
// UpdateRunnerConfig::pause_before_task).
int RunUpdateJobHeadless(bool setup_mode);

// What every start of KIVIndexer does before its job, with or without its
// windows: an update that did not finish (killed, power cut) must not keep
// the site closed or the busy banner up, so what it left is put back (the
// update job does it again under its own lock). A failure goes to stderr.
void RecoverUnfinishedUpdateAtStart();

// The same, with the settings, the statement executor and the output stream
// chosen by the caller (tests); pause_before_task as the variable above.
int RunUpdateJobHeadless(bool setup_mode, Settings& settings, SqlSession* executor,
                         std::ostream& out, int pause_before_task = 0);

// Prints the runner's rows as they change and forwards a stop when a signal
// came; used by RunUpdateJobHeadless, public for tests.
class HeadlessUpdateDriver : public UpdateJobDriver {
 public:
  explicit HeadlessUpdateDriver(std::ostream& out, bool setup_mode);
  bool Drive(UpdateRunner& runner) override;

 private:
  std::ostream& out_;
  bool setup_mode_;
};

}  // namespace tellwen::indexer
