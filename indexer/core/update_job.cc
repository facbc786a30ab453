#include "indexer/core/update_job.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "common/kiv_registry.h"
#include "common/user_messages.h"
#include "indexer/core/script_splitter.h"
#include "indexer/core/update_saved_state.h"
#include "indexer/core/update_sql_log.h"
#include "indexer/core/update_time_text.h"
#include "sql/update_script_template.h"

namespace tellwen::indexer {
namespace {

std::string TemporaryFolder(CKIVRegistry& registry) {
  std::string folder = registry.GetValue("TemporaryFolder");
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

std::string IndexFilePath() {
  CKIVRegistry registry;
  return TemporaryFolder(registry) + "kivtmp.txt";
}

UpdateJobOutcome RunUpdateJob(const UpdateJobOptions& options, UpdateJobDriver& driver,
                              SqlExecutor* executor) {
  CKIVRegistry registry;
  if (!registry.GetBoolValue("AutomaticallyInsertIntoDatabase")) return UpdateJobOutcome::kDisabled;

  const std::string folder = TemporaryFolder(registry);
  const std::string index_file = folder + "kivtmp.txt";
  const std::string state_file = folder + "kivupdate.state";
  if (!FileExists(index_file)) {
    if (options.setup_mode) {
      std::ofstream create(index_file, std::ios::binary | std::ios::trunc);
    } else {
      if (!options.silent) {
        ShowMessage("Temporary file not found!\nCannot update database.", MessageIcon::kError);
      }
      return UpdateJobOutcome::kNoIndexFile;
    }
  }

  // The job.
  UpdateSavedState::RecoverLeftover(state_file);
  const bool stop_web_service = registry.GetBoolValue("StopWebService");
  const auto job_start = UpdateClock::now();
  if (!FileExists(index_file)) {
    ShowMessage("Unexpected error: temporary file is missing", MessageIcon::kError);
    return UpdateJobOutcome::kNoIndexFile;
  }

  UpdateSavedState saved(state_file);
  saved.SaveAndSetBanner();
  auto lock_start = UpdateClock::now();

  ScriptPlaceholders values;
  values.tmpfolder = registry.GetValue("TemporaryFolder");
  values.database = registry.GetValue("SqlDatabase");
  values.indexdata = registry.GetValue("LastIndexData");
  values.loginuser = registry.GetValue("SqlUser");
  values.maxhours = registry.GetValue("SqlComputerExpireHours");

  SessionSqlExecutor session;
  UpdateRunnerConfig config;
  config.tasks = SplitScript(UpdateScriptTemplate(), values);
  config.setup_mode = options.setup_mode;
  config.stop_web_service = stop_web_service;
  config.index_file = index_file;
  config.log_file = SqlLogPath(registry.GetValue("SqlLogFolder"));
  config.categories_edit = registry.GetValue("CategoriesEdit");
  config.executor = executor != nullptr ? executor : &session;
  config.on_locking = [&saved, &lock_start] {
    lock_start = UpdateClock::now();
    saved.SaveWebStatusForLock();
  };

  bool succeeded = false;
  {
    UpdateRunner runner(std::move(config));
    succeeded = driver.Drive(runner);
    runner.Wait();
  }

  saved.Restore(stop_web_service);
  if (succeeded) {
    const auto now = UpdateClock::now();
    registry.SetValue("DataOfTheIndex", registry.GetValue("DataOfTheIndexForDB"));
    registry.SetValue("LastSuccessfulUpdateTime", FormatLocalTime(now, "%d %B %Y at %H:%M:%S"));
    if (!options.silent) {
      ShowMessage("Database updating went OK!\nRunning time: " + FormatElapsed(now - job_start) +
                      "\nLock time: " + FormatElapsed(now - lock_start),
                  MessageIcon::kInformation);
    }
    std::remove(index_file.c_str());
    return UpdateJobOutcome::kSucceeded;
  }
  return UpdateJobOutcome::kFailed;
}

}  // namespace tellwen::indexer
