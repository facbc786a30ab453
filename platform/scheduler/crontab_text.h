// Work items kept as crontab lines: the text rules for finding, writing and
// removing one item in a crontab without touching anything else in it.
//
// A work item is two lines of a user's crontab: a marker comment holding the
// item's name, then its job line:
//
//   # Tellwen - Network Scan
//   0 2 * * * /usr/lib/tellwen/KIVIndexer /index
//
// A disabled item keeps its job line commented out directly after the "#"
// ("#0 2 * * * ..."), so that enabling it again restores the same schedule.
// The line after a marker is the item's job line unless it is blank or is
// itself a "# " comment (a hand edit that left the marker alone); then the
// marker stands alone and the item has no job line.
//
// Every other line (comments, environment lines such as MAILTO=, foreign
// jobs, blank lines) is kept byte for byte and in its order. Lines are split
// at "\n"; a last line without "\n" is kept without it, except when an item
// is appended after it (the crontab program needs the newline).
//
// Thread safety: pure functions.
#pragma once

#include <optional>
#include <string>

namespace tellwen::scheduler {

inline constexpr const char* kScanItemName = "Tellwen - Network Scan";
inline constexpr const char* kUpdateItemName = "Tellwen - Database Update";

// "# " + item_name: the marker comment that precedes the item's job line.
std::string CronItemMarker(const std::string& item_name);

// The item's job line (without "\n") when the crontab holds the item's
// marker followed by a job line; an empty string when the marker stands
// alone; nullopt when there is no marker. The first marker counts.
std::optional<std::string> FindCronItem(const std::string& crontab, const std::string& item_name);

// The crontab with the item's job line set to job_line (one line, no "\n"):
// a present item has its lines replaced in place (further copies of the
// item are removed); an absent one is appended at the end as marker line
// and job line, each ending in "\n".
std::string SetCronItem(const std::string& crontab, const std::string& item_name,
                        const std::string& job_line);

// The crontab without the item: every marker line of the item and the job
// line after each are dropped; every other line is kept byte for byte. A
// crontab without the item comes back unchanged.
std::string RemoveCronItem(const std::string& crontab, const std::string& item_name);

}  // namespace tellwen::scheduler
