#include "platform/desktop/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace tellwen::desktop {
namespace {

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::string& stdin_text,
                      Capture capture) {
  ProgramRun run;
  int in_pipe[2] = {-1, -1};
  int out_pipe[2] = {-1, -1};
  int err_pipe[2] = {-1, -1};
  if (::pipe2(in_pipe, O_CLOEXEC) != 0 ||
      (capture != Capture::kNone && ::pipe2(out_pipe, O_CLOEXEC) != 0) ||
      (capture == Capture::kApart && ::pipe2(err_pipe, O_CLOEXEC) != 0)) {
    run.spawn_error = errno;
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      if (fd >= 0) ::close(fd);
    }
    return run;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
  if (capture != Capture::kNone) {
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions,
                                     capture == Capture::kApart ? err_pipe[1] : out_pipe[1], 2);
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  run.spawn_error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  CloseFd(in_pipe[0]);
  CloseFd(out_pipe[1]);
  CloseFd(err_pipe[1]);
  if (run.spawn_error != 0) {
    CloseFd(in_pipe[1]);
    CloseFd(out_pipe[0]);
    CloseFd(err_pipe[0]);
    return run;
  }

  // Feed stdin and drain the output together, so that neither side blocks
  // on a full pipe. A program that does not read its input gets EPIPE on
  // our side, which is ignored (SIGPIPE is blocked for this write).
  sigset_t pipe_signal, old_mask;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, &old_mask);
  std::size_t written = 0;
  if (stdin_text.empty()) CloseFd(in_pipe[1]);
  while (in_pipe[1] >= 0 || out_pipe[0] >= 0 || err_pipe[0] >= 0) {
    pollfd fds[3];
    int count = 0;
    if (in_pipe[1] >= 0) fds[count++] = {in_pipe[1], POLLOUT, 0};
    if (out_pipe[0] >= 0) fds[count++] = {out_pipe[0], POLLIN, 0};
    if (err_pipe[0] >= 0) fds[count++] = {err_pipe[0], POLLIN, 0};
    if (::poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in_pipe[1]) {
        const ssize_t n =
            ::write(in_pipe[1], stdin_text.data() + written, stdin_text.size() - written);
        if (n > 0) written += static_cast<std::size_t>(n);
        if (n < 0 && errno != EINTR && errno != EAGAIN) CloseFd(in_pipe[1]);
        if (written == stdin_text.size()) CloseFd(in_pipe[1]);
      } else {
        const bool is_out = fds[i].fd == out_pipe[0];
        int& fd = is_out ? out_pipe[0] : err_pipe[0];
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
          (is_out ? run.output : run.errors).append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
          CloseFd(fd);
        }
      }
    }
  }
  CloseFd(in_pipe[1]);
  CloseFd(out_pipe[0]);
  CloseFd(err_pipe[0]);
  // Drop a SIGPIPE raised while it was blocked, then restore the mask.
  timespec no_wait{0, 0};
  while (sigtimedwait(&pipe_signal, nullptr, &no_wait) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) break;
  }
  if (WIFEXITED(status)) {
    run.exit_code = WEXITSTATUS(status);
  } else {
    run.exit_code = 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  }
  return run;
}

}  // namespace tellwen::desktop
