#include "common/update_state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

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

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string UpdateStateFolder() { return DataFolder(); }

std::string UpdateLockFile(const std::string& folder) { return folder + "/kivupdate.lock"; }

std::string UpdateStateFile(const std::string& folder) { return folder + "/kivupdate.state"; }

Status WriteUpdateStateFile(const std::string& folder, const UpdateSavedValues& values) {
  const std::string path = UpdateStateFile(folder);
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << Escape(values.web_status) << '\n'
        << Escape(values.first_page_info) << '\n'
        << Escape(values.first_page_info_severity) << '\n';
    out.flush();
    if (!out) return Status::IoError("Cannot write " + temporary);
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    return Status::IoError(ErrnoText("Cannot replace", path));
  }
  return Status::Ok();
}

void RemoveUpdateStateFile(const std::string& folder) {
  std::remove(UpdateStateFile(folder).c_str());
}

bool MayBeLeftByUpdate(const std::string& web_status, const std::string& first_page_info) {
  return web_status == kWebStatusUpdating || first_page_info == kUpdateBanner;
}

UpdateLock::~UpdateLock() {
  if (fd_ >= 0) close(fd_);  // releases the lock
}

Status UpdateLock::Acquire(const std::string& folder, std::chrono::milliseconds wait) {
  const std::string path = UpdateLockFile(folder);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0664);
  if (fd < 0) return Status::IoError(ErrnoText("Cannot open the update lock file", path));
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      const bool busy = errno == EWOULDBLOCK;
      const Status failure =
          busy ? Status::Unavailable("Another database update is running (" + path + " is locked).")
               : Status::IoError(ErrnoText("Cannot lock", path));
      close(fd);
      return failure;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  fd_ = fd;
  return Status::Ok();
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
  const std::string path = UpdateLockFile(folder);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return Status::Ok();
    return Status::IoError(ErrnoText("Cannot open the update lock file", path));
  }
  int locked;
  do {
    locked = flock(fd, LOCK_SH | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const bool busy = errno == EWOULDBLOCK;
    const Status status = busy ? Status::Ok() : Status::IoError(ErrnoText("Cannot lock", path));
    close(fd);
    if (busy) *outcome = UpdateRecovery::kUpdateRunning;
    return status;
  }
  if (PutBackWhatAnUpdateLeft(folder, settings)) *outcome = UpdateRecovery::kPutBack;
  close(fd);  // releases the lock
  return Status::Ok();
}

}  // namespace tellwen
