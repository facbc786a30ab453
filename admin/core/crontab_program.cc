#include "admin/core/crontab_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "admin/core/crontab_text.h"

extern char** environ;

namespace tellwen::admin {
namespace {

// An unnamed temporary file, closed and removed with its owner.
class TempFile {
 public:
  TempFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string name = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
    name += "/tellwen-crontab-XXXXXX";
    fd_ = mkstemp(name.data());
    if (fd_ >= 0) unlink(name.c_str());
  }
  ~TempFile() {
    if (fd_ >= 0) close(fd_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  int fd() const { return fd_; }

  bool Write(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = write(fd_, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return lseek(fd_, 0, SEEK_SET) == 0;
  }

  std::string ReadAll() {
    std::string text;
    if (lseek(fd_, 0, SEEK_SET) != 0) return text;
    char buffer[4096];
    for (;;) {
      ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
    return text;
  }

 private:
  int fd_ = -1;
};

struct RunResult {
  int spawn_error = 0;  // errno when the program could not be started
  int exit_code = 0;
  std::string out;
  std::string err;
};

// Runs the crontab program with `argument` ("-l" or "-"), its standard input
// read from `input`, and waits for it. Files rather than pipes carry the
// three streams, so a large crontab cannot dead-lock the exchange.
RunResult Run(const CrontabProgram& program, const char* argument, const std::string& input) {
  RunResult result;
  TempFile in, out, err;
  if (in.fd() < 0 || out.fd() < 0 || err.fd() < 0 || !in.Write(input)) {
    result.spawn_error = errno != 0 ? errno : EIO;
    return result;
  }
  std::vector<std::string> args{program.path};
  if (!program.user.empty()) {
    args.push_back("-u");
    args.push_back(program.user);
  }
  args.push_back(argument);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.fd(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out.fd(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.fd(), STDERR_FILENO);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    result.spawn_error = rc;
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      result.spawn_error = errno;
      return result;
    }
  }
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = out.ReadAll();
  result.err = err.ReadAll();
  return result;
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
  std::string said = Trimmed(result.err);
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
    *crontab = std::move(result.out);
    return Status::Ok();
  }
  // Debian's crontab says "no crontab for <user>" and exits 1 for an
  // account that has none: that is an empty crontab, not a failure.
  if (result.spawn_error == 0 && result.exit_code == 1 &&
      result.err.find("no crontab for") != std::string::npos) {
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

}  // namespace tellwen::admin
