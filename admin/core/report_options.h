// The "Configure report" dialog's values: the output file of a scan and its
// form (GenerateReportFile, OutputFile, UnixStyleForFileNames, SortedOutput,
// DumpSizeForFileNames, SplitBetweenShareAndDirectory,
// SplitBetweenDirectoryAndFile), and the one-line preview of how a path is
// written in it.
//
// Thread safety: pure functions, plus Load/Store through the caller's
// Settings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/settings.h"

namespace tellwen::admin {

inline constexpr const char* kIncorrectOutputFileName = "Incorect output file name";

struct ReportOptions {
  bool generate = false;
  std::string output_file;
  bool unix_style = false;
  bool sorted = false;
  bool dump_size = false;
  bool split_share = false;  // share part in a column of its own
  bool split_file = false;   // file part in a column of its own
};

// The preview's columns: "\\COMP\share\", "Directory\" and "file.txt" (with
// Unix style "//COMP/share/", "Directory/"), the share part and the file
// part each in a column of their own when split, otherwise joined to their
// neighbour.
std::vector<std::string> ReportPreviewColumns(const ReportOptions& options);

// The refusal of OK, or nullopt: an output file name that is empty (or only
// blanks) is refused with "Incorect output file name".
std::optional<std::string> CheckReportOptions(const ReportOptions& options);

ReportOptions LoadReportOptions(Settings& settings);
// Writes the seven values.
void StoreReportOptions(Settings& settings, const ReportOptions& options);

}  // namespace tellwen::admin
