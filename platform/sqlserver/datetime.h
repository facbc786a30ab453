// Dates and times as the server keeps them: text "YYYY-MM-DD HH:MM:SS" in the
// database, this broken-down form in the functions. Implements SQL Server's
// reading of date texts and numbers (days since 1900-01-01), DATEADD with
// month-end clamping, DATEDIFF counting boundaries crossed, DATEPART with
// Sunday as the first day of the week, and the CONVERT styles.
//
// Thread safety: pure functions (Now reads the clock and the local zone).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/clock.h"

namespace tellwen::sqlserver {

struct DateTime {
  int year = 1900, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
};

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int year, int month, int day);
DateTime FromSeconds(int64_t seconds_since_1970);
int64_t ToSeconds(const DateTime& dt);

// Reads the date texts SQL Server accepts with its default language:
// "2002-02-15 17:38:32", "20020215", "2002", "02/15/2002 5:38PM",
// "Feb 15 2002  5:38PM", "15 Feb 2002", "" (1900-01-01).
bool ParseDateTime(std::string_view text, DateTime* out);
// Days (with fraction) since 1900-01-01.
DateTime DateTimeFromNumber(double days);
double DateTimeToNumber(const DateTime& dt);

// "YYYY-MM-DD HH:MM:SS".
std::string FormatDateTime(const DateTime& dt);
// CONVERT(varchar, date, style); false for a style that is not supported.
bool FormatDateStyle(const DateTime& dt, int style, std::string* out);

// part is a canonical part name ("year", "hour", ...; see CanonicalDatePart).
bool DateAdd(const std::string& part, int64_t amount, const DateTime& dt, DateTime* out);
bool DateDiff(const std::string& part, const DateTime& a, const DateTime& b, int64_t* out);
bool DatePart(const std::string& part, const DateTime& dt, int64_t* out);
// DATENAME: month and weekday names, the number for other parts.
std::string DateName(const std::string& part, const DateTime& dt);

// The clock's local time now (GETDATE()).
DateTime Now(Clock& clock);

}  // namespace tellwen::sqlserver
