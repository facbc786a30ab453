// Time texts of the update job: clock times and elapsed times of the task
// rows and the log ("%H:%M:%S"), and local dates in a strftime format.
//
// Thread safety: pure functions (localtime_r).
#pragma once

#include <chrono>
#include <string>

namespace tellwen::indexer {

using UpdateClock = std::chrono::system_clock;

// Local time of `when` in a strftime format, in the C locale (English names).
std::string FormatLocalTime(UpdateClock::time_point when, const char* format);

// An elapsed time as "%H:%M:%S"; hours go past 23 rather than wrap.
std::string FormatElapsed(UpdateClock::duration elapsed);

}  // namespace tellwen::indexer
