#include "indexer/core/index_settings.h"

namespace tellwen::indexer {

int ThreadCountFromStored(int stored) { return stored >= 1 && stored <= 25 ? stored : 3; }

int LevelsFromStored(int stored) { return stored == 5 ? 2000 : stored; }

std::string IndexFilePath(const std::string& temporary_folder) {
  std::string path = temporary_folder;
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path + "kivtmp.txt";
}

IndexSettings ReadIndexSettings(Settings& settings) {
  IndexSettings s;
  s.split_share_and_directory = settings.GetBoolValue("SplitBetweenShareAndDirectory");
  s.split_directory_and_file = settings.GetBoolValue("SplitBetweenDirectoryAndFile");
  s.unix_style = settings.GetBoolValue("UnixStyleForFileNames");
  s.dump_size = settings.GetBoolValue("DumpSizeForFileNames");
  s.sorted_output = settings.GetBoolValue("SortedOutput");
  s.generate_report = settings.GetBoolValue("GenerateReportFile");
  s.insert_into_database = settings.GetBoolValue("AutomaticallyInsertIntoDatabase");
  s.levels = LevelsFromStored(settings.GetIntValue("Levels"));
  s.output_file = settings.GetValue("OutputFile");
  s.stop_web_service = settings.GetBoolValue("StopWebService");
  s.sql_log_folder = settings.GetValue("SqlLogFolder");
  s.temporary_folder = settings.GetValue("TemporaryFolder");
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

}  // namespace tellwen::indexer
