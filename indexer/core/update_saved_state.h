// The settings an update job changes while it runs (WebStatus, FirstPageInfo,
// FirstPageInfoSeverity) and the values it owes back.
//
// The job saves the values before it changes them and writes them back in
// every outcome. So that a job killed on the way (kill -9, power loss) does
// not leave the web search at "updating" or the busy banner up, the saved
// values are also kept in the state file of the update state folder
// (common/update_state.h) until they are written back; any program that finds
// the job's lock free puts them back from there.
//
// REQUIRES: the job holds its UpdateLock on the folder while the object saves
// and restores.
//
// Thread safety: an object belongs to one job; SaveWebStatusForLock may run on
// the runner thread while the job thread waits for it.
#pragma once

#include <mutex>
#include <string>

#include "base/status.h"
#include "base/thread_annotations.h"
#include "common/settings.h"
#include "common/update_state.h"

namespace tellwen::indexer {

class UpdateSavedState {
 public:
  // state_folder: where the state file is kept while the job runs.
  // settings: not owned; outlives the object.
  UpdateSavedState(std::string state_folder, Settings& settings);

  // Saves WebStatus, FirstPageInfo and FirstPageInfoSeverity in the object
  // and the state file, then puts up the busy banner ("high"). When the file
  // cannot be written nothing is changed and the error is returned: a job
  // that could not be recovered after a crash must not start.
  Status SaveAndSetBanner();
  // At the task "locking database" with StopWebService on: saves WebStatus
  // afresh and sets it to "updating".
  void SaveWebStatusForLock();
  // Writes the saved values back (WebStatus only when restore_web_status) and
  // removes the state file.
  void Restore(bool restore_web_status);

 private:
  std::string state_folder_;
  Settings& settings_;
  Mutex mutex_;
  UpdateSavedValues saved_ GUARDED_BY(mutex_);
};

}  // namespace tellwen::indexer
