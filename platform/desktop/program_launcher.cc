#include "platform/desktop/program_launcher.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace tellwen::desktop {
namespace {

// posix_spawn(p) of argv; 0 and *pid, or the errno.
int Spawn(const std::vector<std::string>& argv, bool search_path, pid_t* pid) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // The child leads a process group of its own: a terminal's Ctrl+C or a
  // stop of this program does not reach it.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  const int error = search_path ? posix_spawnp(pid, args[0], nullptr, &attr, args.data(), environ)
                                : posix_spawn(pid, args[0], nullptr, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  return error;
}

void ReapInBackground(pid_t pid) {
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

}  // namespace

Status StartInstalledProgram(const std::string& programs_folder, const std::string& program,
                             const std::vector<std::string>& args) {
  const std::string path = programs_folder + program;
  std::vector<std::string> argv{path};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_t pid = 0;
  const int error = Spawn(argv, /*search_path=*/false, &pid);
  if (error != 0) {
    const std::string text = "Cannot start " + path + ": " + std::strerror(error);
    return error == ENOENT ? Status::NotFound(text) : Status::IoError(text);
  }
  ReapInBackground(pid);
  return Status::Ok();
}

LinkOpenResult RunOpener(const std::string& opener, const std::string& target, int wait_ms) {
  LinkOpenResult result;
  pid_t pid = 0;
  result.spawn_error = Spawn({opener, target}, /*search_path=*/true, &pid);
  if (result.spawn_error != 0) return result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
      } else {
        result.exit_code = 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
      }
      return result;
    }
    if (done < 0 && errno != EINTR) return result;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ReapInBackground(pid);
  return result;
}

LinkOpenResult OpenLink(const std::string& target) {
  LinkOpenResult result = RunOpener("xdg-open", target);
  if (result.ok()) return result;
  LinkOpenResult browser = RunOpener("x-www-browser", target);
  // A missing fallback says nothing new: report why xdg-open failed.
  return browser.spawn_error == ENOENT ? result : browser;
}

}  // namespace tellwen::desktop
