#include "query/charts/chart_cache.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "base/atomic_file.h"
#include "base/file_lock.h"
#include "base/folder_path.h"
#include "base/time_text.h"
#include "common/chart_cache_files.h"
#include "query/charts/chart_kinds.h"
#include "query/charts/chart_request.h"
#include "query/charts/stat_chart.h"

namespace tellwen::query {

namespace {

constexpr int kStatChartsColumns = 13;

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string ChartFileName(int kind, int range_index, const std::tm& local_time) {
  const ChartRange& range = RangeAt(range_index);
  char kind_digits[4];
  std::snprintf(kind_digits, sizeof kind_digits, "%02d", kind);
  return std::string(kChartFilePrefix) + range.file_word + "_" + kind_digits + "_" +
         FormatTime(local_time, range.date_format) + ".png";
}

std::string ChartStatement(int range_index, const std::tm& local_time) {
  return "spStatCharts " + std::to_string(RangeAt(range_index).procedure_range) + ", '" +
         FormatTime(local_time, kSqlTimeFormat) + "'";
}

int RemoveRangeCharts(int range_index, const std::string& chart_folder) {
  const std::string prefix = std::string(kChartFilePrefix) + RangeAt(range_index).file_word;
  const auto stale_before = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
  std::error_code error;
  std::filesystem::directory_iterator entries(WithFinalSlash(chart_folder), error);
  if (error) return 0;
  int removed = 0;
  for (const auto& entry : entries) {
    const std::string name = entry.path().filename().string();
    const std::string_view target = AtomicTemporaryTarget(name);
    if (!target.empty()) {
      if (!target.starts_with(prefix) || !target.ends_with(kChartFileSuffix)) continue;
    } else if (name.compare(0, prefix.size(), prefix) != 0) {
      continue;
    }
    bool remove = target.empty() && name.size() >= prefix.size() + 4 && name.ends_with(".png");
    // A temporary file of a writer that did not finish (and the form an
    // earlier version's writer used, "<chart>.png.XXXXXX").
    if (!remove && (!target.empty() || name.find(".png.", prefix.size()) != std::string::npos)) {
      // A temporary file of a writer that did not finish.
      std::error_code time_error;
      const auto written = entry.last_write_time(time_error);
      remove = !time_error && written < stale_before;
    }
    std::error_code remove_error;
    if (remove && entry.is_regular_file(remove_error) &&
        std::filesystem::remove(entry.path(), remove_error)) {
      ++removed;
    }
  }
  return removed;
}

bool GenerateCharts(int range_index, const std::tm& local_time, const std::string& chart_folder,
                    SqlSession& sql, std::string* error, int keep_kind, std::string* kept_png,
                    FileEnv* env) {
  const SqlResult result = sql.Run(ChartStatement(range_index, local_time), kStatChartsColumns,
                                   SqlCaller::kQueryRowReader);
  if (result.error) {
    if (error) *error = result.error_text;
    return false;
  }
  if (result.rows.size() < 2) {
    if (error) {
      *error = "the statistics procedure returned " + std::to_string(result.rows.size()) +
               (result.rows.size() == 1 ? " row" : " rows");
    }
    return false;
  }
  const std::string folder = WithFinalSlash(chart_folder);
  bool all_written = true;
  for (int kind = 0; kind < kKindCount; ++kind) {
    CStatChart chart(range_index);
    chart.Fill(result.rows, kind);
    std::string write_error;
    if (!chart.DrawAndSave(folder + ChartFileName(kind, range_index, local_time), &write_error,
                           kind == keep_kind ? kept_png : nullptr, env)) {
      if (all_written && error) *error = write_error;
      all_written = false;
    }
  }
  return all_written;
}

ChartFile GetChartFile(std::string_view range_code, std::string_view kind_text,
                       const std::string& chart_folder, SqlSession& sql, Clock& clock,
                       std::chrono::milliseconds lock_wait, FileEnv* env) {
  const int range_index = RangeIndexFromCode(range_code);
  const int kind = KindFromText(kind_text);
  const std::tm now = clock.LocalNow();
  const std::string folder = WithFinalSlash(chart_folder);
  const std::string name = ChartFileName(kind, range_index, now);
  const std::string path = folder + name;
  if (FileExists(path)) return ChartFile{name, path, "", "", false};

  // A wait that times out goes ahead without the lock: a chart drawn twice
  // is better than none.
  FileLock lock;
  FileLockOptions lock_options;
  lock_options.mode = 0666;
  lock.Acquire(folder + kChartLockName, lock_wait, lock_options);
  // Whoever owned the lock before us may have drawn the range meanwhile.
  if (FileExists(path)) return ChartFile{name, path, "", "", false};

  RemoveRangeCharts(range_index, folder);
  std::string error;
  std::string png;
  const bool generated = GenerateCharts(range_index, now, folder, sql, &error, kind, &png, env);
  lock.Release();
  if (FileExists(path)) return ChartFile{name, path, "", "", true};
  if (generated) error = "the chart " + path + " is missing after drawing";
  return ChartFile{"", "", "no chart: " + error, png, false};
}

}  // namespace tellwen::query
