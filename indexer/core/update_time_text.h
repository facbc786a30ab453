// Time texts of the update job: clock times and elapsed times of the task
// rows and the log ("%H:%M:%S"); clock times come from base/time_text.h.
//
// Thread safety: pure functions.
#pragma once

#include <chrono>
#include <string>

namespace tellwen::indexer {

using UpdateClock = std::chrono::system_clock;

// An elapsed time as "%H:%M:%S"; hours go past 23 rather than wrap.
std::string FormatElapsed(UpdateClock::duration elapsed);

}  // namespace tellwen::indexer
