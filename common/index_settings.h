// The settings an index job works with, read from the settings store, and
// the rules that turn stored values into working values.
//
// Thread safety: plain values and pure functions.
#pragma once

#include <string>

#include "common/network_search_settings.h"
#include "common/settings.h"

namespace tellwen {

// Kept by the main window from its start (read once per window).
struct IndexSettings {
  bool split_share_and_directory = false;  // SplitBetweenShareAndDirectory
  bool split_directory_and_file = false;   // SplitBetweenDirectoryAndFile
  bool unix_style = false;                 // UnixStyleForFileNames
  bool dump_size = false;                  // DumpSizeForFileNames
  bool sorted_output = false;              // SortedOutput
  bool generate_report = false;            // GenerateReportFile
  bool insert_into_database = true;        // AutomaticallyInsertIntoDatabase
  int levels = 2000;                       // Levels, after LevelsFromStored
  std::string output_file;                 // OutputFile
  bool stop_web_service = false;           // StopWebService
  std::string temporary_folder;            // TemporaryFolder
  std::string sql_log_folder;              // SqlLogFolder
  int thread_count = 3;                    // NumberOfThreads, after ThreadCountFromStored
};

// Read when a job starts.
struct JobStartSettings {
  int scan_priority = 1;                 // IndexerScanPriority
  bool enumerate_network = true;         // MustEnumerateResourcesFromNetwork
  NetworkSearchSettings network_search;  // its sources and interfaces
  std::string include_list = "0";        // IndexerIncludeList
  std::string exclude_list = "0";        // IndexerExcludeList
  int not_reindex_hours = 48;            // SqlNotReindexHours
};

IndexSettings ReadIndexSettings(Settings& settings);
JobStartSettings ReadJobStartSettings(Settings& settings);

// NumberOfThreads: a value outside 1..25 gives 3.
int ThreadCountFromStored(int stored);

// Levels: the stored value 5 stands for 2000 (no practical limit).
int LevelsFromStored(int stored);

// TemporaryFolder + "kivtmp.txt", with a "/" put between them when the
// folder does not end in one.
std::string IndexFilePath(const std::string& temporary_folder);

}  // namespace tellwen
