#include "indexer/core/update_runner.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "base/list_value.h"
#include "base/time_text.h"
#include "base/user_messages.h"
#include "indexer/core/loader_index_file.h"
#include "indexer/core/update_sql_log.h"

namespace tellwen::indexer {
namespace {

constexpr const char* kLoadTask = "inserting data into database";
constexpr const char* kAddColumnsTask = "DONT-inserting categories";
constexpr const char* kCategoriesTask = "updating categories";
constexpr const char* kLockTask = "locking database";
constexpr const char* kSwapTask = "switching to new database";
constexpr const char* kSwapCommitTask = "DONT-commit switch";
constexpr size_t kMaxLoggedRejections = 1000;
// A rejected line is logged by its start: enough to find it in the file, and
// the log stays small when a hostile index file holds lines of megabytes.
constexpr size_t kMaxLoggedLineBytes = 300;

constexpr const char* kSetupDropTables[] = {"zz",
                                            "temp_aall",
                                            "temp_shares1",
                                            "temp_constants",
                                            "temp_monitor_pings",
                                            "temp_stat",
                                            "temp_stat_topmegi",
                                            "temp_stat_filesize",
                                            "temp_stat_categories",
                                            "aall",
                                            "shares1",
                                            "constants",
                                            "stat",
                                            "stat_topmegi",
                                            "stat_filesize",
                                            "stat_categories",
                                            "tmp1",
                                            "monitor_pings"};

// The categories as the web search numbers them: one field per kept category,
// in column order, so that field n is column "gugu" + n.
std::string CategoriesForWeb(const std::vector<Category>& categories) {
  std::vector<std::string> entries;
  entries.reserve(categories.size());
  for (const Category& category : categories) {
    entries.push_back(category.name + "/" + category.pattern_text);
  }
  return MakeListValue(entries);
}

}  // namespace

std::string UpdateTaskRow::Text() const {
  return name + "\t" + start + "\t" + stop + "\t" + elapsed + "\t" + status;
}

std::string SetupDropBatch() {
  std::string batch;
  for (const char* table : kSetupDropTables) {
    batch +=
        std::string(" if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[") +
        table + "]') and OBJECTPROPERTY(id, N'IsUserTable') = 1) drop table [dbo].[" + table + "] ";
  }
  return batch;
}

UpdateRunner::UpdateRunner(UpdateRunnerConfig config) : config_(std::move(config)) {
  for (const ScriptTask& task : config_.tasks) {
    if (IsHiddenTask(task.name)) {
      row_of_task_.push_back(-1);
    } else {
      row_of_task_.push_back(static_cast<int>(rows_.size()));
      UpdateTaskRow row;
      row.name = task.name;
      rows_.push_back(row);
    }
  }
}

UpdateRunner::~UpdateRunner() { Wait(); }

void UpdateRunner::Start() {
  running_ = true;
  thread_ = std::thread([this] { Run(); });
}

void UpdateRunner::Wait() {
  if (thread_.joinable()) thread_.join();
}

std::vector<UpdateTaskRow> UpdateRunner::Rows() const {
  MutexLock lock(mutex_);
  return rows_;
}

std::string UpdateRunner::FailedTask() const {
  MutexLock lock(mutex_);
  return failed_task_;
}

std::string UpdateRunner::ErrorText() const {
  MutexLock lock(mutex_);
  return error_text_;
}

void UpdateRunner::SetRow(int row, const std::function<void(UpdateTaskRow&)>& change) {
  if (row < 0) return;
  {
    MutexLock lock(mutex_);
    change(rows_[row]);
  }
  ++changes_;
}

void UpdateRunner::Run() {
  running_ = true;
  completed_ = false;
  bool all_done = true;

  if (config_.setup_mode) {
    const auto began = UpdateClock::now();
    const std::string batch = SetupDropBatch();
    SqlResult result = config_.executor->Run(batch, 0, SqlCaller::kIndexerBatch);
    const std::string text = result.error ? result.error_text : "done";
    AppendSqlLogRecord(config_.log_file, "dropping the catalog tables", batch, text,
                       FormatElapsed(UpdateClock::now() - began));
    if (result.error) {
      MutexLock lock(mutex_);
      failed_task_ = "dropping the catalog tables";
      error_text_ = text;
      all_done = false;
    }
  }

  categories_ = BuildCategoryList(config_.categories_edit);
  bool in_swap = false;  // between the swap's BEGIN and its COMMIT
  for (size_t i = 0; all_done && i < config_.tasks.size(); ++i) {
    PauseIfAsked(i + 1, config_.tasks[i].name);
    if (stop_requested_ && !in_swap) {
      all_done = false;
      break;
    }
    const std::string& name = config_.tasks[i].name;
    if (name == kSwapTask) in_swap = true;
    if (name == kSwapCommitTask) in_swap = false;
    const std::string result = RunTask(config_.tasks[i], row_of_task_[i]);
    if (result != "done") {
      MutexLock lock(mutex_);
      failed_task_ = config_.tasks[i].name;
      error_text_ = result;
      all_done = false;
    }
  }

  if (all_done) PauseIfAsked(config_.tasks.size() + 1, "(after the last task)");
  completed_ = all_done;
  const bool failed = !FailedTask().empty();
  running_ = false;
  ++changes_;
  if (failed) {
    if (config_.show_failure) {
      config_.show_failure(kUpdateFailedMessage);
    } else {
      ShowMessage(kUpdateFailedMessage, MessageIcon::kError);
    }
  }
}

void UpdateRunner::PauseIfAsked(size_t number, const std::string& name) {
  if (config_.pause_before_task <= 0 || static_cast<size_t>(config_.pause_before_task) != number) {
    return;
  }
  std::fprintf(stderr, "update paused before task %zu: %s\n", number, name.c_str());
  std::fflush(stderr);
  while (!stop_requested_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::string UpdateRunner::RunTask(const ScriptTask& task, int row) {
  const auto began = UpdateClock::now();
  SetRow(row, [&](UpdateTaskRow& r) {
    r.start = FormatLocalTime(UpdateClock::to_time_t(began), "%H:%M:%S");
    r.status = "running";
  });

  SqlResult body = config_.executor->Run(task.body, 0, SqlCaller::kIndexerTaskBody);
  std::string result = body.error ? body.error_text : "done";

  if (!body.error) {
    if (task.name == kLockTask && config_.stop_web_service && config_.on_locking) {
      config_.on_locking();
    }
    if (task.name == kLoadTask) {
      std::string rejected_log;
      size_t logged = 0;
      LoaderHooks hooks;
      hooks.progress = [&](int64_t sent) {
        SetRow(row, [&](UpdateTaskRow& r) { r.status = std::to_string(sent); });
      };
      hooks.stop_requested = [&] { return stop_requested_.load(); };
      hooks.rejected = [&](int64_t number, const std::string& reason, std::string_view line) {
        ++rejected_lines_;
        if (logged++ < kMaxLoggedRejections) {
          rejected_log += "line " + std::to_string(number) + ": " + reason + ": ";
          rejected_log.append(line.substr(0, kMaxLoggedLineBytes));
          if (line.size() > kMaxLoggedLineBytes) rejected_log += " ...";
          rejected_log += "\n";
        }
      };
      LoaderResult loaded = LoadIndexFile(config_.index_file, *config_.executor, hooks);
      if (!loaded.ok) result = loaded.error_text;
      if (loaded.lines_rejected > 0) {
        AppendSqlLogRecord(config_.log_file, std::string(kLoadTask) + " (index lines not loaded)",
                           rejected_log,
                           std::to_string(loaded.lines_rejected) + " lines not loaded",
                           FormatElapsed(UpdateClock::now() - began));
      }
    }
    if (task.name == kAddColumnsTask && !categories_.empty()) {
      SqlResult added =
          config_.executor->Run(CategoryColumnsBatch(categories_), 0, SqlCaller::kIndexerBatch);
      if (added.error) result = added.error_text;
    }
    if (task.name == kCategoriesTask && !categories_.empty()) {
      SqlResult filled =
          config_.executor->Run(CategoryUpdateBatch(categories_), 0, SqlCaller::kIndexerBatch);
      if (filled.error) result = filled.error_text;
    }
    if (task.name == kSwapCommitTask) {
      // The live catalog now has exactly these category columns.
      config_.settings->SetValue("CategoriesEditForWeb", CategoriesForWeb(categories_));
    }
  }

  const auto ended = UpdateClock::now();
  AppendSqlLogRecord(config_.log_file, task.name, task.body, result, FormatElapsed(ended - began));
  SetRow(row, [&](UpdateTaskRow& r) {
    r.stop = FormatLocalTime(UpdateClock::to_time_t(ended), "%H:%M:%S");
    r.elapsed = FormatElapsed(ended - began);
    r.status = result == "done" ? "done" : "error";
  });
  return result;
}

}  // namespace tellwen::indexer
