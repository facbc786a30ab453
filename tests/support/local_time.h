// Test support: a local calendar time as the C library completes it (the
// weekday and the day of the year filled in), for code that reads a clock's
// LocalNow or formats a std::tm.
//
// Thread safety: callable from any thread (std::mktime reads the time zone).
#pragma once

#include <ctime>

namespace tellwen::testing {

// month 1 to 12, as written in a date.
inline std::tm LocalTime(int year, int month, int day, int hour, int minute, int second = 0) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  std::mktime(&t);
  return t;
}

}  // namespace tellwen::testing
