#include "admin/core/program_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

}  // namespace

RunResult RunProgram(const std::vector<std::string>& argv_text, const std::string& input) {
  RunResult result;
  TempFile in, out, err;
  if (in.fd() < 0 || out.fd() < 0 || err.fd() < 0 || !in.Write(input)) {
    result.spawn_error = errno != 0 ? errno : EIO;
    return result;
  }
  std::vector<std::string> args = argv_text;
  if (args.empty()) {
    result.spawn_error = EINVAL;
    return result;
  }
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

}  // namespace tellwen::admin
