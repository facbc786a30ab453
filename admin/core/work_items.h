// The Scheduler page's work items: one per indexer job, kept in the crontab
// of the account running KIVAdmin as a marker comment and a job line
// (crontab_text.h), found again by the item's name.
//
// A job line is the schedule's expression (cron_schedule.h) and the command:
//
//   0 2 * * * /usr/lib/tellwen/KIVIndexer /index
//   #0 2 * * * /usr/lib/tellwen/KIVIndexer /index          (disabled)
//   30 4 9 12 * [ "$(date +\%Y)" = 2026 ] && /usr/lib/... /index   (once)
//
// The application is quoted for the shell when it holds anything but
// letters, digits and "/._+-"; "%" (cron's newline) is written "\%".
//
// Thread safety: pure functions, plus Open/Save through a scheduler::CrontabProgram.
#pragma once

#include <optional>
#include <string>

#include "admin/core/cron_schedule.h"
#include "base/status.h"
#include "platform/scheduler/crontab_program.h"

namespace tellwen::admin {

struct WorkItemJob {
  const char* name;        // the work item's name, its marker
  const char* caption;     // the property sheet's caption
  const char* parameters;  // the indexer's switch
  const char* last_run_setting;
  const char* run_question;
};

extern const WorkItemJob kScanJob;
extern const WorkItemJob kUpdateJob;

// The indexer the items run: KIVInstallPathExes + "KIVIndexer".
inline constexpr const char* kIndexerProgram = "KIVIndexer";

struct WorkItem {
  std::string application;
  std::string parameters;
  std::string account;  // whose crontab holds it
  bool enabled = true;
  Schedule schedule;
  bool is_new = true;  // not yet in the crontab

  bool operator==(const WorkItem&) const = default;
};

// The job line of item, or nullopt with *error set to the failing step's
// text ("Error: SetApplicationName Failed." for an application that cannot
// be written on one line, "Error: SetParameters Failed." likewise, or the
// schedule's own refusal).
std::optional<std::string> JobLine(const WorkItem& item, std::string* error);

// The item a job line describes (account and is_new left as they are);
// nullopt for a line whose schedule cron would refuse.
std::optional<WorkItem> ParseJobLine(const std::string& line);

// The name of the account running this process ("" when it has none).
std::string CurrentAccount();

// Opens the job's item from the crontab: the stored one, with application
// and parameters set to the ones given (as a second press of the setup
// button updates them), or a new one (enabled, daily at 02:00 for the scan,
// 04:00 for the update). Fails with "Error: NewWorkItem Failed." and the
// crontab program's message when the crontab cannot be read, or
// "Error: SetAccountInformation Failed." when the account has no name.
Status OpenWorkItem(const scheduler::CrontabProgram& program, const WorkItemJob& job,
                    const std::string& application, WorkItem* item);

// Writes the item into the crontab (in place when present, else at the
// end), keeping every other line. Fails with the job line's step text, or
// "Error: NewWorkItem Failed." and the crontab program's message.
Status SaveWorkItem(const scheduler::CrontabProgram& program, const WorkItemJob& job,
                    const WorkItem& item);

}  // namespace tellwen::admin
