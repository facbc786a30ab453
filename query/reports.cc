#include "query/reports.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <random>

#include "common/kiv_registry.h"
#include "query/text_utils.h"

namespace tellwen::query {

namespace {

std::atomic<unsigned> request_counter{0};

std::string FormatLocal(std::time_t now, const char* format) {
  std::tm parts{};
  localtime_r(&now, &parts);
  char text[64];
  strftime(text, sizeof text, format, &parts);
  return text;
}

}  // namespace

std::string MakeRequestId() {
  // Seeded from the current second at each id, as the ids always were; the
  // counter keeps ids of one second apart when the random parts repeat.
  std::minstd_rand generator(static_cast<unsigned>(std::time(nullptr)) ^
                             static_cast<unsigned>(reinterpret_cast<uintptr_t>(&generator)));
  const unsigned first = generator() % 10000;
  const unsigned second = generator() % 10000;
  unsigned count = request_counter.fetch_add(1) % 100;
  return ZeroPadded(first, 4) + ZeroPadded(second, 4) + ZeroPadded(count, 2);
}

std::string ShortReportPath(const std::string& file, bool daily, std::time_t now) {
  if (!daily || file.size() < 4 || file[file.size() - 4] != '.') return file;
  return file.substr(0, file.size() - 4) + " - " + FormatLocal(now, "%Y-%b-%d") +
         file.substr(file.size() - 4);
}

std::string ReportTime(std::time_t now) { return FormatLocal(now, "%d-%m-%Y %H:%M:%S"); }

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

RequestReports::RequestReports() {
  CKIVRegistry settings;
  detailed_on_ = settings.GetBoolValue("ShouldReport");
  short_on_ = settings.GetBoolValue("ShouldShortReport");
  if (detailed_on_) detailed_file_ = settings.GetValue("ReportFile");
  if (short_on_) {
    short_file_ = settings.GetValue("ReportFileShort");
    short_daily_ = settings.GetValue("ReportFileShortDaily") == "1";
  }
}

const std::string& RequestReports::id() {
  if (id_.empty()) id_ = MakeRequestId();
  return id_;
}

void RequestReports::Detail(const std::string& text) {
  if (!detailed_on_) return;
  AppendToFile(detailed_file_,
               "[" + ReportTime(std::time(nullptr)) + " id:" + id() + "]: " + text + "\n");
}

void RequestReports::Short(const std::string& text) {
  if (!short_on_) return;
  const std::time_t now = std::time(nullptr);
  AppendToFile(ShortReportPath(short_file_, short_daily_, now),
               "[" + ReportTime(now) + "]: " + text + "\n");
}

}  // namespace tellwen::query
