// The state an update job shares with the other programs while it runs, and
// the one place where any program recognises an update that did not finish.
//
// While it works the update job changes shared settings: FirstPageInfo and
// FirstPageInfoSeverity (the busy banner) and, with StopWebService on,
// WebStatus ("updating"). It keeps the values it owes back in a state file,
// and holds an exclusive flock on a lock file for its whole run (UpdateLock).
// Both files live in the update state folder, the data folder that every
// program of an installation shares: the web's account may open the lock file
// read-only, and a flock taken through a read-only descriptor works across
// accounts.
//
// A job that dies (kill -9, power cut) leaves the settings changed and the
// lock free: the kernel drops a dead process's flock. Any program that finds
// the lock free puts the saved values back (RecoverUnfinishedUpdate) while it
// holds the lock itself, so a new update cannot start meanwhile, and a live
// update, which holds the lock, is never taken for a dead one. A setting is
// put back only while it still holds what the job set: WebStatus "updating",
// FirstPageInfo the busy banner with severity "high". WebStatus "updating"
// without a state file becomes "no": a closed search is safer than opening
// one the administrator may have closed.
//
// Thread safety: the functions may run at once in any threads and processes
// (the lock orders them against the job); an UpdateLock belongs to one job.
#pragma once

#include <chrono>
#include <string>

#include "base/file_env.h"
#include "base/file_lock.h"
#include "base/status.h"
#include "common/settings.h"

namespace tellwen {

inline constexpr const char* kUpdateBanner =
    "High server load: updating...&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;Response may be slow.";
inline constexpr const char* kUpdateBannerSeverity = "high";
inline constexpr const char* kWebStatusUpdating = "updating";

// The data folder (DataFolder(): $TELLWEN_DATA, else /var/lib/tellwen/data).
std::string UpdateStateFolder();
// <folder>/kivupdate.lock and <folder>/kivupdate.state.
std::string UpdateLockFile(const std::string& folder);
std::string UpdateStateFile(const std::string& folder);

// The values a running job owes back.
struct UpdateSavedValues {
  std::string web_status;
  std::string first_page_info;
  std::string first_page_info_severity;
};

// Writes the state file whole (WriteFileAtomically), through env (null: the
// real file system).
Status WriteUpdateStateFile(const std::string& folder, const UpdateSavedValues& values,
                            FileEnv* env = nullptr);
void RemoveUpdateStateFile(const std::string& folder);

// True when the settings read may be what a job left changed: WebStatus
// "updating" or the busy banner up. A cheap test before taking the lock.
bool MayBeLeftByUpdate(const std::string& web_status, const std::string& first_page_info);

// The update job's hold on the lock file, from before it changes a setting
// until it has put every value back.
class UpdateLock {
 public:
  // Creates the lock file when missing (group-writable) and takes the
  // exclusive lock, retrying for up to `wait` while another program holds it
  // (one putting values back holds it for milliseconds; another update for
  // hours). REQUIRES: not held yet.
  Status Acquire(const std::string& folder, std::chrono::milliseconds wait);
  bool held() const { return lock_.held(); }

 private:
  FileLock lock_;
};

enum class UpdateRecovery {
  kNothingLeft,    // no update has left anything (or none ever ran here)
  kUpdateRunning,  // an update holds the lock: its values are not touched
  kPutBack,        // the settings a dead update left were put back
};

// The recognition, for every program that is not the updating job itself
// (the indexer at start, the site, the monitor): takes a shared lock without
// waiting; when it gets it, puts back what a dead job left and removes the
// state file. A missing lock file means no update ever ran with this folder:
// nothing is touched.
Status RecoverUnfinishedUpdate(const std::string& folder, Settings& settings,
                               UpdateRecovery* outcome = nullptr);

// What RecoverUnfinishedUpdate does once the lock is held; the update job
// calls it under its own UpdateLock. Returns whether a setting changed.
bool PutBackWhatAnUpdateLeft(const std::string& folder, Settings& settings);

}  // namespace tellwen
