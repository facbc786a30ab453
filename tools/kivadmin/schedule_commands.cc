// schedule, run and autoload-monitor: the Scheduler page's work items in
// the crontab of the account running kivadmin, its "Run" buttons, and the
// Misc page's "Autoload KIVMonitor".
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <ostream>

#include "admin/core/cron_schedule.h"
#include "admin/core/service_status.h"
#include "admin/core/work_items.h"
#include "base/int_text.h"
#include "base/user_messages.h"
#include "platform/desktop/program_launcher.h"
#include "platform/scheduler/autostart.h"
#include "platform/scheduler/crontab_program.h"
#include "tools/kivadmin/commands.h"

namespace tellwen::kivadmin {

namespace {

constexpr const char* kDays[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

const admin::WorkItemJob* JobNamed(const std::string& word) {
  if (word == "scan") return &admin::kScanJob;
  if (word == "update") return &admin::kUpdateJob;
  return nullptr;
}

// The autostart folder: $TELLWEN_AUTOSTART_FOLDER (tests), else the
// system's.
std::string AutostartFolder() {
  const char* folder = std::getenv("TELLWEN_AUTOSTART_FOLDER");
  return folder != nullptr && *folder != '\0' ? folder : scheduler::kAutostartFolder;
}

bool ParseNumber(const std::string& text, int low, int high, int* value) {
  if (text.empty() || text.size() > 4 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  *value = LeadingInt(text);
  return *value >= low && *value <= high;
}

bool ParseTime(const std::string& text, admin::Schedule* schedule) {
  const size_t colon = text.find(':');
  return colon != std::string::npos && ParseNumber(text.substr(0, colon), 0, 23, &schedule->hour) &&
         ParseNumber(text.substr(colon + 1), 0, 59, &schedule->minute);
}

// SCHEDULE words as the schedule dialog offers them; nullopt when they are
// none of the forms.
std::optional<admin::Schedule> ParseSchedule(const std::vector<std::string>& w) {
  admin::Schedule s;
  const std::string kind = w.empty() ? "" : w[0];
  if (kind == "once" && w.size() == 3) {
    s.kind = admin::ScheduleKind::kOnce;
    const std::string& date = w[1];
    if (date.size() != 10 || date[4] != '-' || date[7] != '-' ||
        !ParseNumber(date.substr(0, 4), 1970, 9999, &s.year) ||
        !ParseNumber(date.substr(5, 2), 1, 12, &s.month) ||
        !ParseNumber(date.substr(8, 2), 1, 31, &s.day) || !ParseTime(w[2], &s)) {
      return std::nullopt;
    }
    return s;
  }
  if (kind == "daily" && w.size() == 2) {
    s.kind = admin::ScheduleKind::kDaily;
    return ParseTime(w[1], &s) ? std::optional(s) : std::nullopt;
  }
  if (kind == "weekly" && w.size() == 3) {
    s.kind = admin::ScheduleKind::kWeekly;
    std::string days = w[1] + ",";
    for (size_t start = 0, comma; (comma = days.find(',', start)) != std::string::npos;
         start = comma + 1) {
      std::string day = days.substr(start, comma - start);
      for (char& c : day) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      bool known = false;
      for (unsigned d = 0; d < 7; ++d) {
        if (day.size() >= 3 && day.compare(0, 3, kDays[d]) == 0) {
          s.weekdays |= 1u << d;
          known = true;
        }
      }
      if (!known) return std::nullopt;
    }
    return ParseTime(w[2], &s) ? std::optional(s) : std::nullopt;
  }
  if (kind == "monthly" && w.size() == 3) {
    s.kind = admin::ScheduleKind::kMonthly;
    return ParseNumber(w[1], 1, 31, &s.day) && ParseTime(w[2], &s) ? std::optional(s)
                                                                   : std::nullopt;
  }
  if (kind == "every" && w.size() == 3 && (w[2] == "minutes" || w[2] == "hours")) {
    s.kind =
        w[2] == "minutes" ? admin::ScheduleKind::kEveryMinutes : admin::ScheduleKind::kEveryHours;
    return ParseNumber(w[1], 1, w[2] == "minutes" ? 59 : 23, &s.every) ? std::optional(s)
                                                                       : std::nullopt;
  }
  return std::nullopt;
}

std::string Two(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

// A schedule in the words ParseSchedule reads.
std::string ScheduleWords(const admin::Schedule& s) {
  const std::string time = Two(s.hour) + ":" + Two(s.minute);
  switch (s.kind) {
    case admin::ScheduleKind::kOnce:
      return "once " + std::to_string(s.year) + "-" + Two(s.month) + "-" + Two(s.day) + " " + time;
    case admin::ScheduleKind::kDaily:
      return "daily " + time;
    case admin::ScheduleKind::kWeekly: {
      std::string days;
      for (unsigned d = 0; d < 7; ++d) {
        if ((s.weekdays & (1u << d)) != 0)
          days += (days.empty() ? "" : ",") + std::string(kDays[d]);
      }
      return "weekly " + days + " " + time;
    }
    case admin::ScheduleKind::kMonthly:
      return "monthly " + std::to_string(s.day) + " " + time;
    case admin::ScheduleKind::kEveryMinutes:
      return "every " + std::to_string(s.every) + " minutes";
    case admin::ScheduleKind::kEveryHours:
      return "every " + std::to_string(s.every) + " hours";
    case admin::ScheduleKind::kExpression:
      return "cron " + s.expression;
  }
  return "";
}

std::string Application(Cli& cli) {
  return cli.settings.GetValue("KIVInstallPathExes") + admin::kIndexerProgram;
}

}  // namespace

std::string AutoloadText() { return scheduler::AutostartPresent(AutostartFolder()) ? "on" : "off"; }

Rows SchedulerRows(Cli& cli) {
  Rows rows{{"Service", admin::QueryCronStatus().text}};
  const scheduler::CrontabProgram program;
  for (const admin::WorkItemJob* job : {&admin::kScanJob, &admin::kUpdateJob}) {
    const std::string which = job == &admin::kScanJob ? "scan" : "update";
    admin::WorkItem item;
    const Status opened = admin::OpenWorkItem(program, *job, Application(cli), &item);
    std::string text = !opened.ok()  ? opened.message()
                       : item.is_new ? "not scheduled"
                                     : ScheduleWords(item.schedule);
    if (opened.ok() && !item.is_new && !item.enabled) text += " (disabled)";
    rows.emplace_back(which, text);
    rows.emplace_back(job->last_run_setting, cli.settings.GetValue(job->last_run_setting));
  }
  return rows;
}

int RunSchedule(Cli& cli) {
  const std::vector<std::string>& a = cli.args;
  if (a.size() == 1 && a[0] == "show") {
    cli.PrintRows(SchedulerRows(cli));
    return kDone;
  }
  const scheduler::CrontabProgram program;
  if (a.size() == 2 && a[0] == "remove" && JobNamed(a[1]) != nullptr) {
    const Status removed = scheduler::RemoveCronItemFromCrontab(JobNamed(a[1])->name, program);
    return removed.ok() ? kDone : cli.Refuse(removed.message());
  }
  const admin::WorkItemJob* job = a.empty() ? nullptr : JobNamed(a[0]);
  if (job == nullptr) return cli.Usage("schedule: show, scan SCHEDULE, update SCHEDULE or remove");
  const std::optional<admin::Schedule> schedule =
      ParseSchedule(std::vector<std::string>(a.begin() + 1, a.end()));
  if (!schedule) return cli.Usage("not a schedule the schedule dialog offers");
  admin::WorkItem item;
  if (Status opened = admin::OpenWorkItem(program, *job, Application(cli), &item); !opened.ok()) {
    return cli.Refuse(opened.message());
  }
  item.schedule = *schedule;
  if (Status saved = admin::SaveWorkItem(program, *job, item); !saved.ok()) {
    return cli.Refuse(saved.message());
  }
  cli.out << a[0] << ": " << ScheduleWords(item.schedule) << "\n";
  return kDone;
}

int RunRunJob(Cli& cli) {
  const admin::WorkItemJob* job = cli.args.size() == 1 ? JobNamed(cli.args[0]) : nullptr;
  if (job == nullptr) return cli.Usage("run scan or run update");
  if (!AskYesNo(job->run_question)) return kRefused;
  const Status started = desktop::StartInstalledProgram(cli.settings.GetValue("KIVInstallPathExes"),
                                                        admin::kIndexerProgram, {job->parameters});
  return started.ok() ? kDone : cli.Refuse(started.message());
}

int RunAutoloadMonitor(Cli& cli) {
  const std::vector<std::string>& a = cli.args;
  const std::string folder = AutostartFolder();
  if (a.size() == 1 && a[0] == "status") {
    cli.out << AutoloadText() << "\n";
    return kDone;
  }
  if (a.size() == 1 && (a[0] == "on" || a[0] == "off")) {
    const std::string error = scheduler::SetAutoloadMonitor(
        folder, cli.settings.GetValue("KIVInstallPathExes"), a[0] == "on");
    return error.empty() ? kDone : cli.Refuse(error);
  }
  return cli.Usage("autoload-monitor: status, on or off");
}

}  // namespace tellwen::kivadmin
