#include "indexer/core/update_headless.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <thread>
#include <vector>

#include "indexer/core/index_settings.h"

namespace tellwen::indexer {
namespace {

// Written by the stop handler, read by the thread that drives the update. A
// process-directed signal runs its handler on any thread (often the
// runner's), so the flag is a lock-free atomic, which a handler may touch; a
// volatile sig_atomic_t only orders against the thread it interrupted.
std::atomic<int> g_stop_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

// The first signal asks for a stop; a second one ends the process at once
// with the signal's default action.
extern "C" void OnStopSignal(int signal_number) {
  if (g_stop_signal != 0) {
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    return;
  }
  g_stop_signal = signal_number;
}

// Installs the stop handlers for the life of the object.
class StopSignals {
 public:
  StopSignals() {
    g_stop_signal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &old_int_);
    sigaction(SIGTERM, &action, &old_term_);
  }
  ~StopSignals() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
  }

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
};

void PrintRow(std::ostream& out, const UpdateTaskRow& row) {
  out << std::left << std::setw(32) << row.name << std::setw(10) << row.start << std::setw(10)
      << row.stop << std::setw(10) << row.elapsed << row.status << '\n'
      << std::flush;
}

}  // namespace

HeadlessUpdateDriver::HeadlessUpdateDriver(std::ostream& out, bool setup_mode)
    : out_(out), setup_mode_(setup_mode) {}

bool HeadlessUpdateDriver::Drive(UpdateRunner& runner) {
  out_ << (setup_mode_ ? "Tellwen Indexer - Setting up the database"
                       : "Tellwen Indexer  -  Inserting data into MS SQL Server database")
       << '\n';
  UpdateTaskRow header{"task", "start", "stop", "elapsed", "status"};
  PrintRow(out_, header);
  std::vector<UpdateTaskRow> shown = runner.Rows();
  for (const UpdateTaskRow& row : shown) PrintRow(out_, row);

  const auto opened = UpdateClock::now();
  uint64_t seen = 0;
  bool stop_announced = false;
  runner.Start();
  while (true) {
    const bool running = runner.Running();
    if (g_stop_signal != 0 && !stop_announced) {
      runner.RequestStop();
      stop_announced = true;
      out_ << "Stopping... (the current task finishes first; a second signal ends at once)\n"
           << std::flush;
    }
    const uint64_t changes = runner.Changes();
    if (changes != seen) {
      seen = changes;
      std::vector<UpdateTaskRow> rows = runner.Rows();
      for (size_t i = 0; i < rows.size() && i < shown.size(); ++i) {
        if (rows[i].Text() != shown[i].Text()) PrintRow(out_, rows[i]);
      }
      shown = std::move(rows);
    }
    if (!running) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  runner.Wait();

  const bool completed = runner.Completed();
  out_ << "running time: " << FormatElapsed(UpdateClock::now() - opened) << '\n';
  if (runner.RejectedLines() > 0) {
    out_ << runner.RejectedLines()
         << " index lines were not loaded (malformed); they are listed in sql_log.txt\n";
  }
  if (completed) {
    out_ << "update completed\n";
  } else if (!runner.FailedTask().empty()) {
    out_ << "update failed at \"" << runner.FailedTask() << "\": " << runner.ErrorText() << '\n';
  } else {
    out_ << "update stopped\n";
  }
  out_ << std::flush;
  return completed;
}

int RunUpdateJobHeadless(bool setup_mode, SettingsAccess& settings, SqlExecutor* executor,
                         std::ostream& out) {
  StopSignals signals;
  HeadlessUpdateDriver driver(out, setup_mode);
  UpdateJobOptions options;
  options.setup_mode = setup_mode;
  options.silent = true;
  switch (RunUpdateJob(options, driver, settings, executor)) {
    case UpdateJobOutcome::kSucceeded:
      return 0;
    case UpdateJobOutcome::kDisabled:
      out << "AutomaticallyInsertIntoDatabase is off: the database is not updated\n";
      return 1;
    case UpdateJobOutcome::kNoIndexFile:
      out << "Temporary file not found: " << IndexFilePath(settings.GetValue("TemporaryFolder"))
          << '\n';
      return 1;
    case UpdateJobOutcome::kFailed:
      return 1;
  }
  return 1;
}

int RunUpdateJobHeadless(bool setup_mode) {
  RegistrySettings settings;
  return RunUpdateJobHeadless(setup_mode, settings, nullptr, std::cout);
}

}  // namespace tellwen::indexer
