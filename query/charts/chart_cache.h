// The chart cache: which PNG file answers a chart request, and the drawing
// of a range's six charts when that file is missing.
//
// Chart files live in the chart folder the caller names (the physical
// folder of the extension's own URL). A file's name carries its range and
// kind and the current hour, day or month (ChartFileName), so it serves
// until that period ends; the first request of a new period deletes the
// range's older files, runs spStatCharts once and draws all six kinds.
//
// Generation is serialised by a FileLock on "kiv_chart_mutex1.lock" in the
// chart folder: the check before the lock is the fast path, the check after
// owning it keeps a range from being drawn twice, and a wait that lasts
// longer than the bound (30 s) goes ahead without the lock. Chart files
// appear under their names only when completely written.
//
// Request texts reach neither SQL nor a file name: the range code and the
// kind are read as numbers and mapped onto the fixed tables.
//
// The chart handler of the extension uses it so:
//   ChartUrlFolder(URL variable, &url_folder)   (else the "Weird response" page)
//   map url_folder to its physical path, append "/": the chart folder
//   ChartFile file = GetChartFile(path, t, chart_folder, sql, clock);
//   transmit file.path as "image/png" (an empty path fails to open and
//   gives the transmit routine's error page); file.error says why
//   report: REMOTE_ADDR right-aligned in 16 + ChartReportText(path, t)
//
// The statement runs through the caller's SqlSession (the row reader's
// timeouts, 13 columns per row); the period is the local time of the
// caller's Clock.
//
// Thread safety: GetChartFile and GenerateCharts may run on any number of
// threads and processes at once; they share nothing in memory (the
// SqlSession and Clock given must allow that).
#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "base/file_env.h"
#include "common/sql_session.h"

namespace tellwen::query {

// How long a request waits for another drawing the same range.
inline constexpr std::chrono::milliseconds kChartLockWait{30000};

// "kiv_chart_" + range word + "_" + kind as two digits + "_" + the time in
// the range's date format + ".png", e.g. kiv_chart_weekly_03_2002-05-06.png.
// REQUIRES: 0 <= kind < 6, 0 <= range_index < 3.
std::string ChartFileName(int kind, int range_index, const std::tm& local_time);

// The statement GenerateCharts runs: "spStatCharts " + N + ", '" + time in
// the database's datetime form + "'".
std::string ChartStatement(int range_index, const std::tm& local_time);

struct ChartFile {
  std::string name;   // relative to the chart folder; empty on failure
  std::string path;   // chart folder + name; empty on failure
  std::string error;  // why there is no file, for the error page and the log
  // Without a file, the chart itself when it was drawn but could not be
  // written (a full disk): the request is answered with it all the same.
  std::string png;
  bool drawn = false;  // the file was drawn and written for this request
  bool ok() const { return !name.empty(); }
};

// The chart file for a request's range code (`path`) and kind (`t`) texts,
// drawing the range when its file is missing. chart_folder may end in "/"
// or not. Out-of-range or missing texts fall back as chart_request.h says.
ChartFile GetChartFile(std::string_view range_code, std::string_view kind,
                       const std::string& chart_folder, SqlSession& sql, Clock& clock,
                       std::chrono::milliseconds lock_wait = kChartLockWait,
                       FileEnv* env = nullptr);

// Runs spStatCharts for the range and time and draws all six charts into
// the folder. True when the procedure gave at least two rows and every chart
// was written; otherwise *error says what failed (a chart that could not be
// written is missing afterwards, the others stay). When the chart of kind
// keep_kind cannot be written, *kept_png (if given) gets its PNG bytes.
bool GenerateCharts(int range_index, const std::tm& local_time, const std::string& chart_folder,
                    SqlSession& sql, std::string* error, int keep_kind = -1,
                    std::string* kept_png = nullptr, FileEnv* env = nullptr);

// Deletes the range's chart files of every kind and period from the folder
// (names "kiv_chart_" + range word + "*.png"), and temporary files that an
// interrupted writer left there more than a minute ago. Failures are
// ignored. Returns how many files were removed.
int RemoveRangeCharts(int range_index, const std::string& chart_folder);

}  // namespace tellwen::query
