#include "setup/core/removal.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/chart_cache_files.h"
#include "platform/desktop/program_run.h"
#include "platform/scheduler/autostart.h"
#include "platform/scheduler/crontab_program.h"
#include "platform/scheduler/crontab_text.h"
#include "setup/core/drop_batch.h"
#include "setup/core/web_files.h"

namespace tellwen::setup {
namespace fs = std::filesystem;
namespace {

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  if (!path.empty()) fs::remove(path, ignored);
}

// Names of folder starting with prefix and ending with suffix (full paths).
std::vector<std::string> Matching(const std::string& folder, const std::string& prefix,
                                  const std::string& suffix) {
  std::vector<std::string> found;
  std::error_code error;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() >= prefix.size() + suffix.size() &&
        name.compare(0, prefix.size(), prefix) == 0 &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      found.push_back(it->path().string());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

std::vector<std::string> ShortReportFiles(const std::string& short_report) {
  const fs::path path(short_report);
  const std::string name = path.filename().string();
  if (name.size() < 4 || name[name.size() - 4] != '.') return {};
  return Matching(path.parent_path().string(), name.substr(0, name.size() - 4),
                  name.substr(name.size() - 4));
}

void RemoveScriptsFiles(Settings& settings) {
  const std::string scripts = settings.GetValue("IISScriptsFolder");
  if (scripts.empty()) return;
  for (const char* name : kScriptsFiles) RemoveQuietly(scripts + name);
}

void RemoveSiteFiles(Settings& settings) {
  const std::string root = settings.GetValue("IISRootFolder");
  if (root.empty()) return;
  const std::string folder = root + kSiteFolder;
  for (const char* name : kSiteFiles) RemoveQuietly(folder + name);
  RemoveQuietly(folder);  // only when empty: anything else put there stays
}

void RemoveAutostartEntry(const SetupPaths& paths) {
  scheduler::RemoveAutostart(paths.autostart_folder);
}

void RemoveReportFiles(Settings& settings) {
  RemoveQuietly(settings.GetValue("ReportFile"));
  for (const std::string& file : ShortReportFiles(settings.GetValue("ReportFileShort"))) {
    RemoveQuietly(file);
  }
}

void RemoveLogFiles(Settings& settings) {
  const std::string log_folder = settings.GetValue("SqlLogFolder");
  const std::string temporary = settings.GetValue("TemporaryFolder");
  if (!log_folder.empty()) RemoveQuietly(log_folder + "sql_log.txt");
  if (!temporary.empty()) RemoveQuietly(temporary + "kivtmp.txt");
}

void RemoveChartCache(Settings& settings) {
  const std::string scripts = settings.GetValue("IISScriptsFolder");
  if (scripts.empty()) return;
  for (const std::string& file : Matching(scripts, kChartFilePrefix, kChartFileSuffix))
    RemoveQuietly(file);
  // The lock file through which the site's request threads share the cache.
  RemoveQuietly(scripts + kChartLockName);
}

void RemoveExtensionAgain(Settings& settings) {
  const std::string scripts = settings.GetValue("IISScriptsFolder");
  if (!scripts.empty()) RemoveQuietly(scripts + kExtensionFile);
}

void RemoveAccount(const SetupPaths& paths) { desktop::RunProgram({paths.userdel, paths.account}); }

void RemoveCronWorkItems(const SetupPaths& paths) {
  scheduler::CrontabProgram program;
  program.path = paths.crontab;
  scheduler::RemoveCronItemFromCrontab(scheduler::kScanItemName, program);
  scheduler::RemoveCronItemFromCrontab(scheduler::kUpdateItemName, program);
}

void DropDatabaseObjects(SqlSession& sql) {
  sql.Run(BuildDropBatch(), 0, SqlCaller::kSetupDatabase);
}

void Uninstall(Settings& settings, SqlSession& sql, const SetupPaths& paths) {
  RemoveScriptsFiles(settings);
  RemoveSiteFiles(settings);
  RemoveAutostartEntry(paths);
  RemoveReportFiles(settings);
  RemoveLogFiles(settings);
  RemoveChartCache(settings);
  RemoveExtensionAgain(settings);
  RemoveAccount(paths);
  RemoveCronWorkItems(paths);
  // Without stored connection values there is no database of ours to reach.
  if (!settings.GetValue("SqlDatabase").empty()) DropDatabaseObjects(sql);
}

}  // namespace tellwen::setup
