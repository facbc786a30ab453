// The one rule for request text in a report line (both reports, every line):
// control bytes and DEL are shown as "?", so that a request cannot add lines
// to a report, and the text is cut after kReportTextLimit bytes (never inside
// a UTF-8 character), so that a request cannot grow a report by more than a
// line's worth. Every text that came with a request (parameters, query
// string, posted data, server variables that the client sets) passes through
// LogSafe before it is written to a report.
//
// Thread safety: a pure function.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tellwen::query {

inline constexpr size_t kReportTextLimit = 100;

std::string LogSafe(std::string_view text);

}  // namespace tellwen::query
