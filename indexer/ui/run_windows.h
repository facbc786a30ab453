// KIVIndexer with its windows: Qt start-up, the one-instance rule (a second
// start raises the first main window and ends; when there is none, as during
// an update, it says "KIVIndexer already running!" unless a switch was
// given), then the update job with its dialog (/updatedb, /setup) or the
// main window (none, /index). SIGTERM and SIGINT stop a running index job
// without the question and close the window at its end.
//
// Thread safety: runs on the main thread; call once.
#pragma once

#include <functional>

#include "indexer/core/command_line.h"

namespace tellwen::indexer {

// after_claim runs once this process is the one instance, before any job.
// Returns the process exit code, as the headless runs do.
int RunWithWindows(int argc, char** argv, const CommandLine& line,
                   const std::function<void()>& after_claim);

}  // namespace tellwen::indexer
