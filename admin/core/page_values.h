// The Files and Misc pages' values: the settings each page loads when it is
// first shown (and on "&Reset") and writes when applied.
//
// Thread safety: Load/Store through the caller's Settings.
#pragma once

#include <string>

#include "admin/core/interval.h"
#include "common/settings.h"

namespace tellwen::admin {

inline constexpr const char* kSelectDirectoryTitle = "Select directory...";
inline constexpr const char* kWhichFileTitle = "Which file?";
inline constexpr const char* kWhichFileFilter = "All Files (*.*)|*.*|Text Files (*.txt)|*.txt||";
inline constexpr const char* kOutputFileTitle = "Enter name of the output file";
inline constexpr const char* kOutputFileFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

struct FilesValues {
  std::string log_folder;
  std::string temporary_folder;
  std::string detailed_report;
  std::string short_report;
  bool split_short_report_daily = false;
  std::string suggestions_file;
};

FilesValues LoadFilesValues(Settings& settings);
// Writes SqlLogFolder, TemporaryFolder, ReportFile, ReportFileShort,
// ReportFileShortDaily, SuggestionsFile.
void StoreFilesValues(Settings& settings, const FilesValues& values);

struct MiscValues {
  ShownInterval reindex;  // SqlNotReindexHours
  ShownInterval expire;   // SqlComputerExpireHours
  bool short_reports = false;
  bool detailed_reports = false;
  bool log_for_statistics = false;
  std::string ping_timeout;   // ms
  std::string max_roundtrip;  // minutes
};

MiscValues LoadMiscValues(Settings& settings);
// Writes the two intervals in hours, the three flags and the two ping values.
void StoreMiscValues(Settings& settings, const MiscValues& values);

}  // namespace tellwen::admin
