// The crontab program (Debian cron's `crontab`): reading and replacing one
// account's crontab, and removing a work item from it.
//
// A CrontabProgram names the program (a path, or a name looked up in PATH)
// and the account: an empty user means the account running the caller
// (`crontab -l`, `crontab -`); a named user adds "-u user", which only root
// may do (tests use it on a throwaway account).
//
// Thread safety: every function may be called from any thread; two callers
// rewriting the same crontab at once race (the last write wins), as two
// administrators editing it by hand would.
#pragma once

#include <string>

#include "base/status.h"

namespace tellwen::scheduler {

struct CrontabProgram {
  std::string path = "crontab";
  std::string user;  // "" = the account running the caller
};

// The account's crontab as `crontab -l` prints it; an account without a
// crontab reads as "". Fails (kNotFound when the program cannot be started,
// kIoError otherwise) with the program's own message.
Status ReadCrontab(const CrontabProgram& program, std::string* crontab);

// Replaces the account's crontab by `crontab` through `crontab -`; cron
// checks it and refuses a malformed one, leaving the old one in place.
Status WriteCrontab(const CrontabProgram& program, const std::string& crontab);

// Removes the work item item_name (marker comment and job line, see
// crontab_text.h) from the account's crontab, keeping every other line. An
// account without the item (or without a crontab) is left untouched and
// gives Ok.
Status RemoveCronItemFromCrontab(const std::string& item_name, const CrontabProgram& program);

}  // namespace tellwen::scheduler
