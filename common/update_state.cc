#include "common/update_state.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/atomic_file.h"
#include "common/db_session.h"

namespace tellwen {
namespace {

// One value per line: "\" and line ends escaped, each as "\" and a letter;
// one table serves both directions.
struct Escaped {
  char plain;
  char letter;
};
constexpr Escaped kEscaped[] = {{'\\', '\\'}, {'\n', 'n'}, {'\r', 'r'}};

std::string Escape(const std::string& value) {
  std::string out;
  for (char c : value) {
    const auto* e = std::find_if(std::begin(kEscaped), std::end(kEscaped),
                                 [c](const Escaped& x) { return x.plain == c; });
    if (e == std::end(kEscaped)) {
      out += c;
    } else {
      out += '\\';
      out += e->letter;
    }
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      const auto* e = std::find_if(std::begin(kEscaped), std::end(kEscaped),
                                   [next](const Escaped& x) { return x.letter == next; });
      out += e == std::end(kEscaped) ? next : e->plain;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The saved values; false when there is no whole state file.
bool ReadUpdateStateFile(const std::string& folder, UpdateSavedValues* values) {
  std::vector<std::string> lines;
  std::ifstream in(UpdateStateFile(folder), std::ios::binary);
  std::string line;
  while (in && std::getline(in, line)) lines.push_back(Unescape(line));
  if (lines.size() < 3) return false;
  values->web_status = lines[0];
  values->first_page_info = lines[1];
  values->first_page_info_severity = lines[2];
  return true;
}

}  // namespace

std::string UpdateStateFolder() { return DataFolder(); }

std::string UpdateLockFile(const std::string& folder) { return folder + "/kivupdate.lock"; }

std::string UpdateStateFile(const std::string& folder) { return folder + "/kivupdate.state"; }

Status WriteUpdateStateFile(const std::string& folder, const UpdateSavedValues& values,
                            FileEnv* env) {
  const std::string path = UpdateStateFile(folder);
  const std::string text = Escape(values.web_status) + '\n' + Escape(values.first_page_info) +
                           '\n' + Escape(values.first_page_info_severity) + '\n';
  AtomicWriteOptions options;
  options.env = env;
  if (const int error = WriteFileAtomically(path, text, options); error != 0) {
    return Status::IoError("Cannot write " + path + ": " + std::strerror(error));
  }
  return Status::Ok();
}

void RemoveUpdateStateFile(const std::string& folder) {
  std::remove(UpdateStateFile(folder).c_str());
}

bool MayBeLeftByUpdate(const std::string& web_status, const std::string& first_page_info) {
  return web_status == kWebStatusUpdating || first_page_info == kUpdateBanner;
}

Status UpdateLock::Acquire(const std::string& folder, std::chrono::milliseconds wait) {
  const std::string path = UpdateLockFile(folder);
  FileLockOptions options;
  options.mode = 0664;
  options.what = "the update lock file";
  const Status locked = lock_.Acquire(path, wait, options);
  if (locked.code() == Status::Code::kUnavailable) {
    return Status::Unavailable("Another database update is running (" + path + " is locked).");
  }
  return locked;
}

bool PutBackWhatAnUpdateLeft(const std::string& folder, Settings& settings) {
  UpdateSavedValues saved;
  const bool have_file = ReadUpdateStateFile(folder, &saved);
  bool changed = false;
  if (settings.GetValue("WebStatus") == kWebStatusUpdating) {
    settings.SetValue("WebStatus", have_file ? saved.web_status : "no");
    changed = true;
  }
  if (have_file && settings.GetValue("FirstPageInfo") == kUpdateBanner &&
      settings.GetValue("FirstPageInfoSeverity") == kUpdateBannerSeverity) {
    settings.SetValue("FirstPageInfo", saved.first_page_info);
    settings.SetValue("FirstPageInfoSeverity", saved.first_page_info_severity);
    changed = true;
  }
  RemoveUpdateStateFile(folder);
  return changed;
}

Status RecoverUnfinishedUpdate(const std::string& folder, Settings& settings,
                               UpdateRecovery* outcome) {
  UpdateRecovery ignored;
  if (outcome == nullptr) outcome = &ignored;
  *outcome = UpdateRecovery::kNothingLeft;
  FileLockOptions options;
  options.shared = true;
  options.create = false;
  options.what = "the update lock file";
  FileLock lock;
  const Status locked = lock.Acquire(UpdateLockFile(folder), std::chrono::milliseconds(0), options);
  // No lock file: no update ever ran with this folder.
  if (locked.code() == Status::Code::kNotFound) return Status::Ok();
  if (locked.code() == Status::Code::kUnavailable) {
    *outcome = UpdateRecovery::kUpdateRunning;
    return Status::Ok();
  }
  if (!locked.ok()) return locked;
  if (PutBackWhatAnUpdateLeft(folder, settings)) *outcome = UpdateRecovery::kPutBack;
  return Status::Ok();
}

}  // namespace tellwen
