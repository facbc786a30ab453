#include "indexer/core/job_display.h"

#include <cstdio>

namespace tellwen::indexer {

std::string FormatDuration(long long seconds) {
  if (seconds < 0) seconds = 0;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60,
                seconds % 60);
  return buffer;
}

JobFigures Refresh(JobStatus& status, std::chrono::steady_clock::time_point now, bool job_started) {
  long long dumped = status.entries_dumped.load();
  long long found = status.files_found.load();
  while (found < dumped && !status.files_found.compare_exchange_weak(found, dumped)) {
  }
  if (found < dumped) found = dumped;

  JobFigures f;
  f.threads_busy = std::to_string(status.busy_threads.load());
  f.thread_count = std::to_string(status.thread_count.load());
  const int done = status.computers_done.load();
  const int queued = status.computers_queued.load();
  f.computers_done = std::to_string(done);
  f.computers_queued_skipped =
      std::to_string(queued) + " (-" + std::to_string(status.computers_skipped.load()) + ")";
  f.entries_dumped = std::to_string(dumped);
  f.files_found = std::to_string(found);
  long long elapsed = 0;
  if (job_started) {
    elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(now - status.start_time.load()).count();
  }
  f.elapsed = FormatDuration(elapsed);
  f.projected = done > 0 ? FormatDuration(elapsed * queued / done) : "--:--:--";
  f.search_state = SearchStateText(status.search_state);
  f.scan_state = ScanStateText(status.scan_state);
  if (const int refused = status.refusals(); refused > 0) {
    f.scan_state += " (" + std::to_string(refused) + " access denied)";
  }
  f.dump_state = DumpStateText(status.dump_state);
  f.progress_range = queued > 0 ? queued : 0;
  f.progress_position = done < 0 ? 0 : (done > f.progress_range ? f.progress_range : done);
  return f;
}

WindowButtons ButtonsFor(bool job_running, bool stop_requested, bool a_job_ended) {
  WindowButtons buttons;
  if (job_running) {
    buttons.start_text = stop_requested ? kStoppingButtonText : kStopButtonText;
    buttons.start_enabled = !stop_requested;
    buttons.update_enabled = false;
    buttons.exit_enabled = false;
  } else if (a_job_ended) {
    buttons.start_text = kAfterJobButtonText;
  }
  return buttons;
}

std::string CloseRefusal(bool job_running, bool stop_requested) {
  if (!job_running) return "";
  return stop_requested ? kJobStoppingText : kJobInProgressText;
}

std::string ProgressLine(const JobFigures& f) {
  return "threads " + f.threads_busy + "/" + f.thread_count + " | computers " + f.computers_done +
         " of " + f.computers_queued_skipped + " | files " + f.entries_dumped + "/" +
         f.files_found + " | time " + f.elapsed + " of " + f.projected + " | " + f.search_state +
         ", " + f.scan_state + ", " + f.dump_state;
}

}  // namespace tellwen::indexer
