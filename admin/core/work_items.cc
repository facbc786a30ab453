#include "admin/core/work_items.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "platform/scheduler/crontab_text.h"

namespace tellwen::admin {

const WorkItemJob kScanJob{scheduler::kScanItemName, "Tellwen - Schedule Network Scanning",
                           "/index", "LastSuccessfulScanTime",
                           "Are you sure do you want to start network scanning now?"};
const WorkItemJob kUpdateJob{scheduler::kUpdateItemName, "Tellwen - Schedule Database Updating",
                             "/updatedb", "LastSuccessfulUpdateTime",
                             "Are you sure do you want to start database updating now?"};

namespace {

constexpr const char* kYearCheckStart = "[ \"$(date +\\%Y)\" = ";
constexpr const char* kYearCheckEnd = " ] && ";

bool Plain(const std::string& text) {
  for (char c : text) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '/' || c == '.' || c == '_' || c == '+' || c == '-';
    if (!ok) return false;
  }
  return !text.empty();
}

// cron ends a command at an unescaped "%".
std::string EscapePercent(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '%') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

std::string UnescapePercent(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '%') continue;
    out.push_back(text[i]);
  }
  return out;
}

std::string ShellQuoted(const std::string& text) {
  if (Plain(text)) return text;
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out.push_back(c);
    }
  }
  out.push_back('\'');
  return out;
}

// Reads the first shell word of command (plain, or single-quoted pieces);
// *rest is what follows the blank after it.
std::string FirstWord(const std::string& command, std::string* rest) {
  std::string word;
  size_t i = 0;
  while (i < command.size() && command[i] != ' ') {
    if (command[i] == '\'') {
      size_t end = command.find('\'', i + 1);
      if (end == std::string::npos) end = command.size();
      word += command.substr(i + 1, end - i - 1);
      i = end + 1;
    } else if (command[i] == '\\' && i + 1 < command.size()) {
      word.push_back(command[i + 1]);
      i += 2;
    } else {
      word.push_back(command[i++]);
    }
  }
  *rest = i < command.size() ? command.substr(i + 1) : "";
  return word;
}

bool HasLineBreak(const std::string& text) {
  return text.find('\n') != std::string::npos || text.find('\r') != std::string::npos;
}

std::string WithReason(const char* text, const Status& status) {
  std::string message = text;
  message += "\n";
  message += status.message();
  return message;
}

}  // namespace

std::optional<std::string> JobLine(const WorkItem& item, std::string* error) {
  if (item.application.empty() || HasLineBreak(item.application)) {
    *error = "Error: SetApplicationName Failed.";
    return std::nullopt;
  }
  if (HasLineBreak(item.parameters)) {
    *error = "Error: SetParameters Failed.";
    return std::nullopt;
  }
  std::optional<std::string> expression = CronExpression(item.schedule, error);
  if (!expression) return std::nullopt;
  std::string line = item.enabled ? "" : "#";
  line += *expression;
  line += ' ';
  if (item.schedule.kind == ScheduleKind::kOnce) {
    line += kYearCheckStart;
    line += std::to_string(item.schedule.year);
    line += kYearCheckEnd;
  }
  line += EscapePercent(ShellQuoted(item.application));
  if (!item.parameters.empty()) {
    line += ' ';
    line += EscapePercent(item.parameters);
  }
  return line;
}

std::optional<WorkItem> ParseJobLine(const std::string& line) {
  WorkItem item;
  std::string text = line;
  if (!text.empty() && text.front() == '#') {
    item.enabled = false;
    text.erase(0, 1);
  }
  // The expression: one "@word" or five fields; the command follows.
  size_t pos = 0;
  const int fields = !text.empty() && text.front() == '@' ? 1 : 5;
  for (int i = 0; i < fields; ++i) {
    pos = text.find_first_not_of(" \t", pos);
    if (pos == std::string::npos) return std::nullopt;
    pos = text.find_first_of(" \t", pos);
    if (pos == std::string::npos) return std::nullopt;
  }
  std::string error;
  std::optional<Schedule> schedule = ScheduleFromExpression(text.substr(0, pos), &error);
  if (!schedule) return std::nullopt;
  item.schedule = *schedule;
  std::string command = text.substr(text.find_first_not_of(" \t", pos) == std::string::npos
                                        ? text.size()
                                        : text.find_first_not_of(" \t", pos));
  if (command.rfind(kYearCheckStart, 0) == 0) {
    size_t end = command.find(kYearCheckEnd);
    std::vector<std::string> w;
    std::string year = end == std::string::npos
                           ? ""
                           : command.substr(std::string(kYearCheckStart).size(),
                                            end - std::string(kYearCheckStart).size());
    Schedule once;
    std::string fields_text = item.schedule.expression;
    int minute = 0, hour = 0, day = 0, month = 0;
    char star = 0;
    if (!year.empty() && year.size() <= 4 &&
        year.find_first_not_of("0123456789") == std::string::npos &&
        std::sscanf(fields_text.c_str(), "%d %d %d %d %c", &minute, &hour, &day, &month, &star) ==
            5 &&
        star == '*') {
      once.kind = ScheduleKind::kOnce;
      once.minute = minute;
      once.hour = hour;
      once.day = day;
      once.month = month;
      once.year = std::stoi(year);
      item.schedule = once;
      command = command.substr(end + std::string(kYearCheckEnd).size());
    }
  }
  std::string rest;
  item.application = UnescapePercent(FirstWord(command, &rest));
  item.parameters = UnescapePercent(rest);
  return item;
}

std::string CurrentAccount() {
  struct passwd entry;
  struct passwd* found = nullptr;
  std::vector<char> buffer(4096);
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr) {
    return "";
  }
  return found->pw_name;
}

Status OpenWorkItem(const scheduler::CrontabProgram& program, const WorkItemJob& job,
                    const std::string& application, WorkItem* item) {
  std::string crontab;
  Status read = scheduler::ReadCrontab(program, &crontab);
  if (!read.ok()) return Status::IoError(WithReason("Error: NewWorkItem Failed.", read));
  *item = WorkItem();
  std::optional<std::string> line = scheduler::FindCronItem(crontab, job.name);
  std::optional<WorkItem> stored = line ? ParseJobLine(*line) : std::nullopt;
  if (stored) {
    *item = *stored;
    item->is_new = false;
  } else {
    item->schedule.hour = job.parameters == std::string("/index") ? 2 : 4;
    item->is_new = !line.has_value();
  }
  item->application = application;
  item->parameters = job.parameters;
  item->account = program.user.empty() ? CurrentAccount() : program.user;
  if (item->account.empty()) return Status::IoError("Error: SetAccountInformation Failed.");
  return Status::Ok();
}

Status SaveWorkItem(const scheduler::CrontabProgram& program, const WorkItemJob& job,
                    const WorkItem& item) {
  std::string error;
  std::optional<std::string> line = JobLine(item, &error);
  if (!line) return Status::InvalidArgument(error);
  std::string crontab;
  Status read = scheduler::ReadCrontab(program, &crontab);
  if (!read.ok()) return Status::IoError(WithReason("Error: NewWorkItem Failed.", read));
  Status written =
      scheduler::WriteCrontab(program, scheduler::SetCronItem(crontab, job.name, *line));
  if (!written.ok()) return Status::IoError(WithReason("Error: NewWorkItem Failed.", written));
  return Status::Ok();
}

}  // namespace tellwen::admin
