// The headless index run: KIVIndexer /index without a window. Starts the job
// at once, prints the main window's figures as a progress line every 300 ms
// (one line rewritten in place on a terminal, a plain line every few seconds
// otherwise), prints each line of the network enumeration's report
// ("discovery: ...") and each refusal of the scan ("\\\\PC1: access denied
// (guest refused)") as it comes, turns a stop request from outside (SIGINT/SIGTERM, polled
// through stop_requested) into a confirmed stop, and returns when the end of
// the job has been handled.
//
// Thread safety: runs in the calling thread; stop_requested may be set from
// any thread or a signal handler.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>

#include "indexer/core/index_job.h"

namespace tellwen::indexer {

struct HeadlessOptions {
  std::FILE* out = stdout;
  bool terminal = false;  // rewrite one line in place
  std::chrono::milliseconds tick{300};
  int plain_every_ticks = 10;  // without a terminal: one line per this many ticks
};

// Returns the exit code: 0 when the job ran to its end, 1 when it did not
// start, was stopped or failed.
int RunIndexJobHeadless(IndexJob* job, const std::atomic<bool>* stop_requested,
                        const HeadlessOptions& options);

}  // namespace tellwen::indexer
