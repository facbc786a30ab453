#include "tests/support/kivweb_process.h"

#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/file_text.h"

#ifndef KIVWEB_PATH
#error "KIVWEB_PATH must name the kivweb executable"
#endif

namespace tellwen::testing {

KivwebProcess::~KivwebProcess() {
  if (pid_ > 0) Stop();
}

std::string KivwebProcess::Log() const { return FileText(log_path_); }

std::string KivwebProcess::Start(const std::vector<std::string>& args, const std::string& log_path,
                                 const std::vector<std::string>& extra_env) {
  log_path_ = log_path;
  std::ofstream(log_path, std::ios::trunc);  // no line of an earlier run may be read
  std::vector<std::string> argv_text = {KIVWEB_PATH};
  bool has_listen = false;
  for (const std::string& arg : args) has_listen |= arg == "--listen";
  if (!has_listen) argv_text.insert(argv_text.end(), {"--listen", "127.0.0.1:0"});
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text;
  // extra_env replaces a variable of the same name (getenv would find the
  // first of two).
  auto replaced = [&extra_env](const char* entry) {
    const char* eq = std::strchr(entry, '=');
    const size_t name = eq == nullptr ? std::strlen(entry) : static_cast<size_t>(eq - entry);
    for (const std::string& e : extra_env) {
      if (e.compare(0, name + 1, entry, name + 1) == 0) return true;
    }
    return false;
  };
  for (char** e = environ; *e != nullptr; ++e) {
    if (!replaced(*e)) env_text.push_back(*e);
  }
  env_text.insert(env_text.end(), extra_env.begin(), extra_env.end());
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_ = fork();
  if (pid_ == 0) {
    FILE* log = std::fopen(log_path.c_str(), "a");
    if (log != nullptr) dup2(fileno(log), STDERR_FILENO);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string log = Log();
    const std::size_t at = log.find("serving http://127.0.0.1:");
    if (at != std::string::npos && log.find(' ', at + 25) != std::string::npos) {
      port_ = std::atoi(log.c_str() + at + std::strlen("serving http://127.0.0.1:"));
      return "";
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return "kivweb exited (status " + std::to_string(WEXITSTATUS(status)) + "): " + Log();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Stop(1000);
  return "kivweb did not start: " + Log();
}

bool KivwebProcess::WaitForLog(const std::string& text, int timeout_ms) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (Log().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

int KivwebProcess::Wait(int timeout_ms) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return -1;
}

int KivwebProcess::Stop(int timeout_ms) {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  return Wait(timeout_ms);
}

long KivwebProcess::StatusKb(const char* field) const {
  std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  const std::size_t length = std::strlen(field);
  while (std::getline(in, line)) {
    if (line.compare(0, length, field) == 0) return std::atol(line.c_str() + length);
  }
  return 0;
}

}  // namespace tellwen::testing
