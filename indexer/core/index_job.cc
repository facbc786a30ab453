#include "indexer/core/index_job.h"

#include <sys/stat.h>

#include <memory>

#include "base/time_text.h"
#include "base/user_messages.h"
#include "common/scan_account_settings.h"
#include "indexer/core/discovery.h"
#include "indexer/core/scanner.h"
#include "indexer/core/thread_priority.h"
#include "platform/net/credentials_file.h"

namespace tellwen::indexer {

namespace {

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string GroupThousands(long long n) {
  bool negative = n < 0;
  std::string digits = std::to_string(negative ? -n : n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back('.');
    out.push_back(digits[i]);
  }
  return negative ? "-" + out : out;
}

ScanStatusValues MakeScanStatusValues(long long files, std::time_t now) {
  std::tm tm{};
  localtime_r(&now, &tm);
  ScanStatusValues values;
  values.number_of_indexed_files = GroupThousands(files) + " files indexed";
  values.data_of_the_index = "last index on " + FormatTime(tm, "%d-%b-%Y");
  values.last_index_data = FormatTime(tm, "%Y-%m-%d %H:%M:%S");
  values.last_successful_scan = FormatTime(tm, "%d %B %Y at %H:%M:%S");
  return values;
}

IndexJob::IndexJob(IndexJobDependencies dependencies) : deps_(std::move(dependencies)) {
  shared_.timing = deps_.timing;
}

IndexJob::~IndexJob() {
  if (job_thread_.joinable()) {
    RequestStop();
    job_thread_.join();
  }
}

void IndexJob::LoadSettings() { settings_ = ReadIndexSettings(*deps_.settings); }

StartResult IndexJob::Start(bool index_flag) {
  if (running_) return StartResult::kBusy;
  if (settings_.output_file.empty()) {
    ShowMessage(kInvalidOutputFileText, MessageIcon::kInformation);
    return StartResult::kInvalidOutputFile;
  }
  const std::string index_file = IndexFilePath(settings_.temporary_folder);
  if (FileExists(index_file) && !index_flag) {
    if (!AskYesNo(kOverwriteIndexFileQuestion, MessageIcon::kQuestion)) {
      return StartResult::kDeclined;
    }
  }
  if (!settings_.generate_report && !settings_.insert_into_database) {
    if (!AskYesNo(kNoOutputQuestion, MessageIcon::kQuestion)) return StartResult::kDeclined;
  }

  const ScanAccountSettings scan = ReadScanAccountSettings(*deps_.settings);
  if (std::string problem =
          net::LoadScanAccount(scan.credentials_file, scan.use_kerberos, &scan_account_);
      !problem.empty()) {
    ShowMessage(problem, MessageIcon::kError);
    return StartResult::kNoScanAccount;
  }

  JobStartSettings start_settings = ReadJobStartSettings(*deps_.settings);
  BuildSkipList(start_settings.not_reindex_hours, start_settings.exclude_list, deps_.sql,
                &shared_.skip);

  shared_.status.start_time = std::chrono::steady_clock::now();
  shared_.status.ResetCounters();
  shared_.status.ClearFoundComputers();
  shared_.status.ClearRefusals();
  shared_.status.thread_count = settings_.thread_count;
  shared_.queue.Reset();
  shared_.status.ResetWorkerRows(settings_.thread_count);
  shared_.stop = false;
  shared_.ClearFailure();
  shared_.discovery_finished = false;
  last_job_stopped_ = false;
  last_job_failure_.clear();

  if (job_thread_.joinable()) job_thread_.join();
  // Cleared here rather than in the job thread, so that a tick coming
  // before the thread runs cannot take the job for ended.
  idle_ = false;
  running_ = true;
  job_thread_ = std::thread(&IndexJob::JobThread, this, start_settings);
  return StartResult::kStarted;
}

void IndexJob::RequestStop() {
  shared_.stop = true;
  shared_.signal.Notify();
}

void IndexJob::JobThread(JobStartSettings start_settings) {
  const ScanPriority priority = ScanPriorityFromStored(start_settings.scan_priority);
  ApplyScanPriority(priority);
  JobShared& shared = shared_;
  JobStatus& status = shared.status;
  const int thread_count = settings_.thread_count > 0 ? settings_.thread_count : 1;

  LoadIncludeList(start_settings.include_list, &shared);

  shared.stores.clear();
  for (int i = 0; i < thread_count; ++i) shared.stores.push_back(std::make_unique<EntryStore>());

  shared.scan_finished = false;
  status.scan_state = ScanState::kScanning;
  ScanContext scan{deps_.network, &shared, settings_.levels, &scan_account_};
  std::vector<std::thread> workers;
  workers.reserve(thread_count);
  for (int i = 0; i < thread_count; ++i) {
    workers.emplace_back([&, i] {
      ApplyScanPriority(priority);
      RunScanWorker(scan, i);
      shared.signal.Notify();
    });
  }

  DumpFiles files;
  if (settings_.insert_into_database) files.index_file = IndexFilePath(settings_.temporary_folder);
  if (settings_.generate_report) files.output_file = settings_.output_file;
  files.layout.unix_style = settings_.unix_style;
  files.layout.split_share_and_directory = settings_.split_share_and_directory;
  files.layout.split_directory_and_file = settings_.split_directory_and_file;
  files.layout.dump_size = settings_.dump_size;
  files.sorted = settings_.sorted_output;
  files.env = deps_.files;
  std::thread dump([&] {
    ApplyScanPriority(priority);
    RunDump(files, &shared);
  });

  status.search_state = SearchState::kSearching;
  std::thread discovery([&] {
    ApplyScanPriority(priority);
    if (start_settings.enumerate_network) {
      EnumerateSources(deps_.network, deps_.searches, start_settings.network_search, &shared);
    }
  });
  discovery.join();
  shared.discovery_finished = true;
  shared.signal.Notify();
  status.search_state = SearchState::kDone;

  // The workers end once the queue is drained after discovery (or at a stop).
  for (std::thread& worker : workers) worker.join();

  shared.scan_finished = true;
  shared.signal.Notify();
  status.scan_state = ScanState::kDone;
  dump.join();
  status.dump_state = DumpState::kDone;

  shared.stores.clear();
  idle_ = true;
  shared.signal.Notify();
}

bool IndexJob::WaitUntilIdle(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!idle_) {
    uint64_t seen = shared_.signal.Generation();
    if (idle_) break;
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    shared_.signal.WaitFor(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now),
                           seen);
  }
  return true;
}

bool IndexJob::HandleEndIfIdle() {
  if (!running_ || !idle_) return false;
  if (job_thread_.joinable()) job_thread_.join();
  JobStatus& status = shared_.status;
  status.files_found = status.entries_dumped.load();
  status.ResetWorkerRows(settings_.thread_count);
  last_job_stopped_ = shared_.stop;
  last_job_failure_ = shared_.Failure();
  if (!last_job_failure_.empty()) {
    ShowMessage(std::string(kIndexJobFailedText) + "\n" + last_job_failure_, MessageIcon::kError);
  }
  if (!shared_.stop && last_job_failure_.empty() && settings_.insert_into_database) {
    ScanStatusValues values = MakeScanStatusValues(
        status.files_found, (deps_.clock != nullptr ? *deps_.clock : MachineClock()).Now());
    deps_.settings->SetValue("NumberOfIndexedFiles", values.number_of_indexed_files);
    deps_.settings->SetValue("DataOfTheIndexForDB", values.data_of_the_index);
    deps_.settings->SetValue("LastIndexData", values.last_index_data);
    deps_.settings->SetValue("LastSuccessfulScanTime", values.last_successful_scan);
  }
  shared_.stop = false;
  running_ = false;
  return true;
}

}  // namespace tellwen::indexer
