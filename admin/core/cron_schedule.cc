#include "admin/core/cron_schedule.h"

#include <array>
#include <cctype>
#include <sstream>
#include <vector>

#include "base/int_text.h"

namespace tellwen::admin {
namespace {

struct Field {
  const char* name;
  int low;
  int high;
  const char* const* names;  // three-letter names from `low`, or nullptr
};

constexpr const char* kMonthNames[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                       "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr const char* kDayNames[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

constexpr std::array<Field, 5> kFields{{{"minute", 0, 59, nullptr},
                                        {"hour", 0, 23, nullptr},
                                        {"day of month", 1, 31, nullptr},
                                        {"month", 1, 12, kMonthNames},
                                        {"day of week", 0, 7, kDayNames}}};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// A number or (where the field has names) a name; -1 when it is neither.
int Value(const std::string& text, const Field& field) {
  std::uint64_t number = 0;
  if (ParseDigits(text, 4, &number)) return static_cast<int>(number);
  if (field.names == nullptr || text.size() != 3) return -1;
  std::string lower;
  for (char c : text)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  for (int i = 0; i <= field.high - field.low && i < (field.names == kDayNames ? 7 : 12); ++i) {
    if (lower == field.names[i]) return field.low + i;
  }
  return -1;
}

std::string CheckField(const std::string& text, const Field& field) {
  std::string bad = "the ";
  bad += field.name;
  bad += " field \"";
  bad += text;
  bad += "\" is not valid (";
  bad += std::to_string(field.low);
  bad += "-";
  bad += std::to_string(field.high);
  bad += ")";
  for (const std::string& item : Split(text, ',')) {
    std::vector<std::string> step = Split(item, '/');
    if (step.size() > 2) return bad;
    if (step.size() == 2) {
      int n = Value(step[1], Field{field.name, 1, 9999, nullptr});
      if (n < 1) return bad;
    }
    const std::string& range = step[0];
    if (range == "*") continue;
    std::vector<std::string> ends = Split(range, '-');
    if (ends.size() > 2) return bad;
    int from = Value(ends[0], field);
    int to = ends.size() == 2 ? Value(ends[1], field) : from;
    if (from < field.low || from > field.high || to < field.low || to > field.high || to < from) {
      return bad;
    }
  }
  return "";
}

bool Digits(const std::string& text, int low, int high, int* value) {
  std::uint64_t number = 0;
  if (!ParseDigits(text, 2, &number)) return false;
  *value = static_cast<int>(number);
  // "05" is what no schedule writes: it stays an expression.
  return *value >= low && *value <= high && std::to_string(*value) == text;
}

}  // namespace

std::string CheckCronExpression(const std::string& expression) {
  std::vector<std::string> words = Words(expression);
  if (words.size() == 1 && words[0].front() == '@') {
    for (const char* known : {"@reboot", "@yearly", "@annually", "@monthly", "@weekly", "@daily",
                              "@midnight", "@hourly"}) {
      if (words[0] == known) return "";
    }
    return "\"" + words[0] + "\" is not a schedule cron knows";
  }
  if (words.size() != 5) {
    return "a cron expression has five fields (minute hour day-of-month month day-of-week)";
  }
  for (size_t i = 0; i < 5; ++i) {
    std::string reason = CheckField(words[i], kFields[i]);
    if (!reason.empty()) return reason;
  }
  return "";
}

std::optional<std::string> CronExpression(const Schedule& s, std::string* error) {
  auto refuse = [error](const char* reason) -> std::optional<std::string> {
    *error = reason;
    return std::nullopt;
  };
  if (s.kind == ScheduleKind::kExpression) {
    std::string reason = CheckCronExpression(s.expression);
    if (!reason.empty()) {
      *error = reason;
      return std::nullopt;
    }
    std::vector<std::string> words = Words(s.expression);
    std::string joined;
    for (const std::string& word : words) {
      if (!joined.empty()) joined += ' ';
      joined += word;
    }
    return joined;
  }
  if (s.kind == ScheduleKind::kEveryMinutes) {
    if (s.every < 1 || s.every > 59) return refuse("every N minutes needs N from 1 to 59");
    return "*/" + std::to_string(s.every) + " * * * *";
  }
  if (s.minute < 0 || s.minute > 59 || s.hour < 0 || s.hour > 23) {
    return refuse("the time must be from 00:00 to 23:59");
  }
  const std::string at = std::to_string(s.minute) + " " + std::to_string(s.hour);
  switch (s.kind) {
    case ScheduleKind::kDaily:
      return at + " * * *";
    case ScheduleKind::kWeekly: {
      std::string days;
      for (int d = 0; d < 7; ++d) {
        if ((s.weekdays & (1u << d)) == 0) continue;
        if (!days.empty()) days += ',';
        days += std::to_string(d);
      }
      if (days.empty()) return refuse("a weekly schedule needs at least one day");
      return at + " * * " + days;
    }
    case ScheduleKind::kMonthly:
      if (s.day < 1 || s.day > 31) return refuse("the day of the month must be from 1 to 31");
      return at + " " + std::to_string(s.day) + " * *";
    case ScheduleKind::kOnce:
      if (s.day < 1 || s.day > 31 || s.month < 1 || s.month > 12) {
        return refuse("the date is not valid");
      }
      return at + " " + std::to_string(s.day) + " " + std::to_string(s.month) + " *";
    case ScheduleKind::kEveryHours:
      if (s.every < 1 || s.every > 23) return refuse("every N hours needs N from 1 to 23");
      return std::to_string(s.minute) + " */" + std::to_string(s.every) + " * * *";
    default:
      return refuse("unknown schedule");
  }
}

std::optional<Schedule> ScheduleFromExpression(const std::string& expression, std::string* error) {
  std::string reason = CheckCronExpression(expression);
  if (!reason.empty()) {
    *error = reason;
    return std::nullopt;
  }
  Schedule s;
  std::vector<std::string> w = Words(expression);
  s.kind = ScheduleKind::kExpression;
  for (const std::string& word : w) {
    if (!s.expression.empty()) s.expression += ' ';
    s.expression += word;
  }
  if (w.size() != 5) return s;
  Schedule fit;
  if (w[0].rfind("*/", 0) == 0 && w[1] == "*" && w[2] == "*" && w[3] == "*" && w[4] == "*" &&
      Digits(w[0].substr(2), 1, 59, &fit.every)) {
    fit.kind = ScheduleKind::kEveryMinutes;
    return fit;
  }
  if (!Digits(w[0], 0, 59, &fit.minute)) return s;
  if (w[1].rfind("*/", 0) == 0 && w[2] == "*" && w[3] == "*" && w[4] == "*" &&
      Digits(w[1].substr(2), 1, 23, &fit.every)) {
    fit.kind = ScheduleKind::kEveryHours;
    return fit;
  }
  if (!Digits(w[1], 0, 23, &fit.hour)) return s;
  if (w[2] == "*" && w[3] == "*" && w[4] == "*") {
    fit.kind = ScheduleKind::kDaily;
    return fit;
  }
  if (Digits(w[2], 1, 31, &fit.day) && w[3] == "*" && w[4] == "*") {
    fit.kind = ScheduleKind::kMonthly;
    return fit;
  }
  if (w[2] == "*" && w[3] == "*") {
    int last = -1;
    for (const std::string& day : Split(w[4], ',')) {
      int d = 0;
      if (!Digits(day, 0, 6, &d) || d <= last) return s;
      fit.weekdays |= 1u << d;
      last = d;
    }
    fit.kind = ScheduleKind::kWeekly;
    return fit;
  }
  return s;
}

}  // namespace tellwen::admin
