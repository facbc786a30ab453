// The "Indexer options" dialog's values: Levels, NumberOfThreads and
// IndexerScanPriority.
//
// Levels: the radio buttons "1 level" .. "5 levels" and "All levels" store
// 0 .. 5 (5 is every level); with no button checked 2 is stored.
// NumberOfThreads: the typed number, replaced by 15 when it is not from 1 to
// 25. IndexerScanPriority: the position 0 .. 6 of the priority list; 6
// ("Time critical") is kept only when the administrator confirms it.
//
// Thread safety: pure functions, plus Load/Store through the caller's
// Settings.
#pragma once

#include <array>
#include <string>

#include "common/settings.h"

namespace tellwen::admin {

inline constexpr int kLevelButtons = 6;  // "1 level" .. "5 levels", "All levels"
inline constexpr int kNoLevelChecked = -1;
inline constexpr std::array<const char*, 6> kLevelLabels = {"1 level",  "2 levels", "3 levels",
                                                            "4 levels", "5 levels", "All levels"};
inline constexpr std::array<const char*, 9> kThreadChoices = {"1",  "2",  "3",  "4", "5",
                                                              "10", "15", "20", "25"};
inline constexpr std::array<const char*, 7> kPriorityNames = {
    "Idle", "Lowest", "Below normal", "Normal", "Above normal", "Highest", "Time critical"};
inline constexpr int kTimeCriticalPriority = 6;
inline constexpr const char* kTimeCriticalQuestion =
    "Priority was set to time critical.\nAre you sure you want keep this setting?";

struct IndexerOptions {
  int level_button = kNoLevelChecked;  // 0 .. 5, or kNoLevelChecked
  std::string threads;                 // as typed
  int priority = 1;                    // 0 .. 6
};

// The value of NumberOfThreads for the typed text.
int ThreadsToStore(const std::string& typed);
// The value of Levels for the checked button.
int LevelsToStore(int level_button);

// Reads the three settings; a stored Levels or priority out of range checks
// no button / selects nothing (-1).
IndexerOptions LoadIndexerOptions(Settings& settings);
// Writes IndexerScanPriority, Levels and NumberOfThreads, in this order.
void StoreIndexerOptions(Settings& settings, const IndexerOptions& options);

}  // namespace tellwen::admin
