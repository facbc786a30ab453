#include "platform/sqlserver/datetime.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <vector>

namespace tellwen::sqlserver {
namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
const int64_t kDays1900 = DaysFromCivil(1900, 1, 1);

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool Valid(const DateTime& d) {
  return d.year >= 1753 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
         d.day <= DaysInMonth(d.year, d.month) && d.hour >= 0 && d.hour < 24 && d.minute >= 0 &&
         d.minute < 60 && d.second >= 0 && d.second < 60;
}

class Scanner {
 public:
  explicit Scanner(std::string_view s) : s_(s) {}
  void SkipBlanks() {
    while (i_ < s_.size() && isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool AtEnd() {
    SkipBlanks();
    return i_ >= s_.size();
  }
  // Reads digits; returns the count read (0 when none).
  int Number(int* value) {
    int count = 0;
    int v = 0;
    while (i_ < s_.size() && isdigit(static_cast<unsigned char>(s_[i_])) && count < 9) {
      v = v * 10 + (s_[i_] - '0');
      ++i_;
      ++count;
    }
    *value = v;
    return count;
  }
  bool Char(char c) {
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool Month(int* month) {
    for (int m = 0; m < 12; ++m) {
      if (i_ + 3 <= s_.size() && strncasecmp(s_.data() + i_, kMonths[m], 3) == 0) {
        i_ += 3;
        // The full name may follow ("February").
        std::string_view full = kMonthNames[m];
        size_t j = 3;
        while (j < full.size() && i_ < s_.size() &&
               tolower(static_cast<unsigned char>(s_[i_])) ==
                   tolower(static_cast<unsigned char>(full[j]))) {
          ++i_;
          ++j;
        }
        *month = m + 1;
        return true;
      }
    }
    return false;
  }
  // [h]h:mm[:ss[.fff]][ ]AM|PM, or hAM.
  bool Time(DateTime* d) {
    SkipBlanks();
    int h = 0;
    if (Number(&h) == 0) return false;
    int mi = 0, sec = 0;
    if (Char(':')) {
      if (Number(&mi) == 0) return false;
      if (Char(':')) {
        if (Number(&sec) == 0) return false;
        if (Char('.') || Char(':')) {
          int frac = 0;
          Number(&frac);
        }
      }
    }
    SkipBlanks();
    if (i_ + 2 <= s_.size() &&
        (strncasecmp(s_.data() + i_, "AM", 2) == 0 || strncasecmp(s_.data() + i_, "PM", 2) == 0)) {
      const bool pm = toupper(static_cast<unsigned char>(s_[i_])) == 'P';
      i_ += 2;
      if (h < 1 || h > 12) return false;
      h = h % 12 + (pm ? 12 : 0);
    }
    d->hour = h;
    d->minute = mi;
    d->second = sec;
    return true;
  }
  size_t pos() const { return i_; }
  void set_pos(size_t p) { i_ = p; }

 private:
  std::string_view s_;
  size_t i_ = 0;
};

// The length in seconds of a part that is a fixed number of seconds long (a
// day also as the day of the year or of the week); 0 for any other part.
int64_t SecondsPerPart(const std::string& part) {
  static constexpr struct {
    const char* name;
    int64_t seconds;
  } kParts[] = {{"day", 86400}, {"dayofyear", 86400}, {"weekday", 86400},
                {"hour", 3600}, {"minute", 60},       {"second", 1}};
  for (const auto& p : kParts) {
    if (part == p.name) return p.seconds;
  }
  return 0;
}

// a / b rounded toward minus infinity (b > 0).
int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

DateTime FromSeconds(int64_t secs) {
  int64_t days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
  int64_t rem = secs - days * 86400;
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  DateTime dt;
  dt.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  dt.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  dt.year = static_cast<int>(yoe + era * 400 + (dt.month <= 2));
  dt.hour = static_cast<int>(rem / 3600);
  dt.minute = static_cast<int>(rem % 3600 / 60);
  dt.second = static_cast<int>(rem % 60);
  return dt;
}

int64_t ToSeconds(const DateTime& dt) {
  return DaysFromCivil(dt.year, dt.month, dt.day) * 86400 + dt.hour * 3600 + dt.minute * 60 +
         dt.second;
}

bool ParseDateTime(std::string_view text, DateTime* out) {
  Scanner sc(text);
  DateTime d;
  if (sc.AtEnd()) {
    *out = d;
    return true;
  }
  sc.SkipBlanks();
  const size_t start = sc.pos();
  int a = 0;
  int digits = sc.Number(&a);
  if (digits == 0) {
    // Mon dd yyyy [time]
    int month = 0;
    if (!sc.Month(&month)) return false;
    sc.SkipBlanks();
    int day = 0, year = 0;
    if (sc.Number(&day) == 0) return false;
    sc.Char(',');
    sc.SkipBlanks();
    if (sc.Number(&year) != 4) return false;
    d.year = year;
    d.month = month;
    d.day = day;
  } else if (digits == 8 && (sc.AtEnd() || text[sc.pos()] == ' ' || text[sc.pos()] == 'T')) {
    d.year = a / 10000;
    d.month = a / 100 % 100;
    d.day = a % 100;
  } else if (digits == 4 && sc.AtEnd()) {
    d.year = a;
  } else if (digits == 4 && (sc.Char('-') || sc.Char('/') || sc.Char('.'))) {
    int m = 0, day = 0;
    if (sc.Number(&m) == 0) return false;
    if (!(sc.Char('-') || sc.Char('/') || sc.Char('.'))) return false;
    if (sc.Number(&day) == 0) return false;
    d.year = a;
    d.month = m;
    d.day = day;
  } else if (digits <= 2 && (sc.Char('/') || sc.Char('-') || sc.Char('.'))) {
    // mm/dd/yyyy (month first, the us_english order)
    int day = 0, year = 0;
    if (sc.Number(&day) == 0) return false;
    if (!(sc.Char('/') || sc.Char('-') || sc.Char('.'))) return false;
    int ydigits = sc.Number(&year);
    if (ydigits == 2)
      year += year < 50 ? 2000 : 1900;
    else if (ydigits != 4)
      return false;
    d.year = year;
    d.month = a;
    d.day = day;
  } else if (digits <= 2) {
    // dd Mon yyyy, or a time alone
    sc.SkipBlanks();
    int month = 0;
    if (sc.Month(&month)) {
      sc.SkipBlanks();
      int year = 0;
      if (sc.Number(&year) != 4) return false;
      d.year = year;
      d.month = month;
      d.day = a;
    } else {
      sc.set_pos(start);
      if (!sc.Time(&d)) return false;
      if (!sc.AtEnd()) return false;
      *out = d;
      return Valid(d);
    }
  } else {
    return false;
  }
  // Optional time part.
  if (sc.Char('T') || !sc.AtEnd()) {
    if (!sc.Time(&d)) return false;
    if (!sc.AtEnd()) return false;
  }
  if (!Valid(d)) return false;
  *out = d;
  return true;
}

DateTime DateTimeFromNumber(double days) {
  const double whole = days < 0 ? -static_cast<double>(static_cast<int64_t>(-days + 0.999999999))
                                : static_cast<double>(static_cast<int64_t>(days));
  int64_t secs = (kDays1900 + static_cast<int64_t>(whole)) * 86400 +
                 static_cast<int64_t>((days - whole) * 86400.0 + 0.5);
  return FromSeconds(secs);
}

double DateTimeToNumber(const DateTime& dt) {
  return static_cast<double>(DaysFromCivil(dt.year, dt.month, dt.day) - kDays1900) +
         (dt.hour * 3600 + dt.minute * 60 + dt.second) / 86400.0;
}

std::string FormatDateTime(const DateTime& dt) {
  char buf[32];
  snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", dt.year, dt.month, dt.day, dt.hour,
           dt.minute, dt.second);
  return buf;
}

bool FormatDateStyle(const DateTime& dt, int style, std::string* out) {
  char buf[64];
  const bool century = style >= 100 || style == 0 || style == 9 || style == 13 || style == 20 ||
                       style == 21 || style == 23 || style == 25;
  const int base = style >= 100 ? style - 100 : style;
  const int y = century ? dt.year : dt.year % 100;
  const char* yf = century ? "%04d" : "%02d";
  auto year = [&] {
    char b[8];
    snprintf(b, sizeof b, yf, y);
    return std::string(b);
  };
  const int h12 = dt.hour % 12 == 0 ? 12 : dt.hour % 12;
  const char* ampm = dt.hour < 12 ? "AM" : "PM";
  // The numeric date styles: their fields in order (day, month, year) and
  // what separates them.
  static constexpr struct {
    int base;
    const char* fields;
    const char* separator;
  } kNumericDates[] = {{1, "mdy", "/"}, {2, "ymd", "."},  {3, "dmy", "/"},  {4, "dmy", "."},
                       {5, "dmy", "-"}, {10, "mdy", "-"}, {11, "ymd", "/"}, {12, "ymd", ""}};
  for (const auto& numeric : kNumericDates) {
    if (numeric.base != base) continue;
    std::string text;
    for (const char* field = numeric.fields; *field != '\0'; ++field) {
      if (field != numeric.fields) text += numeric.separator;
      if (*field == 'y') {
        text += year();
      } else {
        snprintf(buf, sizeof buf, "%02d", *field == 'm' ? dt.month : dt.day);
        text += buf;
      }
    }
    *out = text;
    return true;
  }
  switch (base) {
    case 0:
      if (style == 100 || style == 0) {
        snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", kMonths[dt.month - 1], dt.day, dt.year,
                 h12, dt.minute, ampm);
        break;
      }
      return false;
    case 6:
      snprintf(buf, sizeof buf, "%02d %s %s", dt.day, kMonths[dt.month - 1], year().c_str());
      break;
    case 7:
      snprintf(buf, sizeof buf, "%s %02d, %s", kMonths[dt.month - 1], dt.day, year().c_str());
      break;
    case 8:
      snprintf(buf, sizeof buf, "%02d:%02d:%02d", dt.hour, dt.minute, dt.second);
      break;
    case 9:
      snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d:%02d:000%s", kMonths[dt.month - 1], dt.day,
               dt.year, h12, dt.minute, dt.second, ampm);
      break;
    case 20:
      if (style != 20 && style != 120) return false;
      snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", dt.year, dt.month, dt.day, dt.hour,
               dt.minute, dt.second);
      break;
    case 21:
      if (style != 21 && style != 121) return false;
      snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.000", dt.year, dt.month, dt.day,
               dt.hour, dt.minute, dt.second);
      break;
    case 23:
      if (style != 23) return false;
      snprintf(buf, sizeof buf, "%04d-%02d-%02d", dt.year, dt.month, dt.day);
      break;
    case 26:
      if (style != 126) return false;
      snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", dt.year, dt.month, dt.day, dt.hour,
               dt.minute, dt.second);
      break;
    default:
      return false;
  }
  *out = buf;
  return true;
}

bool DateAdd(const std::string& part, int64_t n, const DateTime& dt, DateTime* out) {
  if (part == "year" || part == "quarter" || part == "month") {
    const int64_t months = part == "year" ? n * 12 : part == "quarter" ? n * 3 : n;
    int64_t total = static_cast<int64_t>(dt.year) * 12 + (dt.month - 1) + months;
    if (total < 1753 * 12 || total > 9999 * 12 + 11) return false;
    DateTime r = dt;
    r.year = static_cast<int>(total / 12);
    r.month = static_cast<int>(total % 12) + 1;
    r.day = std::min(dt.day, DaysInMonth(r.year, r.month));
    *out = r;
    return true;
  }
  int64_t seconds;
  if (const int64_t unit = SecondsPerPart(part))
    seconds = n * unit;
  else if (part == "week")
    seconds = n * 7 * 86400;
  else if (part == "millisecond")
    seconds = n / 1000;
  else
    return false;
  DateTime r = FromSeconds(ToSeconds(dt) + seconds);
  if (!Valid(r)) return false;
  *out = r;
  return true;
}

bool DateDiff(const std::string& part, const DateTime& a, const DateTime& b, int64_t* out) {
  // The boundaries of the part crossed between a and b.
  if (part == "year") {
    *out = b.year - a.year;
  } else if (part == "quarter") {
    *out = (b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3);
  } else if (part == "month") {
    *out = (b.year * 12 + b.month) - (a.year * 12 + a.month);
  } else if (const int64_t unit = SecondsPerPart(part)) {
    *out = FloorDiv(ToSeconds(b), unit) - FloorDiv(ToSeconds(a), unit);
  } else if (part == "week") {
    // Weeks begin on Sunday; 1970-01-04 (day 3) was a Sunday.
    *out = FloorDiv(DaysFromCivil(b.year, b.month, b.day) - 3, 7) -
           FloorDiv(DaysFromCivil(a.year, a.month, a.day) - 3, 7);
  } else if (part == "millisecond") {
    *out = (ToSeconds(b) - ToSeconds(a)) * 1000;
  } else {
    return false;
  }
  return true;
}

bool DatePart(const std::string& part, const DateTime& dt, int64_t* out) {
  const int64_t days = DaysFromCivil(dt.year, dt.month, dt.day);
  if (part == "year")
    *out = dt.year;
  else if (part == "quarter")
    *out = (dt.month - 1) / 3 + 1;
  else if (part == "month")
    *out = dt.month;
  else if (part == "day")
    *out = dt.day;
  else if (part == "dayofyear")
    *out = days - DaysFromCivil(dt.year, 1, 1) + 1;
  else if (part == "weekday")
    *out = ((days + 4) % 7 + 7) % 7 + 1;  // Sunday = 1
  else if (part == "week") {
    const int64_t jan1 = DaysFromCivil(dt.year, 1, 1);
    const int64_t jan1_weekday = ((jan1 + 4) % 7 + 7) % 7;  // 0 = Sunday
    *out = (days - jan1 + jan1_weekday) / 7 + 1;
  } else if (part == "hour")
    *out = dt.hour;
  else if (part == "minute")
    *out = dt.minute;
  else if (part == "second")
    *out = dt.second;
  else if (part == "millisecond")
    *out = 0;
  else
    return false;
  return true;
}

std::string DateName(const std::string& part, const DateTime& dt) {
  if (part == "month") return kMonthNames[dt.month - 1];
  int64_t v = 0;
  DatePart(part, dt, &v);
  if (part == "weekday") return kDayNames[v - 1];
  return std::to_string(v);
}

DateTime Now(Clock& clock) {
  const std::tm tm_local = clock.LocalNow();
  DateTime dt;
  dt.year = tm_local.tm_year + 1900;
  dt.month = tm_local.tm_mon + 1;
  dt.day = tm_local.tm_mday;
  dt.hour = tm_local.tm_hour;
  dt.minute = tm_local.tm_min;
  dt.second = tm_local.tm_sec;
  return dt;
}

}  // namespace tellwen::sqlserver
