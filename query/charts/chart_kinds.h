// The fixed tables of the charts: the three time ranges and the six chart
// kinds.
//
// Thread safety: constant data and pure functions.
#pragma once

namespace tellwen::query {

inline constexpr int kRangeCount = 3;
inline constexpr int kKindCount = 6;

struct ChartRange {
  int procedure_range;      // @range of spStatCharts: 1, 2, 3
  const char* file_word;    // six characters: "daily_", "weekly", "yearly"
  int point_count;          // 25 hours, 8 days, 13 months
  const char* date_format;  // strftime format of the file name's date part
  const char* log_word;     // "daily", "weekly", "yearly"
};

struct ChartKind {
  const char* title;
  const char* label1;  // series labels; a one-series chart shows none
  int column1;         // row set columns of the two series
  const char* label2;
  int column2;        // -1: one series only
  int number_format;  // kIntegerFormat or kTimeFormat
  const char* log_word;
};

inline constexpr int kIntegerFormat = 1;
inline constexpr int kTimeFormat = 2;

// REQUIRES: 0 <= index < kRangeCount.
const ChartRange& RangeAt(int index);
// REQUIRES: 0 <= kind < kKindCount.
const ChartKind& KindAt(int kind);

}  // namespace tellwen::query
