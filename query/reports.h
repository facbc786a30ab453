// The extension's request logs: the detailed report (ReportFile, written when
// ShouldReport is set) and the short report (ReportFileShort, written when
// ShouldShortReport is set, one file per day when ReportFileShortDaily is
// "1"). Both are append-only text files; each line is written with a single
// append, so lines of concurrent requests never interleave.
//
// Thread safety: MakeRequestId and the file appends may run on any thread;
// a RequestReports object belongs to one request.
#pragma once

#include <ctime>
#include <string>

namespace tellwen::query {

// Ten digits: two random numbers below 10000, each zero-padded to 4, and a
// process-wide counter 0..99 (wrapping) zero-padded to 2.
std::string MakeRequestId();

// The short report's file for a day: with daily set and a three-letter
// extension, " - " and the date "%Y-%b-%d" go before the extension.
std::string ShortReportPath(const std::string& file, bool daily, std::time_t now);

// "%d-%m-%Y %H:%M:%S" of local time.
std::string ReportTime(std::time_t now);

class RequestReports {
 public:
  // Reads the four report settings once for the request.
  RequestReports();

  bool detailed_on() const { return detailed_on_; }
  const std::string& id();

  // "[" time " id:" id "]: " + text + "\n" to the detailed report.
  void Detail(const std::string& text);
  // "[" time "]: " + text + "\n" to the short report.
  void Short(const std::string& text);

 private:
  bool detailed_on_ = false;
  bool short_on_ = false;
  bool short_daily_ = false;
  std::string detailed_file_;
  std::string short_file_;
  std::string id_;
};

// Appends text to the file in one write, creating the file's folder when it
// is missing; false when it cannot be written.
bool AppendToFile(const std::string& file, const std::string& text);

}  // namespace tellwen::query
