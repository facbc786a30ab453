#include "indexer/core/update_headless.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <thread>
#include <vector>

#include "base/int_text.h"
#include "base/stop_signals.h"
#include "common/index_settings.h"
#include "common/update_state.h"

namespace tellwen::indexer {
namespace {

void PrintRow(std::ostream& out, const UpdateTaskRow& row) {
  out << std::left << std::setw(32) << row.name << std::setw(10) << row.start << std::setw(10)
      << row.stop << std::setw(10) << row.elapsed << row.status << '\n'
      << std::flush;
}

}  // namespace

HeadlessUpdateDriver::HeadlessUpdateDriver(std::ostream& out, bool setup_mode)
    : out_(out), setup_mode_(setup_mode) {}

bool HeadlessUpdateDriver::Drive(UpdateRunner& runner) {
  out_ << UpdateTitle(setup_mode_) << '\n';
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
    if (StopSignals::Requested() && !stop_announced) {
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

void RecoverUnfinishedUpdateAtStart() {
  RegistrySettings settings;
  const Status recovered = RecoverUnfinishedUpdate(UpdateStateFolder(), settings);
  if (!recovered.ok()) std::fprintf(stderr, "KIVIndexer: %s\n", recovered.message().c_str());
}

int RunUpdateJobHeadless(bool setup_mode, Settings& settings, SqlSession* executor,
                         std::ostream& out, int pause_before_task) {
  StopSignals signals(StopSignals::SecondSignal::kEndsProcess);
  HeadlessUpdateDriver driver(out, setup_mode);
  UpdateJobOptions options;
  options.setup_mode = setup_mode;
  options.silent = true;
  options.pause_before_task = pause_before_task;
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
  const char* pause = std::getenv("TELLWEN_UPDATE_PAUSE_BEFORE_TASK");
  return RunUpdateJobHeadless(setup_mode, settings, nullptr, std::cout,
                              pause != nullptr ? LeadingInt(pause) : 0);
}

}  // namespace tellwen::indexer
