#include "query/reports.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <random>

#include "base/time_text.h"
#include "query/report_text.h"
#include "query/text_utils.h"

namespace tellwen::query {

namespace {

std::atomic<unsigned> request_counter{0};

}  // namespace

std::string MakeRequestId(std::time_t now) {
  std::minstd_rand generator(static_cast<unsigned>(now) ^
                             static_cast<unsigned>(reinterpret_cast<uintptr_t>(&generator)));
  const unsigned first = generator() % 10000;
  const unsigned second = generator() % 10000;
  unsigned count = request_counter.fetch_add(1) % 100;
  return ZeroPadded(first, 4) + ZeroPadded(second, 4) + ZeroPadded(count, 2);
}

std::string ShortReportPath(const std::string& file, bool daily, std::time_t now) {
  if (!daily || file.size() < 4 || file[file.size() - 4] != '.') return file;
  return file.substr(0, file.size() - 4) + " - " + FormatLocalTime(now, "%Y-%b-%d") +
         file.substr(file.size() - 4);
}

std::string ReportTime(std::time_t now) { return FormatLocalTime(now, "%d-%m-%Y %H:%M:%S"); }

bool AppendToFile(const std::string& file, const std::string& text) {
  int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::error_code ignored;
    const std::filesystem::path parent = std::filesystem::path(file).parent_path();
    if (parent.empty()) return false;
    std::filesystem::create_directories(parent, ignored);
    fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
  }
  const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return ok;
}

RequestReports::RequestReports(const ReportSettings& settings, Clock& clock)
    : settings_(settings), clock_(clock) {}

const std::string& RequestReports::id() {
  if (id_.empty()) id_ = MakeRequestId(clock_.Now());
  return id_;
}

void RequestReports::Detail(const std::string& text) {
  if (!settings_.detailed_on) return;
  AppendToFile(settings_.detailed_file,
               "[" + ReportTime(clock_.Now()) + " id:" + id() + "]: " + text + "\n");
}

void RequestReports::Short(const std::string& text) {
  if (!settings_.short_on) return;
  const std::time_t now = clock_.Now();
  AppendToFile(ShortReportPath(settings_.short_file, settings_.short_daily, now),
               "[" + ReportTime(now) + "]: " + text + "\n");
}

void RequestReports::Notice(const std::string& text) {
  Detail(text);
  // One write, so that the line never mixes with the server's other lines.
  const std::string line = "KIVQuery: " + LogSafe(text) + "\n";
  const ssize_t written = write(STDERR_FILENO, line.data(), line.size());
  (void)written;
}

}  // namespace tellwen::query
