#include "indexer/core/update_job.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/time_text.h"
#include "base/user_messages.h"
#include "common/index_settings.h"
#include "common/settings_fields.h"
#include "common/update_state.h"
#include "indexer/core/script_splitter.h"
#include "indexer/core/update_saved_state.h"
#include "indexer/core/update_sql.h"
#include "indexer/core/update_sql_log.h"
#include "indexer/core/update_time_text.h"
#include "sql/update_script_template.h"

namespace tellwen::indexer {
namespace {

// How long the job waits for the update lock: a program putting back what a
// dead job left holds it for milliseconds; another update job for hours.
constexpr std::chrono::seconds kUpdateLockWait{10};

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

}  // namespace

UpdateJobOutcome RunUpdateJob(const UpdateJobOptions& options, UpdateJobDriver& driver,
                              Settings& registry, SqlSession* executor) {
  if (!registry.GetBoolValue("AutomaticallyInsertIntoDatabase")) return UpdateJobOutcome::kDisabled;

  const std::string index_file = IndexFilePath(registry.GetValue("TemporaryFolder"));
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

  // The job. It holds the update lock from here to its end, so that no other
  // program takes its changed settings for those of a dead job; under it the
  // job first puts back what a dead one left.
  const std::string state_folder = UpdateStateFolder();
  UpdateLock update_lock;
  const Status locked = update_lock.Acquire(state_folder, kUpdateLockWait);
  if (!locked.ok()) {
    ShowMessage(locked.message(), MessageIcon::kError);
    return UpdateJobOutcome::kFailed;
  }
  PutBackWhatAnUpdateLeft(state_folder, registry);
  const bool stop_web_service = registry.GetBoolValue("StopWebService");
  const auto job_start = UpdateClock::now();
  if (!FileExists(index_file)) {
    ShowMessage("Unexpected error: temporary file is missing", MessageIcon::kError);
    return UpdateJobOutcome::kNoIndexFile;
  }

  UpdateSavedState saved(state_folder, registry);
  const Status saved_state = saved.SaveAndSetBanner();
  if (!saved_state.ok()) {
    ShowMessage(saved_state.message() + "\nCannot update database.", MessageIcon::kError);
    return UpdateJobOutcome::kFailed;
  }
  auto lock_start = UpdateClock::now();

  static constexpr TextField<ScriptPlaceholders> kPlaceholders[] = {
      {"TemporaryFolder", &ScriptPlaceholders::tmpfolder},
      {"SqlDatabase", &ScriptPlaceholders::database},
      {"LastIndexData", &ScriptPlaceholders::indexdata},
      {"SqlUser", &ScriptPlaceholders::loginuser},
      {"SqlComputerExpireHours", &ScriptPlaceholders::maxhours}};
  ScriptPlaceholders values;
  ReadFields(registry, kPlaceholders, &values);

  UpdateSql session;
  UpdateRunnerConfig config;
  config.tasks = SplitScript(UpdateScriptTemplate(), values);
  config.setup_mode = options.setup_mode;
  config.stop_web_service = stop_web_service;
  config.index_file = index_file;
  config.log_file = SqlLogPath(registry.GetValue("SqlLogFolder"));
  config.categories_edit = registry.GetValue("CategoriesEdit");
  config.executor = executor != nullptr ? executor : &session;
  config.settings = &registry;
  config.pause_before_task = options.pause_before_task;
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
    registry.SetValue("LastSuccessfulUpdateTime",
                      FormatLocalTime(UpdateClock::to_time_t(now), "%d %B %Y at %H:%M:%S"));
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
