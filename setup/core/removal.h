// "/uninstall": removes, silently and step by step, what installation and
// the programs created on this machine. Every step goes on after a failure
// of an earlier one and shows nothing; on a machine where nothing was
// installed it removes nothing. The database itself stays (only its
// objects are dropped).
//
// The settings are read as stored (StoredSettings for the machine): a value
// that was never stored is "" and its step removes nothing; without a stored
// SqlDatabase no database is contacted.
//
// Each step is a function of its own so that tests run them one by one
// against a scratch root; Uninstall runs the ten in order.
//
// Thread safety: one removal at a time per machine; the functions keep no
// state of their own.
#pragma once

#include <string>
#include <vector>

#include "common/settings.h"
#include "common/sql_session.h"
#include "setup/core/setup_paths.h"

namespace tellwen::setup {

void Uninstall(Settings& settings, SqlSession& sql, const SetupPaths& paths);

// 1. KIVQuery.so and the two ping images of the scripts folder.
void RemoveScriptsFiles(Settings& settings);
// 2. The web files of the web root's "kiv/" folder, then the folder (only
// when nothing else is left in it).
void RemoveSiteFiles(Settings& settings);
// 3. The monitor's autostart entry.
void RemoveAutostartEntry(const SetupPaths& paths);
// 4. The detailed report; the per-day short reports by pattern.
void RemoveReportFiles(Settings& settings);
// 5. The SQL log and the temporary index file.
void RemoveLogFiles(Settings& settings);
// 6. The cached chart images "kiv_chart_*.png" of the scripts folder and
// the cache's lock file.
void RemoveChartCache(Settings& settings);
// 7. KIVQuery.so once more, when it is still there (a running kivweb keeps
// its copy open; the name goes all the same).
void RemoveExtensionAgain(Settings& settings);
// 8. The web account.
void RemoveAccount(const SetupPaths& paths);
// 9. The administrator's two cron work items from this account's crontab.
void RemoveCronWorkItems(const SetupPaths& paths);
// 10. The catalog's tables and procedures (drop batch, errors ignored).
void DropDatabaseObjects(SqlSession& sql);

// The files of folder whose names the short report setting covers: for a
// name ending in a dot and three characters ("short_report.txt"), every
// "short_report*.txt"; otherwise none. Full paths, sorted.
std::vector<std::string> ShortReportFiles(const std::string& short_report);

}  // namespace tellwen::setup
