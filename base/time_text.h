// Local times as text: the one formatter behind the pages' dates, the report
// lines, the log rows' time stamps and the chart files' date parts.
//
// Formats are strftime's, written in the C locale (English month and day
// names) whatever the process's locale.
//
// Thread safety: pure functions (localtime_r).
#pragma once

#include <ctime>
#include <string>

namespace tellwen {

// The local time `when` in format.
std::string FormatLocalTime(std::time_t when, const char* format);
// Broken-down time in format.
std::string FormatTime(const std::tm& when, const char* format);

// "%Y-%m-%d %H:%M:%S": the form the database's datetime columns take.
inline constexpr const char* kSqlTimeFormat = "%Y-%m-%d %H:%M:%S";

}  // namespace tellwen
