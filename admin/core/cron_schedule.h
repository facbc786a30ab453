// A work item's schedule and the cron expression that carries it, both
// ways. The Schedule page edits a Schedule; the crontab holds its
// expression (the five time fields of a job line).
//
//   once        "M H D Mon *" on that date (the job line adds a year check,
//               see cron_job.h, since cron has no year field)
//   daily       "M H * * *"
//   weekly      "M H * * d1,d2,..." (0 = Sunday .. 6 = Saturday)
//   monthly     "M H D * *"
//   minutes     "*/N * * * *" (N from 1 to 59)
//   hours       "M */N * * *" (N from 1 to 23)
//   expression  any other valid five-field expression, kept as typed
//
// Thread safety: pure functions.
#pragma once

#include <optional>
#include <string>

namespace tellwen::admin {

enum class ScheduleKind {
  kOnce,
  kDaily,
  kWeekly,
  kMonthly,
  kEveryMinutes,
  kEveryHours,
  kExpression
};

struct Schedule {
  ScheduleKind kind = ScheduleKind::kDaily;
  int hour = 2;
  int minute = 0;
  int day = 1;             // once, monthly: day of the month, 1..31
  int month = 1;           // once: 1..12
  int year = 0;            // once
  unsigned weekdays = 0;   // weekly: bit d set for day d, 0 = Sunday
  int every = 1;           // minutes, hours
  std::string expression;  // expression: the five fields as typed

  bool operator==(const Schedule&) const = default;
};

// The expression for schedule, or nullopt with *error set when the
// schedule is out of range (a weekly schedule without a day, an hour of 24,
// a typed expression that CheckCronExpression refuses, ...).
std::optional<std::string> CronExpression(const Schedule& schedule, std::string* error);

// The schedule an expression shows as: the first kind above that writes
// exactly this expression, else kExpression holding it; nullopt with *error
// set when cron would refuse it. A once schedule needs its year from the
// job line; here it reads as monthly-in-a-month, i.e. kExpression.
std::optional<Schedule> ScheduleFromExpression(const std::string& expression, std::string* error);

// Checks a typed five-field expression (numbers, "*", ranges "a-b", steps
// "/n", lists "a,b", month and day names, and the "@daily"-style words cron
// knows). Ok is an empty string; otherwise the reason.
std::string CheckCronExpression(const std::string& expression);

}  // namespace tellwen::admin
