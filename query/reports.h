// The extension's request logs: the detailed report (ReportFile, written when
// ShouldReport is set) and the short report (ReportFileShort, written when
// ShouldShortReport is set, one file per day when ReportFileShortDaily is
// "1"). Both are append-only text files; each line is written with a single
// append, so lines of concurrent requests never interleave. Lines are stamped
// with the local time of the request's clock.
//
// Thread safety: MakeRequestId and the file appends may run on any thread;
// a RequestReports object belongs to one request.
#pragma once

#include <ctime>
#include <string>

#include "base/clock.h"
#include "query/report_text.h"
#include "query/site_settings.h"

namespace tellwen::query {

// Ten digits: two random numbers below 10000, each zero-padded to 4, and a
// process-wide counter 0..99 (wrapping) zero-padded to 2. The random numbers
// are seeded from now (seconds), so the counter keeps ids of one second apart.
std::string MakeRequestId(std::time_t now);

// The short report's file for a day: with daily set and a three-letter
// extension, " - " and the date "%Y-%b-%d" go before the extension.
std::string ShortReportPath(const std::string& file, bool daily, std::time_t now);

// "%d-%m-%Y %H:%M:%S" of local time.
std::string ReportTime(std::time_t now);

class RequestReports {
 public:
  // The request's report settings; clock stamps the lines and outlives this.
  RequestReports(const ReportSettings& settings, Clock& clock);

  bool detailed_on() const { return settings_.detailed_on; }
  const std::string& id();

  // "[" time " id:" id "]: " + text + "\n" to the detailed report.
  void Detail(const std::string& text);
  // "[" time "]: " + text + "\n" to the short report.
  void Short(const std::string& text);
  // text to the detailed report and, as "KIVQuery: " + text, to the web
  // server's log (stderr): for what the administrator must learn even when
  // the detailed report is off (a run of failed writes, query/failure_run.h).
  void Notice(const std::string& text);

 private:
  ReportSettings settings_;
  Clock& clock_;
  std::string id_;
};

// Appends text to the file in one write, creating the file's folder when it
// is missing; false when it cannot be written.
bool AppendToFile(const std::string& file, const std::string& text);

}  // namespace tellwen::query
