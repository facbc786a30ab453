// kivweb: the Tellwen web server. See web_server.h for what it serves and
// web_config.h for its configuration file and command line.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/isapi/web_config.h"
#include "platform/isapi/web_server.h"

namespace {

// One line to stderr in one write, so lines of concurrent requests never mix.
void LogLine(const std::string& text) {
  const std::string line = "kivweb: " + text + "\n";
  ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
  (void)ignored;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tellwen::isapi;
  WebCommandLine line;
  tellwen::Status status =
      ParseWebCommandLine(std::vector<std::string>(argv + 1, argv + argc), &line);
  if (!status.ok()) {
    LogLine(status.message());
    return 2;
  }
  if (line.help) {
    std::cout << WebUsage();
    return 0;
  }
  WebConfig config;
  status = ResolveWebConfig(line, &config);
  if (!status.ok()) {
    LogLine(status.message());
    return 2;
  }

  // Every thread civetweb starts inherits this mask; the signals are taken
  // by sigwait below. A start from a script may have them ignored (jobs in
  // the background): an ignored signal would never arrive, so take them back.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);

  WebServer server(&LogLine);
  status = server.Start(config);
  if (!status.ok()) {
    LogLine(status.message());
    return 1;
  }
  LogLine("serving http://" + config.listen_address + ":" + std::to_string(server.port()) +
          "/ (web root " + config.root + ", scripts " + config.scripts + ")");

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  LogLine(std::string("stopping on ") + (signal_number == SIGTERM ? "SIGTERM" : "SIGINT"));
  // A further signal while requests finish ends the process at once, unless
  // it comes right after the first (Ctrl-C reaches a script and its kivweb
  // together, and the script may pass it on).
  const auto first = std::chrono::steady_clock::now();
  std::thread([stop_signals, first] {
    for (;;) {
      int again = 0;
      sigwait(&stop_signals, &again);
      if (std::chrono::steady_clock::now() - first > std::chrono::seconds(2)) {
        LogLine("stopping at once");
        _exit(1);
      }
    }
  }).detach();
  server.Stop();
  LogLine("stopped");
  return 0;
}
