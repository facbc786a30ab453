#include "indexer/core/index_headless.h"

#include <string>

#include "indexer/core/job_display.h"

namespace tellwen::indexer {

namespace {

void Print(const HeadlessOptions& options, const std::string& line, bool final_line) {
  if (options.terminal) {
    // Back to the line's start, the line, then clear what an older, longer
    // line left behind.
    std::string text = "\r" + line + "\x1b[K";
    if (final_line) text += "\n";
    std::fputs(text.c_str(), options.out);
  } else {
    std::fputs((line + "\n").c_str(), options.out);
  }
  std::fflush(options.out);
}

}  // namespace

int RunIndexJobHeadless(IndexJob* job, const std::atomic<bool>* stop_requested,
                        const HeadlessOptions& options) {
  job->LoadSettings();
  StartResult started = job->Start(/*index_flag=*/true);
  if (started != StartResult::kStarted) return 1;
  bool stop_sent = false;
  int tick = 0;
  size_t found_printed = 0;
  size_t refusals_printed = 0;
  // The report of network enumeration, printed as it grows.
  auto print_found = [&] {
    for (const std::string& line : job->status().FoundComputers(found_printed)) {
      Print(options, "discovery: " + line, true);
      ++found_printed;
    }
  };
  while (true) {
    // A tick, cut short when the job ends.
    job->WaitUntilIdle(options.tick);
    if (!stop_sent && stop_requested != nullptr && stop_requested->load()) {
      job->RequestStop();
      stop_sent = true;
      Print(options, "stopping: the index file keeps what was written so far", true);
    }
    print_found();
    for (const std::string& line : job->status().Refusals(refusals_printed)) {
      Print(options, line, true);
      ++refusals_printed;
    }
    bool ended = job->HandleEndIfIdle();
    JobFigures figures = Refresh(job->status(), std::chrono::steady_clock::now(), true);
    ++tick;
    if (ended) {
      Print(options, ProgressLine(figures), true);
      break;
    }
    if (options.terminal || tick % options.plain_every_ticks == 0) {
      Print(options, ProgressLine(figures), false);
    }
  }
  return job->ExitCode();
}

}  // namespace tellwen::indexer
