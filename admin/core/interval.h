// The interval settings of the Misc page (SqlNotReindexHours,
// SqlComputerExpireHours): a number of hours, shown as a number and a unit.
//
// Showing takes the largest unit that fits (8760 hours and more: years; 168
// and more: weeks; 24 and more: days; else hours) and the number of whole
// units, rounded down, so 36 hours show as 1 day(s) and are stored back as
// 24. 2147483647 hours is "infinite". Storing multiplies the number by the
// unit's size; a product beyond the range of the setting is infinite.
//
// Thread safety: pure functions.
#pragma once

#include <array>
#include <string>

namespace tellwen::admin {

enum class IntervalUnit { kHours = 0, kDays, kWeeks, kYears, kInfinite };

inline constexpr int kInfiniteHours = 2147483647;

// The unit list in its order: "hour(s)", "day(s)", "week(s)", "year(s)",
// "infinite" (the position is the IntervalUnit).
inline constexpr std::array<const char*, 5> kIntervalUnitNames = {"hour(s)", "day(s)", "week(s)",
                                                                  "year(s)", "infinite"};

struct ShownInterval {
  std::string number;  // "" for infinite
  IntervalUnit unit = IntervalUnit::kHours;
};

ShownInterval ShowInterval(int hours);

// The hours to store for a number box's text (read as a leading integer)
// and a unit.
int StoreInterval(const std::string& number, IntervalUnit unit);

}  // namespace tellwen::admin
