// The settings an update job changes while it runs (WebStatus, FirstPageInfo,
// FirstPageInfoSeverity) and the values it owes back.
//
// The job saves the values before it changes them and writes them back in
// every outcome. So that a job killed on the way (kill -9, power loss) does
// not leave the web search at "updating" or the busy banner up for good, the
// saved values are also kept in a small state file next to the index file
// until they are written back; the next job finds the file and puts back each
// value that still holds what the dead job had set.
//
// Thread safety: an object belongs to one job; SaveWebStatusForLock may run on
// the runner thread while the job thread waits for it.
#pragma once

#include <mutex>
#include <string>

#include "common/settings.h"
#include "common/thread_annotations.h"

namespace tellwen::indexer {

inline constexpr const char* kUpdateBanner =
    "High server load: updating...&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;Response may be slow.";
inline constexpr const char* kUpdateBannerSeverity = "high";
inline constexpr const char* kWebStatusUpdating = "updating";

class UpdateSavedState {
 public:
  // state_file: where the saved values are kept while the job runs.
  // settings: not owned; outlives the object.
  UpdateSavedState(std::string state_file, Settings& settings);

  // Puts back what a dead job left changed (see above) and removes its file.
  // WebStatus left at "updating" without a file becomes "no": a closed search
  // is safer than opening one the administrator may have closed.
  static void RecoverLeftover(const std::string& state_file, Settings& settings);

  // Saves WebStatus, FirstPageInfo and FirstPageInfoSeverity, then puts up the
  // busy banner ("high").
  void SaveAndSetBanner();
  // At the task "locking database" with StopWebService on: saves WebStatus
  // afresh and sets it to "updating".
  void SaveWebStatusForLock();
  // Writes the saved values back (WebStatus only when restore_web_status) and
  // removes the state file.
  void Restore(bool restore_web_status);

 private:
  void WriteFile() REQUIRES(mutex_);

  std::string state_file_;
  Settings& settings_;
  Mutex mutex_;
  std::string web_status_ GUARDED_BY(mutex_);
  std::string first_page_info_ GUARDED_BY(mutex_);
  std::string first_page_info_severity_ GUARDED_BY(mutex_);
};

}  // namespace tellwen::indexer
