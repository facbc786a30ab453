// The command groups of kivadmin, one function each (the group's words in
// cli.args), and the rows that more than one group prints.
//
// Thread safety: as cli.h.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/kivadmin/cli.h"

namespace tellwen::kivadmin {

using Rows = std::vector<std::pair<std::string, std::string>>;

int RunShow(Cli& cli);  // show
int RunGet(Cli& cli);   // get
int RunSet(Cli& cli);   // set

int RunNetworkList(Cli& cli);  // include, exclude
int RunCategories(Cli& cli);
int RunAccess(Cli& cli);
int RunMembers(Cli& cli);

int RunQuickLinks(Cli& cli);
int RunCounter(Cli& cli);
int RunService(Cli& cli);
int RunBanner(Cli& cli);
int RunTestDatabase(Cli& cli);
int RunScanAccount(Cli& cli);

int RunSchedule(Cli& cli);
int RunRunJob(Cli& cli);  // run
int RunAutoloadMonitor(Cli& cli);

// The Scheduler page's rows: the cron service, each job's schedule and its
// last run.
Rows SchedulerRows(Cli& cli);
// "on" when KIVMonitor starts with the session (the autostart entry).
std::string AutoloadText();

}  // namespace tellwen::kivadmin
