// The fixed tables of the charts: the three time ranges and the six chart
// kinds, and the reading of a chart request's range and kind texts.
//
// Thread safety: constant data and pure functions.
#pragma once

#include <string>
#include <string_view>

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

// The integer value of a text read as atoi reads it: leading blanks, an
// optional sign, then digits up to the first other character; text that is
// not a number reads as 0. Values beyond the int range saturate.
int ReadInteger(std::string_view text);

// The range index (0, 1, 2) of a request's range code: "1" daily, "2"
// weekly, "3" yearly; an empty code or one whose value is outside 1 to 3
// counts as daily.
int RangeIndexFromCode(std::string_view code);

// The chart kind (0 to 5) of a request's kind text; an empty text or one
// whose value is outside 0 to 5 counts as 1 (searches); text that is not a
// number reads as 0 (pings).
int KindFromText(std::string_view text);

// The request report's part after the caller's address: " chart  [" +
// range log word + ", " + kind log word + "]". A code other than "1", "2",
// "3" or a kind other than "0" to "5" is logged as it came, with control
// characters shown as "?" so that a request cannot add lines to the report.
std::string ChartReportText(std::string_view code, std::string_view kind);

}  // namespace tellwen::query
