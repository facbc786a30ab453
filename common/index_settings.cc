#include "common/index_settings.h"

#include "common/settings_fields.h"

namespace tellwen {

int ThreadCountFromStored(int stored) { return stored >= 1 && stored <= 25 ? stored : 3; }

int LevelsFromStored(int stored) { return stored == 5 ? 2000 : stored; }

std::string IndexFilePath(const std::string& temporary_folder) {
  std::string path = temporary_folder;
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path + "kivtmp.txt";
}

namespace {

constexpr FlagField<IndexSettings> kIndexFlags[] = {
    {"SplitBetweenShareAndDirectory", &IndexSettings::split_share_and_directory},
    {"SplitBetweenDirectoryAndFile", &IndexSettings::split_directory_and_file},
    {"UnixStyleForFileNames", &IndexSettings::unix_style},
    {"DumpSizeForFileNames", &IndexSettings::dump_size},
    {"SortedOutput", &IndexSettings::sorted_output},
    {"GenerateReportFile", &IndexSettings::generate_report},
    {"AutomaticallyInsertIntoDatabase", &IndexSettings::insert_into_database},
    {"StopWebService", &IndexSettings::stop_web_service}};
constexpr TextField<IndexSettings> kIndexTexts[] = {
    {"OutputFile", &IndexSettings::output_file},
    {"SqlLogFolder", &IndexSettings::sql_log_folder},
    {"TemporaryFolder", &IndexSettings::temporary_folder}};

}  // namespace

IndexSettings ReadIndexSettings(Settings& settings) {
  IndexSettings s;
  ReadFields(settings, kIndexFlags, &s);
  ReadFields(settings, kIndexTexts, &s);
  s.levels = LevelsFromStored(settings.GetIntValue("Levels"));
  s.thread_count = ThreadCountFromStored(settings.GetIntValue("NumberOfThreads"));
  return s;
}

JobStartSettings ReadJobStartSettings(Settings& settings) {
  JobStartSettings s;
  s.scan_priority = settings.GetIntValue("IndexerScanPriority");
  s.enumerate_network = settings.GetBoolValue("MustEnumerateResourcesFromNetwork");
  s.network_search = ReadNetworkSearchSettings(settings);
  s.include_list = settings.GetValue("IndexerIncludeList");
  s.exclude_list = settings.GetValue("IndexerExcludeList");
  s.not_reindex_hours = settings.GetIntValue("SqlNotReindexHours");
  return s;
}

}  // namespace tellwen
