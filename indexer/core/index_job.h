// IndexJob: the index job of KIVIndexer and its life cycle, free of any
// window code so that the main window and headless runs drive the same job.
//
// A job runs a job thread, one discovery thread, thread_count scan workers
// and one dump thread (all at IndexerScanPriority). The caller polls:
// status() for the display, and HandleEndIfIdle() (the window's timer tick)
// which performs the end-of-job steps once all the job's threads have ended:
// the files counter takes the dumped count, and, unless a stop was
// requested or the job failed, the scan's status values are written to the
// settings store when AutomaticallyInsertIntoDatabase is on.
//
// A job fails when the index or the output file cannot be written whole (a
// full disk): the scan ends, the index file is not replaced (see dump.h), no
// status value is written and the reason is shown as an error.
//
// The scan account (common/scan_account_settings.h) is read when a job
// starts: a credentials file that cannot be read, or that other accounts
// may read, keeps the job from starting with the reason shown as an error.
// Computers and shares that refused every login are counted in the status
// (JobStatus::Refusals) and, when the output file is written, listed at its
// end, one line each, after the entries.
//
// Questions and errors of Start go through base/user_messages.h.
//
// Thread safety: Start, RequestStop, HandleEndIfIdle and the destructor are
// called by one controlling thread (the window's or the headless loop's);
// RequestStop may also be called from another thread. status() may be read
// from any thread.
#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "common/index_settings.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "indexer/core/computer_searches.h"
#include "indexer/core/dump.h"
#include "indexer/core/job_shared.h"
#include "indexer/core/skip_list.h"
#include "platform/net/network.h"

namespace tellwen::indexer {

inline constexpr const char* kInvalidOutputFileText =
    "Invalid output file name!\nSelect a valid file name for output.";
inline constexpr const char* kOverwriteIndexFileQuestion =
    "Temporary file already exist. Continuing will overwrite it.\nAre you sure do you want to "
    "continue?";
inline constexpr const char* kNoOutputQuestion =
    "No report or automatically database updating were selected.\nAre you sure you want to "
    "continue without any output?";
inline constexpr const char* kStopQuestion = "Are you sure do you want to stop?";
inline constexpr const char* kIndexJobFailedText = "The index job failed.";

struct IndexJobDependencies {
  net::Network* network = nullptr;  // not owned; outlives the job
  Settings* settings = nullptr;     // not owned; outlives the job
  SqlSession* sql = nullptr;        // reads the recently indexed computers; not owned
  JobTiming timing;
  Clock* clock = nullptr;    // the end-of-job time stamps; null: MachineClock(); not owned
  FileEnv* files = nullptr;  // null: FileEnv::Default(); not owned
  // The enumeration's WS-Discovery and mDNS sources; null: the browse list
  // only (they never run). Not owned.
  ComputerSearches* searches = nullptr;
};

enum class StartResult {
  kStarted,
  kInvalidOutputFile,  // OutputFile is empty
  kDeclined,           // a question was answered "no"
  kBusy,               // a job is already running
  kNoScanAccount,      // the scan account's credentials file was refused
};

// The status values written at the end of a job that was not stopped.
struct ScanStatusValues {
  std::string number_of_indexed_files;  // NumberOfIndexedFiles: "12.345 files indexed"
  std::string data_of_the_index;        // DataOfTheIndexForDB: "last index on 13-Jun-2002"
  std::string last_index_data;          // LastIndexData: "2002-06-13 12:54:14"
  std::string last_successful_scan;     // LastSuccessfulScanTime: "13 June 2002 at 12:54:14"
};
ScanStatusValues MakeScanStatusValues(long long files, std::time_t now);

// n with "." between groups of three digits: 12345 -> "12.345".
std::string GroupThousands(long long n);

class IndexJob {
 public:
  explicit IndexJob(IndexJobDependencies dependencies);
  // Stops a running job and waits for its threads.
  ~IndexJob();

  IndexJob(const IndexJob&) = delete;
  IndexJob& operator=(const IndexJob&) = delete;

  // Reads the settings the main window keeps (once, at its start).
  void LoadSettings();
  const IndexSettings& settings() const { return settings_; }

  // Starts a job. index_flag: the program runs with /index (an existing
  // index file is overwritten without asking).
  StartResult Start(bool index_flag);

  // A confirmed stop request: every loop of the job ends early.
  void RequestStop();
  bool StopRequested() const { return shared_.stop; }

  // True from Start until the end of the job has been handled.
  bool Running() const { return running_; }

  // Waits up to timeout for the job's threads to end (returns at once when
  // no job runs); true when they have.
  bool WaitUntilIdle(std::chrono::milliseconds timeout);

  // The timer tick: when a started job's threads have all ended, performs
  // the end-of-job steps and returns true (once per job).
  bool HandleEndIfIdle();

  // True when the last handled job ended on a stop request.
  bool LastJobStopped() const { return last_job_stopped_; }
  // Why the last handled job failed, or "" when it did not.
  const std::string& LastJobFailure() const { return last_job_failure_; }
  // The exit code of a run of the last handled job, for the window and the
  // headless run alike: 1 when it was stopped or failed, else 0. Refusals
  // (computers that refused every login) do not fail it.
  int ExitCode() const { return last_job_stopped_ || !last_job_failure_.empty() ? 1 : 0; }

  JobStatus& status() { return shared_.status; }
  const JobStatus& status() const { return shared_.status; }

 private:
  void JobThread(JobStartSettings start_settings);

  IndexJobDependencies deps_;
  IndexSettings settings_;
  JobShared shared_;
  // Read when a job starts; the password lives here until the next start.
  net::NetAccount scan_account_;
  std::thread job_thread_;
  std::atomic<bool> idle_{true};
  bool running_ = false;
  bool last_job_stopped_ = false;
  std::string last_job_failure_;
};

}  // namespace tellwen::indexer
