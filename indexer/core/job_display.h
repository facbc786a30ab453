// The figures the main window shows for an index job, computed from its
// JobStatus, and the one-line form the headless run prints.
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
  std::string scan_state;
  std::string dump_state;
};

// "%H:%M:%S" of a duration; hours keep counting past 24.
std::string FormatDuration(long long seconds);

// The figures as of now. First raises the files counter to the dumped count
// when that is larger, as every refresh of the window does.
JobFigures Refresh(JobStatus& status, std::chrono::steady_clock::time_point now, bool job_started);

// "threads 3/15 | computers 2 of 5 (-1) | files 1200/1300 | time 00:01:05 of
// 00:02:10 | search done, scanning..., dump idle"
std::string ProgressLine(const JobFigures& figures);

}  // namespace tellwen::indexer
