#include "platform/scheduler/crontab_program.h"

#include <cstring>
#include <vector>

#include "platform/desktop/program_run.h"
#include "platform/scheduler/crontab_text.h"

namespace tellwen::scheduler {
namespace {

using desktop::Capture;
using RunResult = desktop::ProgramRun;

RunResult Run(const CrontabProgram& program, const char* argument, const std::string& input) {
  std::vector<std::string> args{program.path};
  if (!program.user.empty()) {
    args.push_back("-u");
    args.push_back(program.user);
  }
  args.push_back(argument);
  return desktop::RunProgram(args, input, Capture::kApart);
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

Status Failure(const CrontabProgram& program, const RunResult& result) {
  std::string message = program.path;
  if (result.spawn_error != 0) {
    message += ": ";
    message += std::strerror(result.spawn_error);
    return result.spawn_error == ENOENT ? Status::NotFound(message) : Status::IoError(message);
  }
  message += " failed (exit code ";
  message += std::to_string(result.exit_code);
  message += ")";
  std::string said = Trimmed(result.errors);
  if (!said.empty()) {
    message += ": ";
    message += said;
  }
  return Status::IoError(message);
}

}  // namespace

Status ReadCrontab(const CrontabProgram& program, std::string* crontab) {
  crontab->clear();
  RunResult result = Run(program, "-l", "");
  if (result.spawn_error == 0 && result.exit_code == 0) {
    *crontab = std::move(result.output);
    return Status::Ok();
  }
  // Debian's crontab says "no crontab for <user>" and exits 1 for an
  // account that has none: that is an empty crontab, not a failure.
  if (result.spawn_error == 0 && result.exit_code == 1 &&
      result.errors.find("no crontab for") != std::string::npos) {
    return Status::Ok();
  }
  return Failure(program, result);
}

Status WriteCrontab(const CrontabProgram& program, const std::string& crontab) {
  RunResult result = Run(program, "-", crontab);
  if (result.spawn_error == 0 && result.exit_code == 0) return Status::Ok();
  return Failure(program, result);
}

Status RemoveCronItemFromCrontab(const std::string& item_name, const CrontabProgram& program) {
  std::string crontab;
  Status read = ReadCrontab(program, &crontab);
  if (!read.ok()) return read;
  std::string rest = RemoveCronItem(crontab, item_name);
  if (rest == crontab) return Status::Ok();
  return WriteCrontab(program, rest);
}

}  // namespace tellwen::scheduler
