// The figures the main window shows for an index job, computed from its
// JobStatus, the one-line form the headless run prints, and the main
// window's buttons and close rule for each phase of a job.
//
// Thread safety: Refresh raises status.files_found (a relaxed atomic
// update); otherwise pure.
#pragma once

#include <chrono>
#include <string>

#include "indexer/core/job_status.h"

namespace tellwen::indexer {

struct JobFigures {
  std::string threads_busy;              // "3"
  std::string thread_count;              // "15"
  std::string computers_done;            // "2"
  std::string computers_queued_skipped;  // "5 (-1)"
  std::string entries_dumped;            // "1200"
  std::string files_found;               // "1300"
  std::string elapsed;                   // "00:01:05"
  std::string projected;                 // "00:02:10", or "--:--:--" while no computer is done
  std::string search_state;              // "search done"
  std::string scan_state;                // "scanning done", "+ (2 access denied)" when any
  std::string dump_state;
  int progress_range = 0;     // the progress bar runs from 0 to computers queued
  int progress_position = 0;  // at computers done
};

inline constexpr const char* kStartButtonText = "Intranet &index";
inline constexpr const char* kStopButtonText = "&Stop";
inline constexpr const char* kStoppingButtonText = "Stopping...";
inline constexpr const char* kAfterJobButtonText = "Intranet &search";
inline constexpr const char* kJobInProgressText =
    "Tellwen Indexer in progress. Please stop it first!";
inline constexpr const char* kJobStoppingText = "Tellwen Indexer is stopping.\nPlease wait!";

// The main window's buttons in one phase: before the first job, while a job
// runs (UpdateDB and Exit disabled), after a confirmed stop (the start
// button disabled too), and after a job.
struct WindowButtons {
  std::string start_text = kStartButtonText;
  bool start_enabled = true;
  bool update_enabled = true;
  bool exit_enabled = true;
};
WindowButtons ButtonsFor(bool job_running, bool stop_requested, bool a_job_ended);

// Why the window may not close now ("" when it may): a job runs, or is
// stopping.
std::string CloseRefusal(bool job_running, bool stop_requested);

// "%H:%M:%S" of a duration; hours keep counting past 24.
std::string FormatDuration(long long seconds);

// The figures as of now. First raises the files counter to the dumped count
// when that is larger, as every refresh of the window does.
JobFigures Refresh(JobStatus& status, std::chrono::steady_clock::time_point now, bool job_started);

// "threads 3/15 | computers 2 of 5 (-1) | files 1200/1300 | time 00:01:05 of
// 00:02:10 | search done, scanning..., dump idle"
std::string ProgressLine(const JobFigures& figures);

}  // namespace tellwen::indexer
