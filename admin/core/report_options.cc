#include "admin/core/report_options.h"

#include "base/text_trim.h"
#include "common/index_settings.h"

namespace tellwen::admin {
namespace {

const char* Flag(bool on) { return on ? "1" : "0"; }

}  // namespace

std::vector<std::string> ReportPreviewColumns(const ReportOptions& options) {
  const std::string share = options.unix_style ? "//COMP/share/" : "\\\\COMP\\share\\";
  const std::string directory = options.unix_style ? "Directory/" : "Directory\\";
  const std::string file = "file.txt";
  std::vector<std::string> columns{share};
  if (options.split_share) {
    columns.push_back(directory);
  } else {
    columns.back() += directory;
  }
  if (options.split_file) {
    columns.push_back(file);
  } else {
    columns.back() += file;
  }
  return columns;
}

std::optional<std::string> CheckReportOptions(const ReportOptions& options) {
  if (Trim(options.output_file).empty()) return std::string(kIncorrectOutputFileName);
  return std::nullopt;
}

ReportOptions LoadReportOptions(Settings& settings) {
  // Read as the index job reads them, so both take the same values.
  const IndexSettings stored = ReadIndexSettings(settings);
  ReportOptions options;
  options.generate = stored.generate_report;
  options.output_file = stored.output_file;
  options.unix_style = stored.unix_style;
  options.sorted = stored.sorted_output;
  options.dump_size = stored.dump_size;
  options.split_share = stored.split_share_and_directory;
  options.split_file = stored.split_directory_and_file;
  return options;
}

void StoreReportOptions(Settings& settings, const ReportOptions& options) {
  settings.SetValue("GenerateReportFile", Flag(options.generate));
  settings.SetValue("OutputFile", options.output_file);
  settings.SetValue("UnixStyleForFileNames", Flag(options.unix_style));
  settings.SetValue("SortedOutput", Flag(options.sorted));
  settings.SetValue("DumpSizeForFileNames", Flag(options.dump_size));
  settings.SetValue("SplitBetweenShareAndDirectory", Flag(options.split_share));
  settings.SetValue("SplitBetweenDirectoryAndFile", Flag(options.split_file));
}

}  // namespace tellwen::admin
